#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalSpy>

#include <cstdlib>
#include <string>

#include "display/colors.h"
#include "window/qt/game.h"
#include "window_rig.h"

namespace zapwit::testing {
namespace {

constexpr float kLargestBelowOne = 0x1.fffffep-1f;
const char* const kButtonNames[] = {"LIGHT", "JUMP", "NUMBER", "COUNTER"};
const QColor kRedPixel(255, 0, 0), kYellowPixel(255, 255, 0),
    kGreenPixel(0, 255, 0);

QColor Face(const Form1& form) {
  return form.palette().color(QPalette::Button);
}

QLabel* Box(Form1& form) { return form.findChild<QLabel*>("BOX"); }

int LineSpacing(const Form1& form) {
  return QFontMetrics(form.font()).lineSpacing();
}

// The band of pixels a printed line occupies.
QRect LineBand(const Form1& form, int row) {
  return {0, row * LineSpacing(form), form.width(), LineSpacing(form)};
}

// A missing font draws nothing or boxes, silently; every pixel test below
// would then prove nothing.
TEST(Window, RealFontIsAvailable) {
  WindowRig rig;
  EXPECT_FALSE(QFontDatabase::families().isEmpty());
  EXPECT_FALSE(QFontInfo(rig.form.font()).family().isEmpty());
  EXPECT_GT(QFontMetrics(rig.form.font()).horizontalAdvance("W"), 0);
}

TEST(Window, FreshWindowShowsTheButtonRowAndARedEmptyBox) {
  WindowRig rig;
  Form1& form = rig.form;
  EXPECT_EQ(form.windowTitle(), "ZAPWIT TEST");
  EXPECT_EQ(form.size(), QSize(484, 441));
  EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "must not resize";

  const struct {
    const char* name;
    QRect geometry;
  } buttons[] = {
      {"LIGHT", {16, 16, 65, 25}},
      {"JUMP", {88, 16, 65, 25}},
      {"NUMBER", {160, 16, 73, 25}},
      {"COUNTER", {240, 16, 73, 25}},
  };
  for (const auto& b : buttons) {
    QPushButton* button = rig.button(b.name);
    ASSERT_NE(button, nullptr) << b.name;
    EXPECT_EQ(button->geometry(), b.geometry) << b.name;
    EXPECT_EQ(button->text(), b.name);
    EXPECT_TRUE(button->isVisible()) << b.name;
  }

  QLabel* box = Box(form);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->geometry(), QRect(192, 128, 67, 67));
  EXPECT_TRUE(box->text().isEmpty());
  const QImage image = rig.Grab();
  EXPECT_EQ(image.pixelColor(box->geometry().center()), kRedPixel);
  EXPECT_EQ(image.pixelColor(box->geometry().topLeft()), kRedPixel);
  EXPECT_EQ(image.pixelColor(box->geometry().bottomRight()), kRedPixel);
  EXPECT_EQ(image.pixelColor(box->geometry().topLeft() - QPoint(1, 1)),
            Face(form));

  EXPECT_TRUE(form.VisibleLines().empty());
  // Left of the button row, where a first line would start.
  EXPECT_EQ(InkPixels(image, {0, 0, 16, 441}, Face(form)), 0);
}

// LIGHT has the keyboard at load, and Tab walks the row in order.
// The icons are decoded and handed to the window system only once the
// first frame is painted: before, they took about 2 ms of the way to it.
TEST(Window, IconFollowsTheFirstFrame) {
  const Form1 unshown(Form1::Sources{[] { return 0.0f; }, [] { return 0.5f; },
                                     /*run_timer=*/false});
  EXPECT_TRUE(unshown.windowIcon().availableSizes().isEmpty());

  WindowRig rig;
  const auto sizes = [&rig] { return rig.form.windowIcon().availableSizes(); };
  ASSERT_TRUE(QTest::qWaitFor([&] { return !sizes().isEmpty(); }, 10000))
      << "no icon after the first frame";
  for (int side : {16, 32, 48}) {
    EXPECT_TRUE(sizes().contains(QSize(side, side))) << "icon " << side;
  }
}

TEST(Window, TabOrderRunsAlongTheButtonRow) {
  WindowRig rig;
  EXPECT_EQ(QApplication::focusWidget(), rig.button("LIGHT"));
  for (const char* next : {"JUMP", "NUMBER", "COUNTER", "LIGHT"}) {
    rig.Key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), rig.button(next)) << next;
  }
}

