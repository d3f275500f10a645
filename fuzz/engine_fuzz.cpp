// Feeds the engine any sequence of starts, ticks, keys, clock readings and
// random values, and checks after every event that the state and everything
// drawn or printed is something the game's rules allow. A broken rule traps.
//
// Input: a sequence of events, each an opcode byte and its argument bytes.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "display/colors.h"
#include "display/display.h"
#include "engine/test_engine.h"

namespace zapwit {
namespace {

void Require(bool holds) {
  if (!holds) __builtin_trap();
}

// " 57", "-1", " 0": a space or minus sign, then digits with no leading zero.
// Returns the value, which must fit in 16 bits.
long ParseSigned(std::string_view text) {
  Require(text.size() >= 2 && text.size() <= 7);
  Require(text[0] == ' ' || text[0] == '-');
  Require(text[1] != '0' || text.size() == 2);
  long value = 0;
  for (char c : text.substr(1)) {
    Require(c >= '0' && c <= '9');
    value = value * 10 + (c - '0');
  }
  if (text[0] == '-') {
    Require(value != 0);
    value = -value;
  }
  Require(value >= std::numeric_limits<std::int16_t>::min() &&
          value <= std::numeric_limits<std::int16_t>::max());
  return value;
}

// "Your score is  75 , 100 is perfect." -> 75. False if not a score line.
bool ParseScoreLine(std::string_view line, double& score) {
  constexpr std::string_view kHead = "Your score is ";
  constexpr std::string_view kTail = " , 100 is perfect.";
  if (line.size() < kHead.size() + kTail.size() + 2 ||
      line.substr(0, kHead.size()) != kHead ||
      line.substr(line.size() - kTail.size()) != kTail) {
    return false;
  }
  std::string_view number =
      line.substr(kHead.size(), line.size() - kHead.size() - kTail.size());
  Require(number[0] == ' ' || number[0] == '-');
  Require(number.size() >= 2 && number.size() <= 11);
  Require(number[1] != '0' || number.size() == 2);
  double value = 0;
  for (char c : number.substr(1)) {
    Require(c >= '0' && c <= '9');
    value = value * 10 + (c - '0');
  }
  score = number[0] == '-' ? -value : value;
  return true;
}

// Checks each call as it comes, and keeps the lines of the current event.
class CheckingDisplay final : public Display {
 public:
  void PrintLine(const std::string& text) override { lines.push_back(text); }
  void SetBoxColor(ColorWord color) override {
    Require(color == kYellow || color == kGreen || color == kButtonFace);
  }
  void SetBoxCaption(const std::string& text) override { ParseSigned(text); }
  void SetBoxLeft(int twips) override { Require(twips >= 5 && twips <= 5004); }
  void SetBoxTop(int twips) override { Require(twips >= 5 && twips <= 5004); }
  void HideButton(Button button) override {
    Require(static_cast<int>(button) == hidden % 4);
    ++hidden;
  }

