#pragma once

#include <array>

#include "display/display.h"

namespace zapwit {

inline constexpr ColorWord kRed = 0x0000FFu;
inline constexpr ColorWord kYellow = 0x00FFFFu;
inline constexpr ColorWord kGreen = 0x00FF00u;

// High bit set: a system colour, by index in the low byte.
inline constexpr ColorWord kSystemColorFlag = 0x80000000u;
inline constexpr ColorWord kButtonFaceIndex = 15;
inline constexpr ColorWord kButtonFace = kSystemColorFlag | kButtonFaceIndex;

// Every colour the game gives BOX: red at load, yellow and green in LIGHT,
// green in JUMP, the form's colour behind NUMBER's numbers.
inline constexpr std::array<ColorWord, 4> kBoxColors = {kRed, kYellow, kGreen, kButtonFace};

constexpr bool IsSystemColor(ColorWord color) {
  return (color & kSystemColorFlag) != 0;
}

}  // namespace zapwit
