#include "window/win32/form1.h"

#include <commctrl.h>
#include <mmsystem.h>

#include <algorithm>
#include <utility>

#include "display/colors.h"
#include "engine/clock.h"
#include "window/box_words.h"
#include "window/color_rule.h"
#include "window/form_layout.h"
#include "window/win32/form1_accessible.h"
#include "window/win32/wide_text.h"

namespace zapwit {
namespace {

constexpr wchar_t kClassName[] = L"ZAPWIT.Form1";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU |
                         WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = 0;
// Control ids stay clear of IDOK and IDCANCEL, which the dialog manager
// sends for Enter and Escape.
constexpr int kFirstButtonId = 101;
constexpr int kBoxId = 110;
constexpr UINT_PTR kTimeId = 1;
constexpr UINT kTimerResolutionMs = 1;
constexpr UINT_PTR kBoxSubclassId = 1;

COLORREF ToColorRef(ColorWord word) {
  const ResolvedColor color = Resolve(word);
  if (color.is_system) return GetSysColor(color.index);
  return RGB(color.red, color.green, color.blue);
}

// Calls that newer Windows versions have and Windows 7 lacks, looked up at
// run time so that one executable runs on both.
template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  FARPROC address = user32 ? GetProcAddress(user32, name) : nullptr;
  // Through a generic function pointer: the one cast GCC allows quietly.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD,
                                                 UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT,
                                                   UINT);
using SetCoalescableTimerFn = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT,
                                                TIMERPROC, ULONG);
constexpr ULONG kNoCoalescing = 0xFFFFFFFF;  // TIMERV_NO_COALESCING

// Windows 10 1803 and later; older Windows refuse the flag, and mingw's
// headers lack it.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// Windows 11 stops honouring timeBeginPeriod for a process whose windows
// are all hidden, minimized or covered, unless the process opts out; the
// call is Windows 8's, looked up at run time. A failure leaves Windows'
// default, which is all there is before Windows 11.
void KeepTimerResolutionWhenHidden() {
  using SetProcessInformationFn =
      BOOL(WINAPI*)(HANDLE, PROCESS_INFORMATION_CLASS, LPVOID, DWORD);
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  FARPROC address =
      kernel32 ? GetProcAddress(kernel32, "SetProcessInformation") : nullptr;
  const auto set_information = reinterpret_cast<SetProcessInformationFn>(
      reinterpret_cast<void (*)()>(address));
  if (set_information == nullptr) return;
  PROCESS_POWER_THROTTLING_STATE state{};
  state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
  // In ControlMask and not in StateMask: the process takes charge of the
  // setting and turns the throttling off.
  state.ControlMask = PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
  state.StateMask = 0;
  set_information(GetCurrentProcess(), ProcessPowerThrottling, &state,
                  sizeof(state));
}

int SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kBaseDpi;
}

