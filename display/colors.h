#pragma once

#include "display/display.h"

namespace zapwit {

inline constexpr ColorWord kRed = 0x0000FFu;
inline constexpr ColorWord kYellow = 0x00FFFFu;
inline constexpr ColorWord kGreen = 0x00FF00u;

// High bit set: a system colour, by index in the low byte.
inline constexpr ColorWord kSystemColorFlag = 0x80000000u;
inline constexpr ColorWord kButtonFaceIndex = 15;
inline constexpr ColorWord kButtonFace = kSystemColorFlag | kButtonFaceIndex;

constexpr bool IsSystemColor(ColorWord color) {
  return (color & kSystemColorFlag) != 0;
}

}  // namespace zapwit