TEST(Window, EachButtonStartsItsTestByMouseOrSpaceAndHidesAllFour) {
  const TestMode modes[] = {TestMode::Light, TestMode::Jump, TestMode::Number,
                            TestMode::Counter};
  const char* const prompts[] = {"Press any key when box is green.",
                                 "Press any key when box is green.",
                                 "Press any key when an even number comes up.",
                                 "Press any key when counter reaches 100."};
  for (int i = 0; i < 4; ++i) {
    for (bool by_space : {false, true}) {
      WindowRig rig;
      QSignalSpy clicks(rig.button(kButtonNames[i]), &QPushButton::clicked);
      if (by_space) {
        rig.button(kButtonNames[i])->setFocus();
        rig.Key(Qt::Key_Space);
      } else {
        rig.Click(kButtonNames[i]);
      }
      const std::string how =
          std::string(kButtonNames[i]) + (by_space ? " by Space" : " by mouse");
      EXPECT_EQ(clicks.count(), 1) << how;
      EXPECT_EQ(rig.mode(), modes[i]) << how;
      for (const char* name : kButtonNames) {
        EXPECT_FALSE(rig.button(name)->isVisible()) << how << ": " << name;
      }
      ASSERT_EQ(rig.form.VisibleLines().size(), 1u) << how;
      EXPECT_EQ(rig.form.VisibleLines()[0], prompts[i]) << how;
      EXPECT_EQ(QApplication::focusWidget(), &rig.form) << how;
    }
  }
}

// Before the fix Space went to the hidden button that kept the focus. A
// second Space must be a key for the game, and clicks where the buttons
// were must start nothing.
TEST(Window, HiddenButtonsCannotBeClickedBySpaceOrMouse) {
  WindowRig rig;
  std::vector<std::unique_ptr<QSignalSpy>> spies;
  for (const char* name : kButtonNames) {
    spies.push_back(
        std::make_unique<QSignalSpy>(rig.button(name), &QPushButton::clicked));
  }
  rig.Key(Qt::Key_Space);  // LIGHT has the focus at load
  ASSERT_EQ(rig.mode(), TestMode::Light);
  const QRect number = rig.button("NUMBER")->geometry();
  rig.Key(Qt::Key_Space);
  EXPECT_EQ(rig.mode(), TestMode::Idle) << "Space is a key once a test runs";
  QTest::mouseClick(rig.window(), Qt::LeftButton, {}, number.center());
  rig.Key(Qt::Key_Space);
  EXPECT_EQ(rig.mode(), TestMode::Idle);
  EXPECT_EQ(spies[0]->count(), 1);
  for (int i = 1; i < 4; ++i) EXPECT_EQ(spies[i]->count(), 0) << i;
  EXPECT_EQ(rig.form.VisibleLines().size(), 1u) << "only the LIGHT prompt";
}

// Every key that types a character ends the test; Shift, arrows, F-keys
// and the like type nothing and are ignored.
TEST(Window, CharacterKeysEndTheTestOthersDoNot) {
  const struct {
    Qt::Key key;
    bool types;
  } cases[] = {
      {Qt::Key_A, true},        {Qt::Key_5, true},
      {Qt::Key_Comma, true},    {Qt::Key_Space, true},
      {Qt::Key_Return, true},   {Qt::Key_Backspace, true},
      {Qt::Key_Escape, true},   {Qt::Key_Shift, false},
      {Qt::Key_Left, false},    {Qt::Key_F1, false},
      {Qt::Key_Control, false}, {Qt::Key_CapsLock, false},
  };
  for (const auto& c : cases) {
    WindowRig rig;
    rig.Click("JUMP");
    rig.Key(c.key);
    EXPECT_EQ(rig.mode(), c.types ? TestMode::Idle : TestMode::Jump)
        << QKeySequence(c.key).toString().toStdString();
  }
}