int WindowDpi(HWND hwnd) {
  static const auto get_dpi = User32Function<GetDpiForWindowFn>("GetDpiForWindow");
  if (get_dpi != nullptr) {
    const UINT dpi = get_dpi(hwnd);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

// The system's message font, at `dpi`.
HFONT CreateMessageFont(int dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  static const auto for_dpi =
      User32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
  if (for_dpi != nullptr &&
      for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
              static_cast<UINT>(dpi))) {
    return CreateFontIndirectW(&metrics.lfMessageFont);
  }
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics),
                             &metrics, 0)) {
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  // Without the per-DPI call the font comes at the system DPI.
  metrics.lfMessageFont.lfHeight =
      MulDiv(metrics.lfMessageFont.lfHeight, dpi, SystemDpi());
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

// The outer size of a window whose client area is the game's, at `dpi`.
SIZE FrameSize(int dpi) {
  RECT frame = {0, 0, TwipsToPixels(kClientWidth, dpi),
                TwipsToPixels(kClientHeight, dpi)};
  static const auto adjust_for_dpi =
      User32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  if (adjust_for_dpi != nullptr) {
    adjust_for_dpi(&frame, kStyle, FALSE, kExStyle, static_cast<UINT>(dpi));
  } else {
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

void DeleteFont(HFONT font) {
  if (font != nullptr && font != GetStockObject(DEFAULT_GUI_FONT)) {
    DeleteObject(font);
  }
}

Form1::Sources WithLocalClock(Form1::Sources sources) {
  if (!sources.clock) sources.clock = &Clock;
  return sources;
}

}  // namespace

Form1::Form1(HINSTANCE instance, Sources sources, TimerChoice timer)
    : instance_(instance),
      sources_(WithLocalClock(std::move(sources))),
      engine_(*this, sources_.clock,
              sources_.rng ? sources_.rng : [this] { return rng_.Next(); }),
      timer_choice_(timer) {}

std::unique_ptr<Form1> Form1::Create(HINSTANCE instance, Sources sources,
                                     TimerChoice timer) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &Form1::WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  window_class.hIcon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0,
                 LR_DEFAULTSIZE | LR_SHARED));
  window_class.hIconSm = static_cast<HICON>(LoadImageW(
      instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
      GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  if (RegisterClassExW(&window_class) == 0 &&
      GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return nullptr;
  }

  std::unique_ptr<Form1> form(new Form1(instance, std::move(sources), timer));
  const std::wstring caption = Widen(kFormCaption);
  // Created at its size for the system DPI; WM_CREATE corrects it if the
  // monitor it lands on has another. WM_NCCREATE stores the form in the
  // window and sets hwnd_.
  const SIZE frame = FrameSize(SystemDpi());
  CreateWindowExW(kExStyle, kClassName, caption.c_str(), kStyle, CW_USEDEFAULT,
                  CW_USEDEFAULT, frame.cx, frame.cy, nullptr, nullptr,
                  instance, form.get());
  if (form->hwnd_ == nullptr) return nullptr;
  form->Form_Load();
  return form;
}

Form1::~Form1() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  DeleteFont(font_);
  ReleaseBoxBrush();
  if (timer_period_set_) timeEndPeriod(kTimerResolutionMs);
  if (tick_timer_ != nullptr) CloseHandle(tick_timer_);
}

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT message, WPARAM wparam,
                                   LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* form = static_cast<Form1*>(create->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    form->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  return form->HandleMessage(message, wparam, lparam);
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_COMMAND:
      OnCommand(wparam);
      return 0;
    case WM_TIMER:
      if (wparam == kTimeId) OnTimerFired();
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_CHAR:
      // Only keys that type a character arrive here; Shift, the arrows and
      // the F-keys bring none.
      Form_KeyPress(static_cast<std::int16_t>(wparam));
      return 0;
    case WM_GETDLGCODE:
      // Once the buttons are gone the form has the keyboard, and every key
      // is an answer: Tab, Enter and Escape included.
      return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<LRESULT>(OnControlColor(
          reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)));
    case WM_ACTIVATE:
      OnActivate(wparam);
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP:
      OnModalLoop(true);
      return 0;
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP:
      OnModalLoop(false);
      return 0;
    case WM_GETOBJECT: {
      // The client area with its printed lines; what Windows answers
      // itself (the frame, the title bar) it answers.
      const LRESULT object = accessibility_->FormObject(wparam, lparam);
      return object > 0 ? object : DefWindowProcW(hwnd_, message, wparam, lparam);
    }
    case WM_DESTROY:
      accessibility_->Disconnect();
      KillTimer(hwnd_, kTimeId);
      if (tick_timer_ != nullptr) CancelWaitableTimer(tick_timer_);
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd_, message, wparam, lparam);
  }
}

void Form1::OnCreate() {
  dpi_ = WindowDpi(hwnd_);
  accessibility_ = std::make_unique<FormAccessibility>(
      hwnd_, ClientText{[this]() -> const std::vector<std::string>& {
                          return lines_.Lines();
                        },
                        [this](int row) { return LineBand(row); }});
  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    const std::wstring caption = Widen(kButtons[i].caption);
    buttons_[i] = CreateWindowExW(
        0, L"BUTTON", caption.c_str(),
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0, hwnd_,
        reinterpret_cast<HMENU>(
            static_cast<INT_PTR>(kFirstButtonId + static_cast<int>(i))),
        instance_, nullptr);
  }
  box_ = CreateWindowExW(
      0, L"STATIC", Widen(kBox.caption).c_str(),
      WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, hwnd_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBoxId)), instance_, nullptr);
  // BOX answers assistive technology through the form, which knows its
  // colour.
  SetWindowSubclass(box_, &Form1::BoxProc, kBoxSubclassId,
                    reinterpret_cast<DWORD_PTR>(this));
  box_left_ = kBox.left;
  box_top_ = kBox.top;
  SetBoxColor(kRed);
  LayOut();
  ResizeToClientArea(CW_USEDEFAULT, CW_USEDEFAULT);
}

