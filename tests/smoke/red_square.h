#pragma once

#include <optional>

namespace zapwit::smoke {

// The bounding rectangle of a picture's pure red (#FF0000) pixels, and
// whether they fill it: BOX at load, as the window's pixels show it.
struct RedArea {
  int left = 0, top = 0, width = 0, height = 0;
  bool filled = false;
};

// `at(x, y)` gives the pixel as 0xRRGGBB.
template <typename At>
std::optional<RedArea> FindRed(int width, int height, At at) {
  int left = width, top = height, right = -1, bottom = -1;
  long red = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (at(x, y) != 0xFF0000) continue;
      ++red;
      if (x < left) left = x;
      if (x > right) right = x;
      if (y < top) top = y;
      if (y > bottom) bottom = y;
    }
  }
  if (red == 0) return std::nullopt;
  const int w = right - left + 1, h = bottom - top + 1;
  return RedArea{left, top, w, h, red == static_cast<long>(w) * h};
}

}  // namespace zapwit::smoke