TEST(Window, AutoRepeatedKeysCountLikeAnyOther) {
  WindowRig rig;
  rig.randoms = {kLargestBelowOne};  // COUNTER from 299: -99 at once
  rig.Click("COUNTER");
  for (int i = 0; i < 4; ++i) {
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a",
                     /*autorep=*/i > 0);
    QApplication::sendEvent(&rig.form, &repeat);
  }
  EXPECT_EQ(rig.mode(), TestMode::Idle);
  // The prompt, the score line and a remark for each of the four keys.
  EXPECT_EQ(rig.form.VisibleLines().size(), 6u);
}

// A whole game of each test, clicked, ticked and keyed through the window,
// ends with the score line painted below the prompt.
TEST(Window, FullGameOfEachTestPaintsTheScoreLine) {
  const struct {
    const char* button;
    int ticks;
    float go_clock, key_clock;
    std::vector<std::string> lines;
  } cases[] = {
      {"LIGHT",
       120,
       45000.25f,
       45000.5f,
       {"Press any key when box is green.",
        "Your score is  75 , 100 is perfect."}},
      {"JUMP",
       55,
       45000.25f,
       45000.75f,
       {"Press any key when box is green.",
        "Your score is  50 , 100 is perfect."}},
      {"NUMBER",
       60,
       100.0f,
       100.125f,
       {"Press any key when an even number comes up.",
        "Your score is  88 , 100 is perfect."}},
      {"COUNTER",
       103,
       0.0f,
       0.0f,
       {"Press any key when counter reaches 100.",
        "Your score is  97 , 100 is perfect."}},
  };
  for (const auto& c : cases) {
    WindowRig rig;
    rig.randoms = {0.0f};  // the shortest wait in every test
    rig.Click(c.button);
    rig.now = c.go_clock;
    rig.Ticks(c.ticks);
    const QImage before = rig.Grab();
    EXPECT_EQ(InkPixels(before, LineBand(rig.form, 1), Face(rig.form)), 0)
        << c.button;
    rig.now = c.key_clock;
    rig.Key(Qt::Key_X);
    EXPECT_EQ(rig.form.VisibleLines(), c.lines) << c.button;
    const QImage after = rig.Grab();
    EXPECT_GT(InkPixels(after, LineBand(rig.form, 0), Face(rig.form)), 50)
        << c.button;
    EXPECT_GT(InkPixels(after, LineBand(rig.form, 1), Face(rig.form)), 50)
        << c.button;
    EXPECT_EQ(InkPixels(after, LineBand(rig.form, 2), Face(rig.form)), 0)
        << c.button;
  }
}

// BOX's colour and place as the player sees them, read from the window's
// own pixels.
TEST(Window, BoxColourAndPlaceShowOnScreen) {
  const struct {
    const char* button;
    float unit;
    int ticks;
    QColor colour;  // invalid: the window's button face
  } cases[] = {
      {"LIGHT", kLargestBelowOne, 99, kRedPixel},
      {"LIGHT", kLargestBelowOne, 100, kYellowPixel},
      {"LIGHT", kLargestBelowOne, 399, kGreenPixel},
      {"LIGHT", 0.0f, 100, kGreenPixel},
      {"JUMP", 0.0f, 49, kRedPixel},
      {"JUMP", 0.0f, 50, kGreenPixel},
      {"NUMBER", 0.0f, 0, QColor()},
      {"COUNTER", 0.0f, 0, QColor()},
  };
  for (const auto& c : cases) {
    WindowRig rig;
    rig.randoms = {c.unit};
    rig.fallback_random = 0.25f;  // every jump: 1255 twips, 84 pixels
    rig.Click(c.button);
    rig.Ticks(c.ticks);
    const QImage image = rig.Grab();
    const QRect box = Box(rig.form)->geometry();
    const QColor want = c.colour.isValid() ? c.colour : Face(rig.form);
    const std::string id =
        std::string(c.button) + "+" + std::to_string(c.ticks);
    // The bottom-right corner: clear of any caption.
    EXPECT_EQ(image.pixelColor(box.bottomRight() - QPoint(2, 2)), want) << id;
    if (std::string(c.button) == "JUMP" && c.ticks >= 10) {
      EXPECT_EQ(box, QRect(84, 84, 67, 67)) << id;
      EXPECT_EQ(image.pixelColor(QPoint(200, 170)), Face(rig.form))
          << "BOX left its old place";
    }
  }
}

