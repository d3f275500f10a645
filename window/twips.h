#pragma once

#include <cmath>

namespace zapwit {

// Positions and sizes are kept in twips, 1/1440 inch. 15 twips make one
// device-independent pixel, so Qt's scaling keeps the layout right at any
// DPI.
inline constexpr int kTwipsPerPixel = 15;

// The nearest whole pixel.
constexpr int TwipsToPixels(int twips) {
  const int whole = twips / kTwipsPerPixel;
  const int rest = twips % kTwipsPerPixel;  // same sign as twips
  if (2 * rest >= kTwipsPerPixel) return whole + 1;
  if (2 * rest <= -kTwipsPerPixel) return whole - 1;
  return whole;
}

}  // namespace zapwit
