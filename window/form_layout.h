#pragma once

#include <array>
#include <cstddef>

#include "display/display.h"
#include "window/twips.h"

// The game window as every toolkit builds it: caption, client area,
// controls and their places. Positions and sizes are in twips from the
// top-left corner of the client area.
namespace zapwit {

inline constexpr char kFormCaption[] = "ZAPWIT TEST";

// The client area: 484 x 441 pixels at 96 DPI.
inline constexpr int kClientWidth = 7260;
inline constexpr int kClientHeight = 6615;

struct Placement {
  const char* name;     // the control's name: "LIGHT", "BOX", ...
  const char* caption;  // what it shows at load
  int left, top, width, height;
};

// The start buttons, left to right. Their order is the tab order and the
// order of Button, so kButtons[ButtonIndex(b)] is button b.
inline constexpr std::array<Placement, 4> kButtons = {{
    {"LIGHT", "LIGHT", 240, 240, 975, 375},
    {"JUMP", "JUMP", 1320, 240, 975, 375},
    {"NUMBER", "NUMBER", 2400, 240, 1095, 375},
    {"COUNTER", "COUNTER", 3600, 240, 1095, 375},
}};

// BOX: a borderless square with an opaque background, red and empty at
// load; its caption is drawn from its top-left corner.
inline constexpr Placement kBox = {"BOX", "", 2880, 1920, 1005, 1005};

// The index of `button` in kButtons; kButtons.size() for a value that is no
// button.
constexpr std::size_t ButtonIndex(Button button) {
  const auto index = static_cast<std::size_t>(button);
  return index < kButtons.size() ? index : kButtons.size();
}

struct PixelRect {
  int left, top, width, height;
};

// A placement in pixels at `dpi`, each edge and size rounded on its own.
constexpr PixelRect ToPixels(const Placement& p, int dpi = kBaseDpi) {
  return {TwipsToPixels(p.left, dpi), TwipsToPixels(p.top, dpi),
          TwipsToPixels(p.width, dpi), TwipsToPixels(p.height, dpi)};
}

}  // namespace zapwit
