#pragma once

#include <windows.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <vector>

#include "display/display.h"
#include "engine/rng.h"
#include "engine/test_engine.h"
#include "window/printed_lines.h"
#include "window/tick_schedule.h"

namespace zapwit {

class FormAccessibility;

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

  // What waits for TIME's deadlines. The best is a high-resolution
  // waitable timer (Windows 10 1803 and later), or where Windows has none,
  // a window timer re-armed for each deadline; the benchmarks can ask for
  // the window timer to measure the two against each other.
  enum class TimerChoice { kBest, kWindowTimer };

  // Registers the window class, creates the window and its controls at the
  // DPI of the monitor it lands on, and runs Form_Load. The window is not
  // shown yet. Returns nothing if Windows refuses to create it.
  static std::unique_ptr<Form1> Create(HINSTANCE instance, Sources sources,
                                       TimerChoice timer = TimerChoice::kBest);
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

  // TIME's high-resolution waitable timer, for the message loop to wait
  // on beside the messages; null while a window timer paces TIME (where
  // Windows has no high-resolution timer, or asked for).
  HANDLE TickTimer() const { return tick_timer_; }
  // The message loop saw TickTimer() signalled.
  void OnTickTimer() { OnTimerFired(); }
  // Which timer paces TIME, in words, for the benchmarks' output.
  const char* TimerName() const;

 private:
  Form1(HINSTANCE instance, Sources sources, TimerChoice timer);

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                     LPARAM lparam);
  // BOX's window procedure before the system's: WM_GETOBJECT.
  static LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM wparam,
                                  LPARAM lparam, UINT_PTR id, DWORD_PTR data);
  // BOX's colour and caption in words, for assistive technology.
  std::wstring BoxWords() const;
  // Where printed line `row` is drawn, in client pixels.
  RECT LineBand(int row) const;
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
  void OnModalLoop(bool entered);
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
  TimerChoice timer_choice_;
  HANDLE tick_timer_ = nullptr;  // ours to close
  // Inside Windows' own modal loops (a drag by the title bar, a menu),
  // which never return to the game's loop, a window timer paces TIME.
  int modal_loops_ = 0;

  std::optional<TickSchedule> schedule_;
  TickProbe timer_probe_;
  PrintedLines lines_;
  std::unique_ptr<FormAccessibility> accessibility_;
};

// What a message loop's caller may add: `keep_going` is asked after every
// event and ends the loop when it says no; `on_message` sees every message
// before it is dispatched.
struct LoopHooks {
  std::function<bool()> keep_going;
  std::function<void(const MSG&)> on_message;
};

// The game's message loop: waits for a message or for TIME's timer,
// whichever comes first; runs TIME_Timer when the timer is due, also
// between the messages of a long queue, so a tick never waits behind input
// or paint and input never waits behind ticks; gives Tab and Space on the
// buttons through the dialog manager. Returns WM_QUIT's exit code, or -1
// when `hooks.keep_going` ended it.
int RunMessageLoop(Form1& form, const LoopHooks& hooks = {});

// Runs the game: creates the window, shows it and pumps messages until it
// is closed. Returns the exit status: 0 when the player closed the window,
// 1 when it could not be created.
int RunGame(HINSTANCE instance, int show);

}  // namespace zapwit
