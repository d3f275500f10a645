#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "display/display.h"
#include "engine/rng.h"
#include "engine/test_engine.h"
#include "window/printed_lines.h"
#include "window/tick_schedule.h"

namespace zapwit {

// The game's one window on the Win32 API, "ZAPWIT TEST": four push buttons,
// the static control BOX, the timer TIME, and the lines the game prints on
// the window's surface. It owns the engine, is its Display, and turns
// clicks, timer firings and typed characters into the engine's three
// operations. Everything runs on the thread that created it.
class Form1 final : public Display {
 public:
  // Where the engine's time and chance come from. An empty clock is the
  // local clock; an empty rng is the form's own Rng, seeded at load.
  struct Sources {
    std::function<float()> clock;
    std::function<float()> rng;
  };

  // Registers the window class, creates the window and its controls at the
  // DPI of the monitor it lands on, and runs Form_Load. The window is not
  // shown yet. Returns nothing if Windows refuses to create it.
  static std::unique_ptr<Form1> Create(HINSTANCE instance, Sources sources);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  HWND Handle() const { return hwnd_; }

  // Display. Positions are in twips, converted at the window's DPI.
  void PrintLine(const std::string& text) override;
  void SetBoxColor(ColorWord color) override;
  void SetBoxCaption(const std::string& text) override;
  void SetBoxLeft(int twips) override;
  void SetBoxTop(int twips) override;
  void HideButton(Button button) override;

  // The event handlers, one per control and event.
  void Form_Load();
  void LIGHT_Click();
  void JUMP_Click();
  void NUMBER_Click();
  void COUNTER_Click();
  void TIME_Timer();
  void Form_KeyPress(std::int16_t key);

  const TestEngine& Engine() const { return engine_; }
  int Dpi() const { return dpi_; }
  const PrintedLines& Lines() const { return lines_; }

  // Tells `probe` of every firing of TIME, as on Linux.
  void SetTimerProbe(TickProbe probe) { timer_probe_ = std::move(probe); }

 private:
  Form1(HINSTANCE instance, Sources sources);

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                     LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  void OnCreate();
  void OnCommand(WPARAM wparam);
  void OnTimerFired();
  void OnPaint();
  void OnActivate(WPARAM wparam);
  void OnDpiChanged(int dpi, const RECT& suggested);
  HBRUSH OnControlColor(HDC dc, HWND control);
  void LayOut();
  void ResizeToClientArea(int left, int top);
  void ArmTimer();
  void MoveBox();
  void ReleaseBoxBrush();

  HINSTANCE instance_;
  Sources sources_;
  Rng rng_;
  TestEngine engine_;

  HWND hwnd_ = nullptr;
  std::array<HWND, 4> buttons_{};  // LIGHT, JUMP, NUMBER, COUNTER
  HWND box_ = nullptr;
  HWND saved_focus_ = nullptr;  // restored when the window is active again
  int dpi_ = 96;
  HFONT font_ = nullptr;      // the message font at dpi_
  int line_spacing_ = 1;      // pixels
  // Ours to delete unless box_color_ is a system colour, whose brush is
  // the system's.
  HBRUSH box_brush_ = nullptr;
  ColorWord box_color_ = 0;
  int box_left_ = 0, box_top_ = 0;  // twips
  bool timer_period_set_ = false;

  std::optional<TickSchedule> schedule_;
  TickProbe timer_probe_;
  PrintedLines lines_;
};

// Runs the game: creates the window, shows it and pumps messages until it
// is closed. Returns the exit status: 0 when the player closed the window,
// 1 when it could not be created.
int RunGame(HINSTANCE instance, int show);

}  // namespace zapwit
