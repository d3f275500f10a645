#pragma once

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <deque>

#include "window/qt/form1.h"

namespace zapwit::testing {

// A real Form1 on screen, with a clock the test sets, queued random values,
// and TIME stopped so the test drives the ticks.
struct WindowRig {
  WindowRig()
      : form(Form1::Sources{[this] { return now; },
                            [this] {
                              if (randoms.empty()) return fallback_random;
                              const float value = randoms.front();
                              randoms.pop_front();
                              return value;
                            },
                            /*run_timer=*/false}) {
    form.show();
    form.activateWindow();
    (void)QTest::qWaitForWindowActive(&form);
  }

  QWindow* window() { return form.windowHandle(); }
  QPushButton* button(const char* name) {
    return form.findChild<QPushButton*>(name);
  }
  void Click(const char* name) {
    QTest::mouseClick(window(), Qt::LeftButton, {},
                      button(name)->geometry().center());
  }
  void Key(Qt::Key key) { QTest::keyClick(window(), key); }
  void Ticks(int count) {
    for (int i = 0; i < count; ++i) form.TIME_Timer();
  }
  QImage Grab() {
    QApplication::processEvents();
    return form.grab().toImage();
  }
  TestMode mode() const { return form.Engine().State().Mode; }

  float now = 0.0f;
  std::deque<float> randoms;
  float fallback_random = 0.5f;
  Form1 form;
};

// Pixels in `area` of `image` that differ from `background`.
inline int InkPixels(const QImage& image, const QRect& area,
                     const QColor& background) {
  int ink = 0;
  const QRect clipped = area.intersected(image.rect());
  for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
    for (int x = clipped.left(); x <= clipped.right(); ++x) {
      ink += image.pixelColor(x, y).rgb() != background.rgb();
    }
  }
  return ink;
}

}  // namespace zapwit::testing