void Form1::Form_Load() {
  rng_.Seed(sources_.clock());
  saved_focus_ = buttons_[0];
  SetFocus(buttons_[0]);
  // TIME asks Windows for its finest timer, 1 ms, and keeps it while the
  // window is hidden; the pace itself comes from the deadline schedule.
  timer_period_set_ = timeBeginPeriod(kTimerResolutionMs) == TIMERR_NOERROR;
  KeepTimerResolutionWhenHidden();
  // A high-resolution waitable timer wakes within about half a millisecond
  // of its due time whatever the system timer's resolution; window timers
  // fire only on the system clock's interrupt, every 15.6 ms where the
  // resolution is not honoured. Windows before 10 1803 refuse the flag.
  if (timer_choice_ == TimerChoice::kBest) {
    tick_timer_ = CreateWaitableTimerExW(nullptr, nullptr,
                                         CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                         TIMER_ALL_ACCESS);
  }
  const auto now = std::chrono::steady_clock::now();
  schedule_.emplace(kTickPeriod, now);
  ArmTimer();
}

const char* Form1::TimerName() const {
  return tick_timer_ != nullptr ? "high-resolution waitable timer"
                                : "window timer (SetTimer)";
}

void Form1::OnModalLoop(bool entered) {
  modal_loops_ = std::max(0, modal_loops_ + (entered ? 1 : -1));
  if (tick_timer_ == nullptr) return;  // the window timer runs throughout
  if (modal_loops_ == 0) KillTimer(hwnd_, kTimeId);
  ArmTimer();
}

void Form1::ArmTimer() {
  // The deadlines are on steady_clock, which is the performance counter
  // here; each wait is what is left to the next one, so a late firing
  // never shifts later ones.
  const auto now = std::chrono::steady_clock::now();
  if (tick_timer_ != nullptr && modal_loops_ == 0) {
    // Relative, in 100 ns units: an absolute due time would be on the
    // wall clock, which the player may set. A due time of 0 would mean
    // "absolute"; one unit means now.
    LARGE_INTEGER due{};
    due.QuadPart = -std::max<std::int64_t>(
        std::chrono::duration_cast<
            std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>>(
            schedule_->TimeTo(now))
            .count(),
        1);
    SetWaitableTimer(tick_timer_, &due, 0, nullptr, nullptr, FALSE);
    return;
  }
  // A window timer, re-armed for the whole milliseconds left to the next
  // deadline. Windows raises anything below 10 ms to 10 ms, which only a
  // firing already late by a third of a period ever asks for.
  const auto wait = schedule_->WaitFrom(now);
  const auto ms = static_cast<UINT>(std::max<std::int64_t>(wait.count(), 1));
  static const auto coalescable =
      User32Function<SetCoalescableTimerFn>("SetCoalescableTimer");
  if (coalescable != nullptr) {
    coalescable(hwnd_, kTimeId, ms, nullptr, kNoCoalescing);
  } else {
    SetTimer(hwnd_, kTimeId, ms, nullptr);
  }
}

void Form1::OnTimerFired() {
  const auto deadline = schedule_->Deadline();
  const auto fired = std::chrono::steady_clock::now();
  const bool ticked = schedule_->Fire(fired);
  if (ticked) TIME_Timer();
  if (timer_probe_) timer_probe_(deadline, fired, ticked);
  ArmTimer();
}

void Form1::OnCommand(WPARAM wparam) {
  if (HIWORD(wparam) != BN_CLICKED) return;
  switch (static_cast<int>(LOWORD(wparam)) - kFirstButtonId) {
    case 0:
      LIGHT_Click();
      break;
    case 1:
      JUMP_Click();
      break;
    case 2:
      NUMBER_Click();
      break;
    case 3:
      COUNTER_Click();
      break;
    default:
      break;  // IDOK and IDCANCEL from Enter and Escape: not ours
  }
}

