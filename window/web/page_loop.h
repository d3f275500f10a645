#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "display/colors.h"
#include "display/display.h"
#include "engine/test_engine.h"
#include "window/form_layout.h"
#include "window/web/page_clock.h"

namespace zapwit {

// BOX as the ticks leave it: its colour, caption and place (twips).
struct BoxLook {
  ColorWord color = kRed;
  std::string caption;
  int left = kBox.left;
  int top = kBox.top;

  bool operator==(const BoxLook&) const = default;
};

// The page's events in the order of their times. A browser runs the
// game's ticks in its animation frames, and hands a key to the game a few
// milliseconds after the key was made (the event's timeStamp): a frame can
// run a tick in that gap, so the game is told of the tick before the key
// that came first. On the desktop the two arrive in their own order.
//
// The loop keeps the engine's state from before each of the latest ticks.
// A key made before a tick that has already run is answered on the state
// from before that tick, at the key's own time, and BOX is put back as it
// was then; the ticks after it would have found the engine Idle, where a
// tick does nothing. So the engine sees every key and every tick in the
// order of their times, and a key scores what the desktop would give it
// at its timeStamp. A key exactly at a tick's time comes after the tick.
//
// A tick that changes BOX takes place when its change has been handed to
// the page: the page's clock is read right after each change, and that is
// the tick's time from then on, for the engine's clock (the go signal's
// time is read right after its change of BOX, as on the desktop) and for
// the order of keys (a key made while the change was being made comes
// before the tick). A tick that changes nothing keeps the frame's time.
//
// It stands between the engine and the page: the engine's Display is the
// loop, which passes every change on to `shown` and keeps BOX's look, and
// the engine's clock is Clock(), the time of day at the event in hand.
class PageLoop final : public Display {
 public:
  // How many of the latest ticks a late key can go back over: a quarter
  // of a second at 64 a second, several frames of a key handler's lag. A
  // key older than all of them is answered before the oldest, at that
  // tick's predecessor's time or later.
  static constexpr std::size_t kKeptTicks = 16;

  // Borrows `engine`, whose Display this loop is and whose clock calls
  // Clock(), and `shown`, the page; both must outlive the loop (the engine
  // may still be under construction). `day_seconds` is the local time of
  // day at page time `page_ms`, in milliseconds on the page's clock;
  // `page_now` reads that clock as it is called.
  PageLoop(TestEngine& engine, Display& shown, double day_seconds, double page_ms,
           std::function<double()> page_now);

  // The engine's clock: the local time of day, in seconds since midnight,
  // at the event being handled (at load: the loop's creation).
  float Clock() const;

  // A start button's click: starts `test`.
  void Start(TestMode test);

  // The ticks due by page time `page_ms` on the desktop's 64 a second,
  // for a frame to run with Tick(): 0, 1, 2, or after a stall a few more
  // (never more than the schedule's catch-up bound).
  int Due(double page_ms);
  // One tick, run at page time `page_ms` (never earlier than the last
  // event's: a clock that steps back is taken as standing still), or, if
  // it changes BOX, at the time read right after its change.
  void Tick(double page_ms);
  // The page was hidden and is shown again at `page_ms`: the schedule
  // restarts from then, with no burst of the ticks a hidden page missed.
  void Restart(double page_ms);

  // A key with character code `code`, made at page time `time_stamp` and
  // handled at `now_ms`. A time stamp outside the span from the last event
  // it can follow to `now_ms` (or not a number) is taken at that span's
  // nearest end. Returns the go signal's page time when the key answered
  // LIGHT, JUMP or NUMBER after its go signal: the exact times behind a
  // timed score.
  std::optional<double> Key(std::int16_t code, double time_stamp, double now_ms);

  // BOX as the page shows it now.
  const BoxLook& Box() const { return box_; }

  // Display: each change is passed on to the page, BOX's kept.
  void PrintLine(const std::string& text) override;
  void SetBoxColor(ColorWord color) override;
  void SetBoxCaption(const std::string& text) override;
  void SetBoxLeft(int twips) override;
  void SetBoxTop(int twips) override;
  void HideButton(Button button) override;

 private:
  // Everything a tick changes, as it stood before the tick at `at`.
  struct Before {
    double at = 0;
    TestState state;
    BoxLook box;
    std::optional<double> go_ms;
  };

  // Puts the page's BOX back to `look`, each part that differs.
  void Show(const BoxLook& look);
  // A change of BOX has been handed to the page: on a tick, the tick's
  // time is now.
  void Changed();
  // Forgets the kept ticks: a start or a key leaves nothing to go back to.
  void Forget();

  TestEngine& engine_;
  Display& shown_;
  std::function<double()> page_now_;
  bool in_tick_ = false;
  PageClock clock_;
  FrameTicks ticks_;
  BoxLook box_;
  // The page time of the event in hand, which Clock() reads.
  double event_ms_;
  // The go signal's page time in the running test.
  std::optional<double> go_ms_;
  // The kept ticks, oldest first from `oldest_`, in a ring.
  std::array<Before, kKeptTicks> kept_;
  std::size_t oldest_ = 0;
  std::size_t count_ = 0;
  // No key can go back before this: the last tick no longer kept, or the
  // start of the test.
  double floor_ms_;
};

}  // namespace zapwit
