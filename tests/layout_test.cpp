#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "display/colors.h"
#include "window/color_rule.h"
#include "window/form_layout.h"
#include "window/printed_lines.h"

namespace zapwit {
namespace {

// Every position the game draws (5 to 5004 twips) lands on the nearest
// pixel at the window's own DPI, so BOX never strays by one from where the
// twips put it, and the whole window scales with the screen.
TEST(Layout, TwipsRoundToTheNearestPixelAtEachDpi) {
  const struct {
    int twips, dpi, pixels;
  } cases[] = {
      {0, 96, 0},       {7, 96, 0},       {8, 96, 1},        {22, 96, 1},
      {23, 96, 2},      {240, 96, 16},    {5004, 96, 334},   {7260, 96, 484},
      {6615, 96, 441},  {-7, 96, 0},      {-8, 96, -1},      {7260, 144, 726},
      {6615, 144, 662}, {1005, 144, 101}, {5, 144, 1},       {4, 144, 0},
      {7260, 192, 968}, {6615, 192, 882}, {1005, 192, 134},  {1, 120, 0},
      {32767, 960, 21845}, {-32768, 960, -21845},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels)
        << c.twips << " twips at " << c.dpi << " DPI";
  }
}

// The buttons stay in one row left to right, in tab order, and every BOX
// position the engine can draw keeps BOX inside the client area.
TEST(Layout, ButtonsFormOneRowAndBoxStaysInsideTheWindow) {
  for (std::size_t i = 1; i < kButtons.size(); ++i) {
    EXPECT_GT(kButtons[i].left, kButtons[i - 1].left + kButtons[i - 1].width);
    EXPECT_EQ(kButtons[i].top, kButtons[0].top);
  }
  EXPECT_EQ(ButtonIndex(Button::Counter), 3u);
  EXPECT_EQ(ButtonIndex(static_cast<Button>(9)), kButtons.size());
  constexpr int kFarthest = 5004;  // the largest position draw
  EXPECT_LE(kFarthest + kBox.width, kClientWidth);
  EXPECT_LE(kFarthest + kBox.height, kClientHeight);
}

TEST(Layout, SystemColoursResolveByTheirLowByte) {
  const ResolvedColor face = Resolve(kButtonFace);
  EXPECT_TRUE(face.is_system);
  EXPECT_EQ(face.index, 15);
  const struct {
    ColorWord word;
    int red, green, blue;
  } plain[] = {{kRed, 255, 0, 0}, {kYellow, 255, 255, 0},
               {kGreen, 0, 255, 0}, {0x00123456u, 0x56, 0x34, 0x12}};
  for (const auto& c : plain) {
    const ResolvedColor color = Resolve(c.word);
    EXPECT_FALSE(color.is_system) << c.word;
    EXPECT_EQ(color.red, c.red) << c.word;
    EXPECT_EQ(color.green, c.green) << c.word;
    EXPECT_EQ(color.blue, c.blue) << c.word;
  }
}

// The store keeps what the window shows and counts the rest; a smaller
// bound (a new DPI or font) drops only lines past it.
TEST(Layout, PrintedLinesKeepWhatTheWindowShowsAndCountTheRest) {
  EXPECT_EQ(PrintedLines::VisibleRows(441, 15), 30);  // the last one cut
  EXPECT_EQ(PrintedLines::VisibleRows(450, 15), 30);
  EXPECT_EQ(PrintedLines::VisibleRows(0, 15), 1);
  EXPECT_EQ(PrintedLines::VisibleRows(441, 0), 441);

  PrintedLines lines(3);
  EXPECT_EQ(lines.Add("a"), 0);
  EXPECT_EQ(lines.Add("b"), 1);
  EXPECT_EQ(lines.Add("c"), 2);
  EXPECT_EQ(lines.Add("d"), std::nullopt);
  EXPECT_EQ(lines.Hidden(), 1u);
  lines.SetMaxRows(2);
  EXPECT_EQ(lines.Lines(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(lines.Hidden(), 2u);
  lines.SetMaxRows(4);
  EXPECT_EQ(lines.Add("e"), 2);
}

}  // namespace
}  // namespace zapwit
