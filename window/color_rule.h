#pragma once

#include <cstdint>

#include "display/colors.h"

namespace zapwit {

// How a toolkit turns a colour word into a colour it can draw.
struct ResolvedColor {
  bool is_system;  // true: look up system colour `index`
  int index;       // the system colour's index (ButtonFace is 15)
  std::uint8_t red, green, blue;  // a plain colour's channels
};

constexpr ResolvedColor Resolve(ColorWord word) {
  if (IsSystemColor(word)) {
    return {true, static_cast<int>(word & 0xFFu), 0, 0, 0};
  }
  return {false, 0, static_cast<std::uint8_t>(word & 0xFFu),
          static_cast<std::uint8_t>((word >> 8) & 0xFFu),
          static_cast<std::uint8_t>((word >> 16) & 0xFFu)};
}

}  // namespace zapwit
