#include "display/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace zapwit {

std::string SignedText(int n) {
  // Widen before negating: -INT_MIN does not fit in an int.
  const std::int64_t wide = n;
  std::string text(1, wide < 0 ? '-' : ' ');
  text += std::to_string(wide < 0 ? -wide : wide);
  return text;
}

std::string PrintNumberText(double x) {
  // Fixed notation with no fraction digits: a double can reach 309 digits.
  std::array<char, 400> digits{};
  const auto result =
      std::to_chars(digits.data(), digits.data() + digits.size(), std::fabs(x),
                    std::chars_format::fixed, 0);
  std::string text(1, std::signbit(x) && x != 0.0 ? '-' : ' ');
  text.append(digits.data(), result.ptr);
  text += ' ';
  return text;
}

}  // namespace zapwit