void Form1::LIGHT_Click() { engine_.StartTest(TestMode::Light); }
void Form1::JUMP_Click() { engine_.StartTest(TestMode::Jump); }
void Form1::NUMBER_Click() { engine_.StartTest(TestMode::Number); }
void Form1::COUNTER_Click() { engine_.StartTest(TestMode::Counter); }
void Form1::TIME_Timer() { engine_.Tick(); }
void Form1::Form_KeyPress(std::int16_t key) { engine_.KeyPressed(key); }

void Form1::OnActivate(WPARAM wparam) {
  // A plain window does not remember which child had the keyboard; the
  // form does, as a dialog would.
  if (LOWORD(wparam) == WA_INACTIVE) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) saved_focus_ = focus;
    return;
  }
  if (saved_focus_ != nullptr && IsWindowVisible(saved_focus_)) {
    SetFocus(saved_focus_);
  } else {
    SetFocus(hwnd_);
  }
}

void Form1::LayOut() {
  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    const PixelRect r = ToPixels(kButtons[i], dpi_);
    SetWindowPos(buttons_[i], nullptr, r.left, r.top, r.width, r.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const PixelRect box = ToPixels(kBox, dpi_);
  SetWindowPos(box_, nullptr, TwipsToPixels(box_left_, dpi_),
               TwipsToPixels(box_top_, dpi_), box.width, box.height,
               SWP_NOZORDER | SWP_NOACTIVATE);

  HFONT old_font = font_;
  font_ = CreateMessageFont(dpi_);
  for (HWND control : buttons_) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  }
  SendMessageW(box_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  DeleteFont(old_font);

  TEXTMETRICW metrics{};
  HDC dc = GetDC(hwnd_);
  HGDIOBJ previous = SelectObject(dc, font_);
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, previous);
  ReleaseDC(hwnd_, dc);
  line_spacing_ = std::max(1, static_cast<int>(metrics.tmHeight +
                                               metrics.tmExternalLeading));
  lines_.SetMaxRows(PrintedLines::VisibleRows(
      TwipsToPixels(kClientHeight, dpi_), line_spacing_));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Form1::ResizeToClientArea(int left, int top) {
  const SIZE frame = FrameSize(dpi_);
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  if (left == CW_USEDEFAULT) flags |= SWP_NOMOVE;
  SetWindowPos(hwnd_, nullptr, left, top, frame.cx, frame.cy, flags);
}

void Form1::OnDpiChanged(int dpi, const RECT& suggested) {
  dpi_ = dpi > 0 ? dpi : kBaseDpi;
  LayOut();
  ResizeToClientArea(suggested.left, suggested.top);
}

HBRUSH Form1::OnControlColor(HDC dc, HWND control) {
  if (control != box_) {
    return reinterpret_cast<HBRUSH>(
        DefWindowProcW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(control)));
  }
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, ToColorRef(box_color_));
  return box_brush_;
}

void Form1::PrintLine(const std::string& text) {
  const std::optional<int> row = lines_.Add(text);
  if (!row) return;
  const RECT band = LineBand(*row);
  InvalidateRect(hwnd_, &band, TRUE);
  accessibility_->AnnounceLine(*row);
}

RECT Form1::LineBand(int row) const {
  return {0, row * line_spacing_, TwipsToPixels(kClientWidth, dpi_),
          (row + 1) * line_spacing_};
}

LRESULT CALLBACK Form1::BoxProc(HWND box, UINT message, WPARAM wparam,
                                LPARAM lparam, UINT_PTR /*id*/, DWORD_PTR data) {
  auto* form = reinterpret_cast<Form1*>(data);
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(box, &Form1::BoxProc, kBoxSubclassId);
  } else if (message == WM_GETOBJECT && form->accessibility_ != nullptr) {
    const LRESULT object = form->accessibility_->BoxObject(
        box, wparam, lparam, [form] { return form->BoxWords(); });
    if (object > 0) return object;
  }
  return DefSubclassProc(box, message, wparam, lparam);
}

