// The floor for the game's start-up: a bare Qt Widgets program whose one
// window is a QLabel of the game's client-area size and caption, with
// nothing else. startup_bench starts it beside the game.
#include <QApplication>
#include <QLabel>

#include "window/form_layout.h"

int main(int argc, char** argv) {
  const QApplication app(argc, argv);
  QLabel label(zapwit::kFormCaption);
  label.setWindowTitle(zapwit::kFormCaption);
  label.setFixedSize(zapwit::TwipsToPixels(zapwit::kClientWidth),
                     zapwit::TwipsToPixels(zapwit::kClientHeight));
  label.show();
  return QApplication::exec();
}
