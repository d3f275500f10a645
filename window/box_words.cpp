#include "window/box_words.h"

#include "display/colors.h"

namespace zapwit {

std::string_view ColorName(ColorWord color) {
  switch (color) {
    case kRed:
      return "red";
    case kYellow:
      return "yellow";
    case kGreen:
      return "green";
    default:
      return "none";
  }
}

std::string BoxDescription(ColorWord color, std::string_view caption) {
  std::string description(ColorName(color));
  // The game's number text pads with spaces; the words do not.
  const auto first = caption.find_first_not_of(' ');
  if (first != std::string_view::npos) {
    const auto last = caption.find_last_not_of(' ');
    description += ", ";
    description += caption.substr(first, last - first + 1);
  }
  return description;
}

}  // namespace zapwit
