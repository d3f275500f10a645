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
      // Every digit exact, however large; ties to even. Both toolchains
      // (the desktop's and the browser's) must agree to the last digit.
      {9007199254740993.0, " 9007199254740992 "},
      {1e308, " 100000000000000001097906362944045541740492309677311846336810682903157585404911491537163328978494688899061249669721172515611590283743140088328307009198146046031271664502933027185697489699588559043338384466165001178426897626212945177628091195786707458122783970171784415105291802893207873272974885715430223118336 "},
      {0.5, " 0 "},
      {1.5, " 2 "},
      {2.5, " 2 "},
      {-2.5, "-2 "},
  };
  for (const auto& c : cases) EXPECT_EQ(PrintNumberText(c.x), c.text) << c.x;
}

}  // namespace
}  // namespace zapwit
