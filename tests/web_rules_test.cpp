// The browser front-end's own rules, which run in the page but need none:
// its clock on the page's time, its ticks on the animation frame, which
// keys count and which the browser keeps, its colours and its fit to the
// viewport, and the form as the page's HTML and CSS hold it. (The order of
// keys and ticks: page_loop_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "display/colors.h"
#include "window/form_layout.h"
#include "window/web/form_markup.h"
#include "window/web/page_clock.h"
#include "window/web/page_rules.h"

namespace zapwit {
namespace {

// Readings go by the page's clock from one anchor to the time of day, and
// wrap at midnight as the desktop clock does.
TEST(PageClock, AdvancesOnPageTimeFromItsAnchorAndWrapsAtMidnight) {
  const struct {
    double day_seconds, anchor_ms, page_ms;
    float reading;
  } cases[] = {
      {45000.25, 1000.0, 1000.0, 45000.25f},
      {45000.25, 1000.0, 1250.0, 45000.5f},
      {45000.0, 0.0, 3'600'000.0, 48600.0f},    // an hour later
      {86399.5, 0.0, 1000.0, 0.5f},             // past midnight
      {86399.5, 0.0, 86'400'000.0 + 1000, 0.5f},  // a day and a second later
  };
  for (const auto& c : cases) {
    PageClock clock(c.day_seconds, c.anchor_ms);
    EXPECT_FLOAT_EQ(clock.At(c.page_ms), c.reading) << c.day_seconds << " + " << c.page_ms;
  }
}

// The desktop's 64 ticks a second, whatever the display's frame rate: at
// 60 Hz some frames run two ticks, at 144 Hz some none.
TEST(FrameTicks, KeepSixtyFourTicksASecondAtAnyFrameRate) {
  for (const double hz : {30.0, 50.0, 60.0, 75.0, 120.0, 144.0, 240.0}) {
    FrameTicks ticks(1000.0);
    int total = 0, most = 0;
    const int frames = static_cast<int>(10 * hz);  // ten seconds
    for (int frame = 1; frame <= frames; ++frame) {
      const int due = ticks.Due(1000.0 + frame * 1000.0 / hz);
      total += due;
      most = std::max(most, due);
    }
    EXPECT_NEAR(total, 640, 1) << hz << " Hz";
    EXPECT_EQ(most, static_cast<int>(std::ceil(64.0 / hz))) << hz << " Hz";
  }
}

// Browsers send no frames to a hidden page. Shown again, the game goes on
// from that moment: no burst of the ticks it missed.
TEST(FrameTicks, RestartAfterAHiddenSpellRunsNoBurst) {
  FrameTicks ticks(0.0);
  EXPECT_EQ(ticks.Due(16.0), 1);
  ticks.Restart(60'016.0);  // a minute hidden
  EXPECT_EQ(ticks.Due(60'030.0), 0);
  EXPECT_EQ(ticks.Due(60'032.0), 1);
  EXPECT_EQ(ticks.Due(60'048.0), 1);
}

TEST(PageKeys, CharactersAndTheNamedFewCountModifiedKeysAreTheBrowsers) {
  const struct {
    PageKey key;
    std::optional<std::int16_t> code;
  } cases[] = {
      {{"a"}, 'a'},
      {{"Z"}, 'Z'},
      {{" "}, ' '},
      {{"7"}, '7'},
      {{"?"}, '?'},
      {{"Enter"}, 13},
      {{"Backspace"}, 8},
      {{"Escape"}, 27},
      {{"Tab"}, 9},
      {{"\xC3\xA9"}, 0xE9},                 // é
      {{"\xE2\x82\xAC"}, 0x20AC},           // €
      {{"\xF0\x9F\x98\x80"}, 0xF600},       // an emoji: its low 16 bits
      {{"Shift"}, std::nullopt},
      {{"ArrowUp"}, std::nullopt},
      {{"F5"}, std::nullopt},
      {{"Dead"}, std::nullopt},
      {{"Unidentified"}, std::nullopt},
      {{""}, std::nullopt},
      {{"\xC3"}, std::nullopt},             // cut short
      {{"r", /*ctrl=*/true}, std::nullopt},   // Ctrl+R: reload
      {{"w", true}, std::nullopt},
      {{"x", false, /*alt=*/true}, std::nullopt},
      {{"l", false, false, /*meta=*/true}, std::nullopt},
      {{"Enter", true}, std::nullopt},
      {{"@", true, true, false, /*alt_graph=*/true}, '@'},  // AltGr as Ctrl+Alt
      {{"\xE2\x82\xAC", false, false, false, true}, 0x20AC},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeyCode(c.key), c.code)
        << "'" << c.key.key << "' ctrl " << c.key.ctrl << " alt " << c.key.alt << " meta "
        << c.key.meta << " altgr " << c.key.alt_graph;
  }
}

// Before, Tab was the game's in Idle too, and a click on the page's
// surface put the focus on the page: a keyboard user could never Tab back
// to the buttons, or out of the page.
TEST(PageKeys, TabIsTheBrowsersWhileNoTestRunsSpaceAndEnterTheFocusedButtons) {
  const struct {
    std::string_view key;
    bool test_running, on_button, browsers;
  } cases[] = {
      {"Tab", false, true, true},    {"Tab", false, false, true},
      {"Tab", true, false, false},   {"Tab", true, true, false},  // a button just hidden
      {" ", false, true, true},      {"Enter", false, true, true},
      {" ", false, false, false},    {"Enter", false, false, false},
      {" ", true, true, false},      {"Enter", true, true, false},
      {"a", false, true, false},     {"a", true, false, false},
      {"Escape", false, true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BrowsersKey({c.key}, c.test_running, c.on_button), c.browsers)
        << "'" << c.key << "' running " << c.test_running << " on a button " << c.on_button;
  }
}

TEST(PageColors, PlainColoursAsRgbAndTheFormsColourAsButtonFace) {
  EXPECT_EQ(CssColor(kRed), "rgb(255, 0, 0)");
  EXPECT_EQ(CssColor(kYellow), "rgb(255, 255, 0)");
  EXPECT_EQ(CssColor(kGreen), "rgb(0, 255, 0)");
  EXPECT_EQ(CssColor(kButtonFace), "ButtonFace");
}

TEST(PageFit, TheWholeClientAreaScalesDownUniformlyWhereTheViewportIsSmaller) {
  const int width = TwipsToPixels(kClientWidth), height = TwipsToPixels(kClientHeight);
  const struct {
    double viewport_width, viewport_height, scale;
  } cases[] = {
      {1024, 768, 1.0},
      {484, 441, 1.0},
      {360, 640, 360.0 / 484},  // a phone, upright
      {640, 360, 360.0 / 441},  // and on its side
      {242, 220.5, 0.5},
      {0, 0, 1.0},              // no viewport yet
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(FitScale(c.viewport_width, c.viewport_height, width, height), c.scale)
        << c.viewport_width << " x " << c.viewport_height;
  }
}

// The page's HTML holds the controls in the order they stack, the lines
// behind the rest and the buttons in tab order, and its CSS places each
// where the window has it, with BOX red before the game has run.
TEST(PageForm, HoldsEachControlInStackingOrderAndPlacesItAsTheWindowDoes) {
  const std::string html = FormMarkup();
  const std::string css = FormPlaces();
  const struct {
    std::string element, rule;
  } controls[] = {
      {R"(<div class="lines" role="log" aria-live="polite"></div>)",
       "#form { width: 484px; height: 441px; }"},
      {R"(id="LIGHT" data-button="0" autofocus>LIGHT</button>)",
       "#LIGHT { left: 16px; top: 16px; width: 65px; height: 25px; }"},
      {R"(id="JUMP" data-button="1">JUMP</button>)",
       "#JUMP { left: 88px; top: 16px; width: 65px; height: 25px; }"},
      {R"(id="NUMBER" data-button="2">NUMBER</button>)",
       "#NUMBER { left: 160px; top: 16px; width: 73px; height: 25px; }"},
      {R"(id="COUNTER" data-button="3">COUNTER</button>)",
       "#COUNTER { left: 240px; top: 16px; width: 73px; height: 25px; }"},
      {R"(<div class="box" id="BOX" role="figure" aria-label="BOX"></div>)",
       "#BOX { left: 192px; top: 128px; width: 67px; height: 67px; "
       "background-color: rgb(255, 0, 0); }"},
  };
  std::size_t after = 0;
  for (const auto& control : controls) {
    const std::size_t at = html.find(control.element);
    ASSERT_NE(at, std::string::npos) << control.element << "\n" << html;
    EXPECT_GE(at, after) << control.element << " out of order";
    EXPECT_EQ(html.find(control.element, at + 1), std::string::npos) << control.element << " twice";
    after = at;
    EXPECT_NE(css.find(control.rule), std::string::npos) << control.rule << "\n" << css;
  }
  EXPECT_EQ(html.find("<button"), html.find(R"(<button type="button" class="start")"));
}

}  // namespace
}  // namespace zapwit
