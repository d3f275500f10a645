#include "window/box_words.h"

#include <gtest/gtest.h>

#include <string>

#include "display/colors.h"

namespace zapwit {
namespace {

// What a screen reader is told of BOX, for every colour the game sets and
// the captions each test gives it.
TEST(BoxWords, DescribeTheColourAndTheCaption) {
  struct Case {
    ColorWord color;
    const char* caption;
    const char* description;
  };
  const Case cases[] = {
      {kRed, "", "red"},
      {kYellow, "", "yellow"},
      {kGreen, "", "green"},
      {kButtonFace, "", "none"},
      {kButtonFace, " 130", "none, 130"},     // COUNTER's count
      {kButtonFace, " 7", "none, 7"},         // NUMBER's number
      {kGreen, " 42 ", "green, 42"},          // padded on both sides
      {kButtonFace, "-3", "none, -3"},        // a count below zero
      {kButtonFace, "   ", "none"},           // spaces alone are no caption
      {0x123456u, "", "none"},                // a colour the game never sets
      {kSystemColorFlag | 5u, "", "none"},    // another system colour
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BoxDescription(c.color, c.caption), c.description)
        << "colour " << c.color << ", caption '" << c.caption << "'";
  }
}

}  // namespace
}  // namespace zapwit
