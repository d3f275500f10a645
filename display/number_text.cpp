#include "display/number_text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace zapwit {

std::string SignedText(int n) {
  // Widen before negating: -INT_MIN does not fit in an int.
  const std::int64_t wide = n;
  std::string text(1, wide < 0 ? '-' : ' ');
  text += std::to_string(wide < 0 ? -wide : wide);
  return text;
}

std::string PrintNumberText(double x) {
  // Fixed notation with no fraction digits, exact to the last digit: a
  // double can reach 309 of them. (printf rather than std::to_chars: the
  // browser build's library has no floating-point to_chars. With no
  // fraction digits there is no decimal point, so the locale cannot show.)
  std::array<char, 400> digits{};
  const int length = std::snprintf(digits.data(), digits.size(), "%.0f", std::fabs(x));
  std::string text(1, std::signbit(x) && x != 0.0 ? '-' : ' ');
  if (length > 0) {
    text.append(digits.data(),
                std::min(static_cast<std::size_t>(length), digits.size() - 1));
  }
  text += ' ';
  return text;
}

}  // namespace zapwit
