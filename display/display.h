#pragma once

#include <cstdint>
#include <string>

namespace zapwit {

// A colour word. A plain colour is 0x00BBGGRR: red in the low byte, then
// green, then blue. A word with its high bit set names a system colour by
// the index in its low byte, resolved by the display when it draws.
using ColorWord = std::uint32_t;

// The four start buttons, in their order along the window's top row.
enum class Button { Light, Jump, Number, Counter };

// Everything the engine can change on screen. The window implements it; tests
// implement it with a recorder. Positions are in twips (1/1440 inch) from the
// top-left corner of the window's client area. Text never holds a line break.
class Display {
 public:
  virtual ~Display() = default;

  // Draws `text` as a new line below the last one printed, starting at the
  // top-left corner of the window's surface. Lines are never cleared.
  virtual void PrintLine(const std::string& text) = 0;
  virtual void SetBoxColor(ColorWord color) = 0;
  virtual void SetBoxCaption(const std::string& text) = 0;
  // Moves BOX's left edge to `twips`; its size and top stay as they are.
  virtual void SetBoxLeft(int twips) = 0;
  // Moves BOX's top edge to `twips`; its size and left stay as they are.
  virtual void SetBoxTop(int twips) = 0;
  // A hidden button can no longer be clicked and never takes the keyboard.
  virtual void HideButton(Button button) = 0;
};

}  // namespace zapwit