TEST(Window, NumberCaptionIsPaintedInTheBox) {
  WindowRig rig;
  rig.randoms = {0.0f};                    // go signal on step 5
  rig.fallback_random = kLargestBelowOne;  // draws 99
  rig.Click("NUMBER");
  rig.Ticks(10);
  QLabel* box = Box(rig.form);
  EXPECT_EQ(box->text(), " 99");
  const int odd_ink = InkPixels(rig.Grab(), box->geometry(), Face(rig.form));
  EXPECT_GT(odd_ink, 20);
  rig.Ticks(40);
  EXPECT_EQ(box->text(), " 100");
  EXPECT_GT(InkPixels(rig.Grab(), box->geometry(), Face(rig.form)), odd_ink);
}

// The window cannot scroll or grow: only lines that can be seen are kept,
// the rest are counted, and a key held down keeps memory flat.
TEST(Window, PrintedLinesAreBoundedByWhatTheWindowShows) {
  WindowRig rig;
  const int spacing = LineSpacing(rig.form);
  const int max = rig.form.MaxVisibleLines();
  EXPECT_GE(max * spacing, rig.form.height());
  EXPECT_LT((max - 1) * spacing, rig.form.height());

  rig.randoms = {kLargestBelowOne};  // COUNTER from 299: scores -99
  rig.Click("COUNTER");
  rig.Key(Qt::Key_A);
  ASSERT_LT(rig.form.Engine().State().Score, 0);
  constexpr int kKeys = 3000;
  for (int i = 0; i < kKeys; ++i) rig.Key(Qt::Key_A);
  // The prompt, the score line, the remark, and a remark per key.
  const std::uint64_t printed = 3 + kKeys;
  EXPECT_EQ(rig.form.VisibleLines().size(), static_cast<std::size_t>(max));
  EXPECT_EQ(rig.form.HiddenLineCount(), printed - max);
  EXPECT_EQ(rig.form.VisibleLines().back(),
            std::string(kRemark));
}

// The game asks Qt for direct uploads on X11, unless the player has said
// something about shared memory already.
TEST(Window, DirectUploadIsTheDefaultButThePlayersSettingStays) {
  constexpr const char* kName = "QT_XCB_NO_MITSHM";
  const char* before = std::getenv(kName);
  const std::string saved = before != nullptr ? before : "";
  struct Case {
    const char* set;  // nullptr: not in the environment
    const char* after;
  };
  for (const Case& c : {Case{nullptr, "1"}, Case{"0", "0"}, Case{"", ""}}) {
    if (c.set != nullptr) {
      setenv(kName, c.set, 1);
    } else {
      unsetenv(kName);
    }
    PreferDirectUpload();
    const char* after = std::getenv(kName);
    ASSERT_NE(after, nullptr);
    EXPECT_STREQ(after, c.after) << (c.set != nullptr ? c.set : "(unset)");
  }
  if (before != nullptr) {
    setenv(kName, saved.c_str(), 1);
  } else {
    unsetenv(kName);
  }
}

// Asked to grow (Qt's title bar on Wayland offers maximize), the window
// must be free to take the size the desktop gives it: Qt's Wayland plugin
// acknowledges the maximized state before the game hears of it, and a frame
// of the fixed size after that ended the game with a protocol error. Once
// restored, it has its one size again.
TEST(Window, GrowsOnlyWhenTheDesktopMaximizesItAndTakesItsSizeBack) {
  for (const Qt::WindowState larger :
       {Qt::WindowMaximized, Qt::WindowFullScreen}) {
    WindowRig rig;
    Form1& form = rig.form;
    const QSize one_size = form.size();
    rig.window()->setWindowStates(larger);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.width() > one_size.width(); }))
        << larger;
    EXPECT_GT(form.maximumWidth(), one_size.width()) << larger;
    rig.window()->setWindowStates(Qt::WindowNoState);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.size() == one_size; }))
        << larger;
    EXPECT_EQ(form.maximumSize(), one_size) << larger;
    EXPECT_EQ(form.minimumSize(), one_size) << larger;
  }
}

}  // namespace
}  // namespace zapwit::testing