  std::vector<std::string> lines;
  int hidden = 0;
};

struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  bool Empty() const { return size == 0; }
  std::uint8_t Byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  std::uint32_t Bytes(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | Byte();
    return value;
  }
};

constexpr float kLargestBelowOne = 0x1.fffffep-1f;
// Clock readings worth hitting on purpose: midnight and its neighbours,
// noon, and readings no real clock gives.
constexpr float kClocks[] = {0.0f,
                             0x1p-20f,
                             0.25f,
                             1.0f,
                             43200.0f,
                             86399.0f,
                             86399.75f,
                             86399.996f,
                             86400.0f,
                             -1.0f,
                             1e9f,
                             -1e9f,
                             std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::quiet_NaN(),
                             45000.25f,
                             45000.5f};
constexpr float kRandoms[] = {
    0.0f, kLargestBelowOne, 0.5f, 0x1p-24f, 0.0102f, 0.25f, 0.75f, 0.999f};

// Tick budgets per input. Long runs may pass JUMP's overflow at tick
// 327 680; everything else stays short, so the fuzzer keeps its pace.
constexpr long kLongRunBudget = 400'000;
constexpr long kShortRunBudget = 20'000;

bool IsPrompt(const std::string& line) {
  return line == kGreenPrompt || line == kEvenPrompt || line == kCounterPrompt;
}

std::string_view PromptFor(TestMode test) {
  switch (test) {
    case TestMode::Light:
    case TestMode::Jump:
      return kGreenPrompt;
    case TestMode::Number:
      return kEvenPrompt;
    case TestMode::Counter:
      return kCounterPrompt;
    case TestMode::Idle:
      break;
  }
  return {};
}

// Whether a timed score can be a 32-bit number: the engine prints one then.
bool TimedScoreFits(float now, double go_time) {
  double elapsed = static_cast<double>(now) - go_time;
  if (elapsed < 0) elapsed += 86400.0;
  const double raw = 100.0 - elapsed * 100.0;
  return std::isfinite(raw) && raw > -2147483648.5 && raw < 2147483647.5;
}

void Run(Reader in) {
  CheckingDisplay display;
  float now = 0.0f;
  std::deque<float> randoms;
  TestEngine engine(
      display, [&] { return now; },
      [&] {
        if (randoms.empty()) return 0.5f;
        const float value = randoms.front();
        randoms.pop_front();
        return value;
      });
  long long_ticks_left = kLongRunBudget;
  long short_ticks_left = kShortRunBudget;

  while (!in.Empty()) {
    const TestState before = engine.State();
    const int hidden_before = display.hidden;
    display.lines.clear();
    const std::uint8_t op = in.Byte();
    switch (op % 8) {
      case 0: {  // start a test, or something that is not one
        const auto test =
            static_cast<TestMode>(static_cast<std::int8_t>(in.Byte()));
        engine.StartTest(test);
        const std::string_view prompt = PromptFor(test);
        if (prompt.empty()) {
          Require(display.lines.empty() && display.hidden == hidden_before);
          Require(engine.State().Mode == before.Mode);
        } else {
          Require(display.lines.size() == 1 && display.lines[0] == prompt);
          Require(display.hidden == hidden_before + 4);
          Require(engine.State().Mode == test);
          Require(
              engine.State().Score == before.Score ||
              (std::isnan(before.Score) && std::isnan(engine.State().Score)));
        }
        break;
      }
      case 1:
      case 2:
      case 3: {  // ticks: a few, some steps' worth, or a long run
        long count = in.Byte();
        if (op % 8 != 1) count *= 10;
        // Long runs reach the overflow points but cost milliseconds: only
        // the opcode 3 itself asks for one, so they stay a small share.
        long& budget = op == 3 ? long_ticks_left : short_ticks_left;
        if (op == 3) count = (count + 1) * 4096;
        if (count > budget) count = budget;
        budget -= count;
        for (long i = 0; i < count; ++i) engine.Tick();
        Require(display.lines.empty());
        Require(engine.State().Mode == before.Mode);
        break;
      }
      case 4: {  // a key, any code
        const auto key = static_cast<std::int16_t>(in.Bytes(2));
        const bool scores = before.Mode == TestMode::Counter ||
                            ((before.Mode == TestMode::Jump ||
                              before.Mode == TestMode::Number ||
                              (before.Mode == TestMode::Light &&
                               before.StepCount > before.Target)) &&
                             TimedScoreFits(now, before.GoTime));
        engine.KeyPressed(key);
        const TestState& after = engine.State();
        std::size_t next = 0;
        if (scores) {
          double printed = 0;
          Require(display.lines.size() > next &&
                  ParseScoreLine(display.lines[next], printed));
          Require(printed == after.Score);
          ++next;
        } else {
          Require(after.Score == before.Score);
        }
        if (after.Score < 0) {
          Require(display.lines.size() > next &&
                  display.lines[next] == kRemark);
          ++next;
        }
        Require(display.lines.size() == next);
        Require(after.Mode == TestMode::Idle);
        break;
      }
      case 5:  // the clock at a reading worth hitting
        now = kClocks[in.Byte() % std::size(kClocks)];
        break;
      case 6: {  // the clock at any reading at all
        const std::uint32_t bits = in.Bytes(4);
        std::memcpy(&now, &bits, sizeof now);
        break;
      }
      case 7: {  // queue random values: a chosen one, or any in [0, 1)
        const std::uint8_t choice = in.Byte();
        if (choice < 128) {
          randoms.push_back(kRandoms[choice % std::size(kRandoms)]);
        } else {
          randoms.push_back(static_cast<float>(in.Bytes(3)) * 0x1p-24f);
        }
        break;
      }
    }
    const auto mode = static_cast<int>(engine.State().Mode);
    Require(mode >= 0 && mode <= 4);
    for (const std::string& line : display.lines) {
      double ignored = 0;
      Require(IsPrompt(line) || line == kRemark ||
              ParseScoreLine(line, ignored));
    }
  }
}

}  // namespace
}  // namespace zapwit

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  try {
    zapwit::Run({data, size});
  } catch (...) {
    __builtin_trap();  // nothing may escape the engine
  }
  return 0;
}
