#include "window/color_word.h"

#include "display/colors.h"

namespace zapwit {

QColor ToQColor(ColorWord word, const QPalette& palette) {
  if (IsSystemColor(word)) return palette.color(QPalette::Button);
  return {static_cast<int>(word & 0xFF), static_cast<int>((word >> 8) & 0xFF),
          static_cast<int>((word >> 16) & 0xFF)};
}

}  // namespace zapwit
