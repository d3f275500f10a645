#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "display/display.h"
#include "engine/rng.h"
#include "engine/test_engine.h"
#include "window/printed_lines.h"
#include "window/tick_schedule.h"

class QLabel;
class QPushButton;
class QTimer;

namespace zapwit {

// The game's one window, "ZAPWIT TEST": four start buttons in a row, the
// square BOX below them, the timer TIME, and the lines the game prints on
// its own surface. It owns the engine, is its Display, and turns clicks,
// timer firings and typed characters into the engine's three operations.
class Form1 final : public QWidget, public Display {
  Q_OBJECT

 public:
  // Where the engine's time and chance come from, and whether TIME runs by
  // itself. Tests pass their own and drive the ticks with TIME_Timer(). An
  // empty clock is the local clock; an empty rng is the form's own Rng,
  // seeded at load.
  struct Sources {
    std::function<float()> clock;
    std::function<float()> rng;
    bool run_timer = true;
  };

  // The real game: the local clock, the Rng seeded at load, TIME running.
  explicit Form1(QWidget* parent = nullptr);
  explicit Form1(Sources sources, QWidget* parent = nullptr);
  ~Form1() override = default;

  // Display. Positions are in twips and rounded to the nearest pixel.
  void PrintLine(const std::string& text) override;
  void SetBoxColor(ColorWord color) override;
  void SetBoxCaption(const std::string& text) override;
  void SetBoxLeft(int twips) override;
  void SetBoxTop(int twips) override;
  void HideButton(Button button) override;

  // The event handlers, one per control and event.
  void Form_Load();
  void LIGHT_Click();
  void JUMP_Click();
  void NUMBER_Click();
  void COUNTER_Click();
  void TIME_Timer();
  void Form_KeyPress(std::int16_t key);

  const TestEngine& Engine() const { return engine_; }

  // Tells `probe` of every firing of TIME. Unset, it costs one test of an
  // empty function per firing.
  void SetTimerProbe(TickProbe probe) { timer_probe_ = std::move(probe); }

  // The printed lines that can be seen. The window never scrolls and cannot
  // grow, so lines below its bottom edge are only counted.
  const std::vector<std::string>& VisibleLines() const {
    return lines_.Lines();
  }
  std::uint64_t HiddenLineCount() const { return lines_.Hidden(); }
  int MaxVisibleLines() const { return lines_.MaxRows(); }
  // Where printed line `row` is drawn, in the form's pixels.
  QRect LineRect(int row) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildControls();
  void SetIcon();
  void KeepOneSize();
  void OnTimerFired();
  QPushButton* ButtonFor(Button button) const;

  Rng rng_;
  Sources sources_;
  TestEngine engine_;

  std::array<QPushButton*, 4> buttons_{};  // LIGHT, JUMP, NUMBER, COUNTER
  QLabel* box_ = nullptr;
  QTimer* time_ = nullptr;
  QTimer* icon_timer_ = nullptr;  // sets the icon after the first frame
  std::optional<TickSchedule> schedule_;
  TickProbe timer_probe_;

  PrintedLines lines_;
  int line_spacing_ = 1;
  bool keeps_one_size_ = false;
  bool icon_set_ = false;
};

}  // namespace zapwit
