#pragma once

#include <emscripten/val.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "display/display.h"
#include "engine/rng.h"
#include "engine/test_engine.h"
#include "window/printed_lines.h"
#include "window/web/page_loop.h"
#include "window/web/page_rules.h"

namespace zapwit {

// The game's one window as a web page: the client area is one element,
// the four start buttons real <button>s in it, BOX an element with a
// background colour and a caption, and the printed lines real text behind
// them; the page's HTML holds them from the start. It owns the engine and
// is its Display, and turns clicks, animation frames, keys and taps into
// the engine's three operations.
//
// TIME runs on the animation frame: each frame runs the ticks that have
// come due on the page's clock, so a change of BOX is made just before the
// frame that shows it. The engine's clock reads performance.now() at a
// tick, and for a key the moment the browser received it (the event's
// timeStamp). The page's loop hands the engine keys and ticks in the order
// of those times, whatever order the browser ran them in.
class Form1 final : public Display {
 public:
  // Takes over the controls the page holds in `client_area` (FormMarkup),
  // and loads the form: Rng seeded, LIGHT focused, TIME running.
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
  // `time_stamp`: when the browser received the key, on the page's clock.
  void Form_KeyPress(std::int16_t key, double time_stamp);

  // From the page's listeners. `index` is the button's place in the row.
  void Click(int index);
  // A key; true if the game took it (the page then stops the browser's own
  // use of it). `on_button`: a start button has the focus (BrowsersKey
  // says which keys are then the button's).
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
  // Writes the exact page times of a timed test to the console, in
  // milliseconds: the go signal's reading, the key's timeStamp and when
  // its handler ran. The score rounds them to hundredths of a second, and
  // the engine's clock to single precision; these are for measuring.
  static void LogTimes(double go_time, double key_time, double handled);
  // The height of a printed line, measured once, when the first is printed.
  int LineHeight();

  emscripten::val client_area_;
  emscripten::val lines_element_;
  emscripten::val box_;
  // BOX's style, the names of what a tick changes in it, and the CSS of
  // each of kBoxColors, made once at load: a tick's change of colour is
  // then one call into the page, with no string made or converted on the
  // way, so the go tick's colour reaches the page at once.
  emscripten::val box_style_;
  emscripten::val background_color_, left_, top_, text_content_;
  std::vector<std::pair<ColorWord, emscripten::val>> css_colors_;
  std::vector<emscripten::val> buttons_;  // LIGHT, JUMP, NUMBER, COUNTER

  Rng rng_;
  // The engine draws through the loop, which passes BOX and the lines on
  // to this form; the loop gives the engine its clock.
  TestEngine engine_;
  PageLoop loop_;
  PrintedLines lines_;
  // The height of a printed line in CSS pixels; 0 until the first line.
  int line_height_ = 0;
  bool hidden_ = false;
};

}  // namespace zapwit
