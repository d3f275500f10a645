#include <gtest/gtest.h>

#include <QKeyEvent>
#include <chrono>
#include <fstream>
#include <iostream>

#include "window_rig.h"

namespace zapwit::testing {
namespace {

constexpr float kLargestBelowOne = 0x1.fffffep-1f;

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    long value = 0;
    if (key == "VmRSS:" && status >> value) return value;
  }
  return -1;
}

double PaintMicroseconds(Form1& form) {
  constexpr int kPaints = 50;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kPaints; ++i) form.repaint();
  return std::chrono::duration<double, std::micro>(
             std::chrono::steady_clock::now() - start)
             .count() /
         kPaints;
}

// Through the real key path, in every phase of every test: before the first
// tick, while waiting, on the go-signal tick and after it.
TEST(WindowAbuse, KeysInEveryPhaseOfEveryTestFollowTheRules) {
  const std::string remark(kRemark);
  const std::string early = "Your score is -99925 , 100 is perfect.";
  const std::string fast = "Your score is  75 , 100 is perfect.";
  const struct {
    const char* button;
    int ticks;
    std::vector<std::string> after_prompt;
  } cases[] = {
      // LIGHT goes green on tick 100 and scores only from tick 101.
      {"LIGHT", 0, {}},
      {"LIGHT", 99, {}},
      {"LIGHT", 100, {}},
      {"LIGHT", 101, {fast}},
      // JUMP and NUMBER go on tick 50; earlier keys count from midnight.
      {"JUMP", 0, {early, remark}},
      {"JUMP", 49, {early, remark}},
      {"JUMP", 50, {fast}},
      {"JUMP", 75, {fast}},
      {"NUMBER", 0, {early, remark}},
      {"NUMBER", 49, {early, remark}},
      {"NUMBER", 50, {fast}},
      {"NUMBER", 500, {fast}},
      // COUNTER from 200: the count's distance from 100.
      {"COUNTER", 0, {"Your score is  0 , 100 is perfect."}},
      {"COUNTER", 100, {"Your score is  100 , 100 is perfect."}},
      {"COUNTER", 150, {"Your score is  50 , 100 is perfect."}},
      {"COUNTER", 350, {"Your score is -150 , 100 is perfect.", remark}},
  };
  for (const auto& c : cases) {
    WindowRig rig;
    rig.randoms = {0.0f};
    rig.Click(c.button);
    rig.now = 1000.0f;
    rig.Ticks(c.ticks);
    rig.now = 1000.25f;
    rig.Key(Qt::Key_Z);
    std::vector<std::string> lines = rig.form.VisibleLines();
    ASSERT_FALSE(lines.empty());
    lines.erase(lines.begin());  // the prompt
    EXPECT_EQ(lines, c.after_prompt) << c.button << " after " << c.ticks;
    EXPECT_EQ(rig.mode(), TestMode::Idle);
    // The test is over: more ticks change nothing on screen.
    const QImage before = rig.Grab();
    rig.Ticks(200);
    EXPECT_EQ(rig.Grab(), before) << c.button << " after " << c.ticks;
  }
}

// A key held down after a negative score prints the remark on every
// auto-repeat. The window keeps only the lines it can show, so memory and
// the cost of a repaint stay where they were.
TEST(WindowAbuse, KeyStormAfterANegativeScoreStaysBounded) {
  WindowRig rig;
  rig.randoms = {kLargestBelowOne};  // COUNTER from 299
  rig.Click("COUNTER");
  rig.Key(Qt::Key_A);  // scores -99
  ASSERT_LT(rig.form.Engine().State().Score, 0);
  const int max_lines = rig.form.MaxVisibleLines();
  for (int i = 0; i < max_lines; ++i) rig.Key(Qt::Key_A);  // fill the window
  QApplication::processEvents();
  const long rss_before = ResidentKiB();
  const double paint_before = PaintMicroseconds(rig.form);

  constexpr int kKeys = 100'000;
  for (int i = 0; i < kKeys; ++i) {
    if (i % 4 == 0) {
      rig.Key(Qt::Key_A);
    } else {  // auto-repeats, as a held key sends them
      QKeyEvent repeat(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a", true);
      QApplication::sendEvent(&rig.form, &repeat);
    }
    if (i % 1000 == 0) QApplication::processEvents();
  }
  QApplication::processEvents();
  const long rss_after = ResidentKiB();
  const double paint_after = PaintMicroseconds(rig.form);

  const std::uint64_t printed = 3 + max_lines + kKeys;
  EXPECT_EQ(rig.form.VisibleLines().size(),
            static_cast<std::size_t>(max_lines));
  EXPECT_EQ(rig.form.HiddenLineCount(), printed - max_lines);
  std::cout << "key storm: " << kKeys << " keys, RSS " << rss_before
            << " KiB before, " << rss_after << " KiB after; repaint "
            << paint_before << " us before, " << paint_after << " us after\n";
  RecordProperty("rss_before_kib", static_cast<int>(rss_before));
  RecordProperty("rss_after_kib", static_cast<int>(rss_after));
#if !defined(__SANITIZE_ADDRESS__)
  // ASan's quarantine holds freed memory back, so only a plain build can
  // tell growth from bookkeeping. 100 000 kept lines would be several MiB.
  EXPECT_LT(rss_after - rss_before, 2048) << "KiB grown over the storm";
#endif
}

}  // namespace
}  // namespace zapwit::testing
