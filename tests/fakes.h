#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "display/display.h"
#include "engine/test_engine.h"

namespace zapwit::testing {

// One log shared by the display, the clock and the random source, so tests
// can check the order in which the engine used them.
using CallLog = std::vector<std::string>;

// A display that writes every call into the log as "Op(argument)".
class RecordingDisplay final : public Display {
 public:
  explicit RecordingDisplay(CallLog& log) : log_(log) {}

  void PrintLine(const std::string& text) override {
    log_.push_back("PrintLine(" + text + ")");
    lines.push_back(text);
  }
  void SetBoxColor(ColorWord color) override {
    log_.push_back("SetBoxColor(" + Hex(color) + ")");
    box_color = color;
  }
  void SetBoxCaption(const std::string& text) override {
    log_.push_back("SetBoxCaption(" + text + ")");
    box_caption = text;
  }
  void SetBoxLeft(int twips) override {
    log_.push_back("SetBoxLeft(" + std::to_string(twips) + ")");
    box_left = twips;
  }
  void SetBoxTop(int twips) override {
    log_.push_back("SetBoxTop(" + std::to_string(twips) + ")");
    box_top = twips;
  }
  void HideButton(Button button) override {
    static constexpr const char* kNames[] = {"LIGHT", "JUMP", "NUMBER",
                                             "COUNTER"};
    log_.push_back(std::string("HideButton(") +
                   kNames[static_cast<int>(button)] + ")");
  }

  static std::string Hex(ColorWord color) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", color);
    return text;
  }

  std::vector<std::string> lines;
  ColorWord box_color = 0x0000FF;  // a fresh BOX is red
  std::string box_caption;
  int box_left = 2880;
  int box_top = 1920;

 private:
  CallLog& log_;
};

// Everything a test needs to drive an engine: the recording display, a clock
// the test sets, and a random source that hands out queued values and then
// `fallback_random`.
struct Rig {
  Rig()
      : display(log),
        engine(
            display,
            [this] {
              log.push_back("Clock");
              return now;
            },
            [this] {
              log.push_back("Rng");
              if (randoms.empty()) return fallback_random;
              const float value = randoms.front();
              randoms.pop_front();
              return value;
            }) {}

  const TestState& state() const { return engine.State(); }
  void Ticks(long count) {
    for (long i = 0; i < count; ++i) engine.Tick();
  }
  // Starts `test` with `unit` as the target's random draw and forgets the
  // start's calls.
  void Start(TestMode test, float unit) {
    randoms.push_back(unit);
    engine.StartTest(test);
    log.clear();
    display.lines.clear();
  }

  CallLog log;
  RecordingDisplay display;
  float now = 0.0f;
  std::deque<float> randoms;
  float fallback_random = 0.5f;
  TestEngine engine;
};

}  // namespace zapwit::testing
