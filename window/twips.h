#pragma once

#include <cstdint>

namespace zapwit {

// Positions and sizes are kept in twips, 1/1440 inch: 15 twips to the pixel
// at 96 DPI, 10 at 144 DPI.
inline constexpr int kTwipsPerInch = 1440;
// The DPI at which a pixel is a device-independent one.
inline constexpr int kBaseDpi = 96;

// The nearest whole pixel at `dpi` dots per inch (halves away from zero).
// Computed in 64 bits, so any int and any positive DPI are safe.
constexpr int TwipsToPixels(int twips, int dpi = kBaseDpi) {
  const std::int64_t scaled = std::int64_t{twips} * dpi;
  const std::int64_t whole = scaled / kTwipsPerInch;
  const std::int64_t rest = scaled % kTwipsPerInch;  // same sign as scaled
  if (2 * rest >= kTwipsPerInch) return static_cast<int>(whole + 1);
  if (2 * rest <= -kTwipsPerInch) return static_cast<int>(whole - 1);
  return static_cast<int>(whole);
}

}  // namespace zapwit
