#pragma once

#include <emscripten/val.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "display/display.h"
#include "engine/rng.h"
#include "engine/test_engine.h"
#include "window/printed_lines.h"
#include "window/web/page_clock.h"
#include "window/web/page_rules.h"

namespace zapwit {

// The game's one window as a web page: the client area is one element,
// the four start buttons real <button>s in it, BOX an element with a
// background colour and a caption, and the printed lines real text behind
// them. It owns the engine and is its Display, and turns clicks, animation
// frames, keys and taps into the engine's three operations.
//
// TIME runs on the animation frame: each frame runs the ticks that have
// come due on the page's clock, so a change of BOX is made just before the
// frame that shows it. The engine's clock reads performance.now() at the
// moment it is asked (the go signal's tick), and for a key the moment the
// browser received it (the event's timeStamp), never earlier than the
// last reading.
class Form1 final : public Display {
 public:
  // Builds the controls inside `client_area`, an empty element of the
  // page, and loads the form: Rng seeded, LIGHT focused, TIME running.
  explicit Form1(emscripten::val client_area);

  // Display. Positions are in twips, rounded to whole CSS pixels.
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

  // From the page's listeners. `index` is the button's place in the row.
  void Click(int index);
  // A key; true if the game took it (the page then stops the browser's own
  // use of it). `on_button`: a start button has the focus, and Space,
  // Enter and Tab are the button's, as on any dialog.
  bool Key(const PageKey& key, bool on_button, double time_stamp);
  // A finger or a pen touched the page outside the buttons: a key.
  void Tap(double time_stamp);
  // An animation frame: the ticks that are due run now.
  void Frame();
  // The page was hidden or shown. While hidden the game holds: no tick,
  // and no go signal the player cannot see.
  void Visibility(bool hidden);
  // The viewport changed size: the whole client area scales to fit.
  void Fit();

 private:
  float ReadClock();
  void Answer(std::int16_t code, double time_stamp);
  // Writes the exact page times of a timed test to the console, in
  // milliseconds: the go signal's reading, the key's timeStamp and when
  // its handler ran. The score rounds them to hundredths of a second, and
  // the engine's clock to single precision; these are for measuring.
  void LogTimes(double key_time, double handled) const;

  emscripten::val client_area_;
  emscripten::val lines_element_;
  emscripten::val box_;
  std::vector<emscripten::val> buttons_;  // LIGHT, JUMP, NUMBER, COUNTER

  PageClock clock_;
  FrameTicks ticks_;
  Rng rng_;
  TestEngine engine_;
  PrintedLines lines_;
  int line_height_ = 1;
  bool hidden_ = false;
  // The time of the key the engine is handling, while it handles it.
  std::optional<double> key_time_;
  // The page time the clock read last, and the one it read for the go
  // signal of the running test.
  double last_read_ = 0;
  std::optional<double> go_read_;
};

}  // namespace zapwit
