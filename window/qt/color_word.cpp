#include "window/qt/color_word.h"

#include "window/color_rule.h"

namespace zapwit {

QColor ToQColor(ColorWord word, const QPalette& palette) {
  const ResolvedColor color = Resolve(word);
  if (color.is_system) return palette.color(QPalette::Button);
  return {color.red, color.green, color.blue};
}

}  // namespace zapwit
