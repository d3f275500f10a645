#include "display/number_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace zapwit {
namespace {

// Numbers in BOX carry a leading space or minus sign; the score in the score
// line also carries a trailing space, which makes its two-space look.
TEST(NumberText, SignedTextHasSpaceOrMinusAndNoPadding) {
  const struct {
    int n;
    const char* text;
  } cases[] = {
      {57, " 57"},   {0, " 0"},          {-1, "-1"},
      {100, " 100"}, {-32768, "-32768"}, {INT_MIN, "-2147483648"},
  };
  for (const auto& c : cases) EXPECT_EQ(SignedText(c.n), c.text) << c.n;
}

TEST(NumberText, PrintNumberTextAddsTrailingSpace) {
  const struct {
    double x;
    const char* text;
  } cases[] = {
      {75, " 75 "},
      {0, " 0 "},
      {-0.0, " 0 "},
      {-4319900, "-4319900 "},
      {2147483647, " 2147483647 "},
      {-2147483648.0, "-2147483648 "},
  };
  for (const auto& c : cases) EXPECT_EQ(PrintNumberText(c.x), c.text) << c.x;
}

}  // namespace
}  // namespace zapwit
