#include "window/web/page_loop.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zapwit {

PageLoop::PageLoop(TestEngine& engine, Display& shown, double day_seconds, double page_ms,
                   std::function<double()> page_now)
    : engine_(engine),
      shown_(shown),
      page_now_(std::move(page_now)),
      clock_(day_seconds, page_ms),
      ticks_(page_ms),
      event_ms_(page_ms),
      floor_ms_(page_ms) {}

float PageLoop::Clock() const { return clock_.At(event_ms_); }

void PageLoop::Start(TestMode test) {
  Forget();
  go_ms_.reset();
  engine_.StartTest(test);
}

int PageLoop::Due(double page_ms) { return ticks_.Due(page_ms); }

void PageLoop::Tick(double page_ms) {
  event_ms_ = std::max(event_ms_, page_ms);
  // Idle, a tick changes nothing, and a key has nothing to go back over.
  if (engine_.State().Mode == TestMode::Idle) {
    engine_.Tick();
    return;
  }
  if (count_ == kept_.size()) {
    floor_ms_ = kept_[oldest_].at;
    oldest_ = (oldest_ + 1) % kept_.size();
    --count_;
  }
  Before& before = kept_[(oldest_ + count_) % kept_.size()];
  before.state = engine_.State();
  before.box = box_;
  before.go_ms = go_ms_;
  ++count_;
  const double go_before = engine_.State().GoTime;
  in_tick_ = true;
  engine_.Tick();
  in_tick_ = false;
  // The tick's time: its frame's, or when its change of BOX was made.
  before.at = event_ms_;
  if (engine_.State().GoTime != go_before) go_ms_ = event_ms_;
}

void PageLoop::Changed() {
  if (in_tick_) event_ms_ = std::max(event_ms_, page_now_());
}

void PageLoop::Restart(double page_ms) { ticks_.Restart(page_ms); }

std::optional<double> PageLoop::Key(std::int16_t code, double time_stamp, double now_ms) {
  double at = std::isnan(time_stamp) ? now_ms : std::min(time_stamp, now_ms);
  // The oldest kept tick made after the key, if any: the key goes before it.
  std::size_t later = 0;
  while (later < count_ && !(kept_[(oldest_ + later) % kept_.size()].at > at)) ++later;
  double floor = event_ms_;
  if (later < count_) {
    const Before& before = kept_[(oldest_ + later) % kept_.size()];
    engine_.Restore(before.state);
    go_ms_ = before.go_ms;
    Show(before.box);
    floor = later == 0 ? floor_ms_ : kept_[(oldest_ + later - 1) % kept_.size()].at;
  }
  event_ms_ = std::max(at, floor);
  Forget();

  const TestMode mode = engine_.State().Mode;
  const std::optional<double> go_ms =
      mode == TestMode::Light || mode == TestMode::Jump || mode == TestMode::Number
          ? go_ms_
          : std::nullopt;
  engine_.KeyPressed(code);
  go_ms_.reset();
  return go_ms;
}

void PageLoop::Forget() {
  oldest_ = 0;
  count_ = 0;
  floor_ms_ = event_ms_;
}

void PageLoop::Show(const BoxLook& look) {
  if (box_.color != look.color) SetBoxColor(look.color);
  if (box_.caption != look.caption) SetBoxCaption(look.caption);
  if (box_.left != look.left) SetBoxLeft(look.left);
  if (box_.top != look.top) SetBoxTop(look.top);
}

void PageLoop::PrintLine(const std::string& text) { shown_.PrintLine(text); }

void PageLoop::SetBoxColor(ColorWord color) {
  box_.color = color;
  shown_.SetBoxColor(color);
  Changed();
}

void PageLoop::SetBoxCaption(const std::string& text) {
  box_.caption = text;
  shown_.SetBoxCaption(text);
  Changed();
}

void PageLoop::SetBoxLeft(int twips) {
  box_.left = twips;
  shown_.SetBoxLeft(twips);
  Changed();
}

void PageLoop::SetBoxTop(int twips) {
  box_.top = twips;
  shown_.SetBoxTop(twips);
  Changed();
}

void PageLoop::HideButton(Button button) { shown_.HideButton(button); }

}  // namespace zapwit
