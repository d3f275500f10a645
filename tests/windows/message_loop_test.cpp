#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>

#include "window/win32/form1.h"

namespace zapwit {
namespace {

// A tick must never wait behind a queue of messages, nor a message behind
// ticks: WM_TIMER is generated only when the queue is empty, so a window
// that posts itself a message for every one it handles starves a window
// timer. The game's loop looks at TIME's waitable timer between messages,
// so the ticks keep their pace through such a flood, and the flood is
// handled all the while.
TEST(MessageLoop, TicksKeepComingThroughAFloodOfMessages) {
  auto form = Form1::Create(GetModuleHandleW(nullptr), {});
  ASSERT_NE(form, nullptr);
  ASSERT_NE(form->TickTimer(), nullptr) << "no high-resolution timer here";
  int ticks = 0;
  form->SetTimerProbe([&ticks](auto, auto, bool ticked) { ticks += ticked; });
  long flood = 0;
  PostMessageW(form->Handle(), WM_APP, 0, 0);
  // 32 ticks take half a second at 64 a second; a starved timer gives none
  // before the bound, which a loaded machine stays far inside.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  RunMessageLoop(*form,
                 {[&] {
                    return ticks < 32 && std::chrono::steady_clock::now() < give_up;
                  },
                  [&](const MSG& message) {
                    if (message.message != WM_APP) return;
                    ++flood;
                    PostMessageW(message.hwnd, WM_APP, 0, 0);
                  }});
  // The loop stops at the first look after the 32nd tick, which may come
  // one tick later. How many messages Wine passes in that time depends on
  // the machine's load (331 on a loaded one), but a loop that let ticks
  // starve input would handle hardly one between two ticks.
  EXPECT_GE(ticks, 32);
  EXPECT_GT(flood, 2 * ticks) << "the flood was not handled between ticks";
}

}  // namespace
}  // namespace zapwit
