#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "display/display.h"

namespace zapwit {

// A key as the page receives it: KeyboardEvent.key and its modifiers.
struct PageKey {
  std::string_view key;  // "a", " ", "Enter", "Shift", "F5", ...
  bool ctrl = false, alt = false, meta = false;
  bool alt_graph = false;  // getModifierState("AltGraph")
};

// The character code the game is given for `key`, or nothing for a key
// that does not count. Every key that types a character counts, and
// Space, Enter, Backspace, Escape and Tab, as on the desktop; Shift, the
// arrows and the F-keys do not. A key held with Ctrl, Alt or Meta belongs
// to the browser (Ctrl+R, Ctrl+W, Ctrl+L), except a character typed with
// AltGr, which some keyboards report as Ctrl and Alt.
std::optional<std::int16_t> KeyCode(const PageKey& key);

// Whether the browser keeps `key` for itself rather than give it to the
// game. While no test runs (before one, and after it), Tab moves the focus
// as on any page, so the keyboard can always reach the buttons and leave
// the page; and Space and Enter on a start button (`on_button`) press it.
// While a test runs, every key is the game's to judge (KeyCode), Tab and a
// key on a button just hidden by the test's start too.
bool BrowsersKey(const PageKey& key, bool test_running, bool on_button);

// The CSS colour for a colour word: a plain colour as rgb(), a system
// colour as ButtonFace, the only one the game uses (the form's colour).
std::string CssColor(ColorWord word);

// The factor that fits a client area of `width` by `height` CSS pixels into
// a viewport of `viewport_width` by `viewport_height`: 1 where it fits,
// smaller where the viewport is smaller in either dimension, so that the
// whole window scales down uniformly and the page never scrolls.
double FitScale(double viewport_width, double viewport_height, int width, int height);

}  // namespace zapwit
