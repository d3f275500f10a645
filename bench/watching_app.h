#pragma once
// A QApplication that shows a benchmark every event: `before` as it is
// delivered, `after` once the receiver has handled it (for an UpdateRequest
// to a window's widget, the end of its paint-and-flush).

#include <QApplication>
#include <functional>

namespace zapwit::bench {

class WatchingApp : public QApplication {
 public:
  using QApplication::QApplication;
  using Watcher = std::function<void(const QObject*, const QEvent*)>;
  Watcher before;
  Watcher after;

  bool notify(QObject* receiver, QEvent* event) override {
    if (before) before(receiver, event);
    const bool result = QApplication::notify(receiver, event);
    if (after) after(receiver, event);
    return result;
  }
};

}  // namespace zapwit::bench