std::wstring Form1::BoxWords() const {
  // The caption as BOX holds it: digits and spaces.
  wchar_t caption[32] = {};
  const int length = GetWindowTextW(box_, caption, 32);
  std::string narrow;
  for (int i = 0; i < length; ++i) narrow += static_cast<char>(caption[i] & 0x7F);
  return Widen(BoxDescription(box_color_, narrow));
}

void Form1::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(hwnd_, &paint);
  const std::vector<std::string>& lines = lines_.Lines();
  if (!lines.empty()) {
    HGDIOBJ previous = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    const int first = std::max(0, static_cast<int>(paint.rcPaint.top) / line_spacing_);
    const int last = std::min(static_cast<int>(lines.size()) - 1,
                              static_cast<int>(paint.rcPaint.bottom) / line_spacing_);
    for (int row = first; row <= last; ++row) {
      const std::wstring text = Widen(lines[static_cast<std::size_t>(row)]);
      TextOutW(dc, 0, row * line_spacing_, text.c_str(),
               static_cast<int>(text.size()));
    }
    SelectObject(dc, previous);
  }
  EndPaint(hwnd_, &paint);
}

void Form1::SetBoxColor(ColorWord color) {
  if (box_brush_ != nullptr && color == box_color_) return;
  ReleaseBoxBrush();
  const ResolvedColor resolved = Resolve(color);
  box_brush_ = resolved.is_system ? GetSysColorBrush(resolved.index)
                                  : CreateSolidBrush(ToColorRef(color));
  box_color_ = color;
  InvalidateRect(box_, nullptr, TRUE);
}

void Form1::ReleaseBoxBrush() {
  // A system colour's brush is shared and never deleted.
  if (box_brush_ != nullptr && !IsSystemColor(box_color_)) {
    DeleteObject(box_brush_);
  }
  box_brush_ = nullptr;
}

void Form1::SetBoxCaption(const std::string& text) {
  SetWindowTextW(box_, Widen(text).c_str());
}

void Form1::SetBoxLeft(int twips) {
  box_left_ = twips;
  MoveBox();
}

void Form1::SetBoxTop(int twips) {
  box_top_ = twips;
  MoveBox();
}

void Form1::MoveBox() {
  SetWindowPos(box_, nullptr, TwipsToPixels(box_left_, dpi_),
               TwipsToPixels(box_top_, dpi_), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form1::HideButton(Button button) {
  const std::size_t index = ButtonIndex(button);
  if (index >= buttons_.size()) return;
  ShowWindow(buttons_[index], SW_HIDE);
  // A hidden button that kept the keyboard would still answer Space: the
  // form takes it as soon as a button goes.
  SetFocus(hwnd_);
  saved_focus_ = hwnd_;
}

int RunGame(HINSTANCE instance, int show) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  std::unique_ptr<Form1> form = Form1::Create(instance, {});
  if (!form) {
    MessageBoxW(nullptr, L"The game window could not be created.",
                L"ZAPWIT", MB_ICONERROR | MB_OK);
    return 1;
  }
  ShowWindow(form->Handle(), show);
  UpdateWindow(form->Handle());

  return RunMessageLoop(*form);
}

int RunMessageLoop(Form1& form, const LoopHooks& hooks) {
  const auto stopped = [&hooks] {
    return hooks.keep_going && !hooks.keep_going();
  };
  const auto tick_if_due = [&form] {
    HANDLE timer = form.TickTimer();
    if (timer != nullptr && WaitForSingleObject(timer, 0) == WAIT_OBJECT_0) {
      form.OnTickTimer();
    }
  };
  MSG message{};
  while (!stopped()) {
    HANDLE timer = form.TickTimer();
    const DWORD handles = timer != nullptr ? 1 : 0;
    // MWMO_INPUTAVAILABLE: input already in the queue wakes it too.
    const DWORD woke =
        MsgWaitForMultipleObjectsEx(handles, handles != 0 ? &timer : nullptr,
                                    INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (handles != 0 && woke == WAIT_OBJECT_0) form.OnTickTimer();
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      if (hooks.on_message) hooks.on_message(message);
      // The dialog manager gives Tab and Space on the buttons.
      if (!IsDialogMessageW(form.Handle(), &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      tick_if_due();
      if (stopped()) return -1;
    }
  }
  return -1;
}

}  // namespace zapwit
