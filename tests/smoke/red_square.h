#pragma once

#include <optional>

namespace zapwit::smoke {

// The bounding rectangle of a picture's pixels of one exact colour, and
// whether they fill it: BOX as the window's pixels show it.
struct ColorArea {
  int left = 0, top = 0, width = 0, height = 0;
  bool filled = false;
};

// `at(x, y)` gives the pixel as 0xRRGGBB; `rgb` is the colour looked for,
// as 0xRRGGBB too.
template <typename At>
std::optional<ColorArea> FindColor(int width, int height, At at, unsigned long rgb) {
  int left = width, top = height, right = -1, bottom = -1;
  long count = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (at(x, y) != rgb) continue;
      ++count;
      if (x < left) left = x;
      if (x > right) right = x;
      if (y < top) top = y;
      if (y > bottom) bottom = y;
    }
  }
  if (count == 0) return std::nullopt;
  const int w = right - left + 1, h = bottom - top + 1;
  return ColorArea{left, top, w, h, count == static_cast<long>(w) * h};
}

// BOX at load: pure red (#FF0000).
template <typename At>
std::optional<ColorArea> FindRed(int width, int height, At at) {
  return FindColor(width, height, at, 0xFF0000);
}

}  // namespace zapwit::smoke
