// The window as a screen reader finds it through Microsoft Active
// Accessibility: AccessibleObjectFromWindow, AccessibleChildren and the
// WinEvent a screen reader presents when a line is printed. Under Wine,
// oleacc answers some calls as Windows does and not others; a check whose
// call Wine cannot answer is skipped, naming the call and its result, and
// CTest reports the test skipped, never passed.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "window/form_layout.h"
#include "window/win32/form1.h"

namespace zapwit {
namespace {

constexpr const char* kPrompt = "Press any key when counter reaches 100.";

std::string Narrow(const wchar_t* text) {
  std::string narrow;
  for (; text != nullptr && *text != 0; ++text) narrow += static_cast<char>(*text);
  return narrow;
}

std::string Hex(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(result));
  return text;
}

VARIANT Child(LONG id) {
  VARIANT child;
  VariantInit(&child);
  child.vt = VT_I4;
  child.lVal = id;
  return child;
}

// An accessible object and one of its children (CHILDID_SELF for itself),
// read as a screen reader reads them.
struct Element {
  IAccessible* object = nullptr;
  LONG id = CHILDID_SELF;

  std::string Name() const { return Text(&IAccessible::get_accName); }
  std::string Description() const { return Text(&IAccessible::get_accDescription); }
  LONG Role() const {
    VARIANT role;
    VariantInit(&role);
    if (FAILED(object->get_accRole(Child(id), &role)) || role.vt != VT_I4) return -1;
    return role.lVal;
  }

 private:
  std::string Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) const {
    BSTR text = nullptr;
    if (FAILED((object->*get)(Child(id), &text)) || text == nullptr) return {};
    std::string narrow = Narrow(text);
    SysFreeString(text);
    return narrow;
  }
};

class Msaa : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    form_ = Form1::Create(GetModuleHandleW(nullptr),
                          {[] { return 36000.0F; }, [] { return 0.5F; }});
    ASSERT_NE(form_, nullptr);
  }
  void TearDown() override {
    for (IAccessible* object : held_) object->Release();
    form_.reset();
    CoUninitialize();
  }

  // The object of `window`'s `object_id`; skips the test, naming the
  // call, if this oleacc has none.
  IAccessible* ObjectOf(HWND window, LONG object_id) {
    IAccessible* object = nullptr;
    const HRESULT result = AccessibleObjectFromWindow(
        window, static_cast<DWORD>(object_id), __uuidof(IAccessible),
        reinterpret_cast<void**>(&object));
    if (FAILED(result) || object == nullptr) {
      ADD_FAILURE() << "AccessibleObjectFromWindow(" << object_id << "): " << Hex(result);
      return nullptr;
    }
    held_.push_back(object);
    return object;
  }

  // The client area's children, in order: the windows' objects, then the
  // lines as elements of the client area.
  std::vector<Element> Children(IAccessible* client, HRESULT* result) {
    LONG count = 0;
    *result = client->get_accChildCount(&count);
    if (FAILED(*result)) return {};
    std::vector<VARIANT> found(static_cast<std::size_t>(count));
    LONG got = 0;
    *result = AccessibleChildren(client, 0, count, found.data(), &got);
    std::vector<Element> children;
    if (FAILED(*result)) return {};
    for (LONG i = 0; i < got; ++i) {
      VARIANT& child = found[static_cast<std::size_t>(i)];
      if (child.vt == VT_DISPATCH && child.pdispVal != nullptr) {
        IAccessible* object = nullptr;
        child.pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&object));
        child.pdispVal->Release();
        if (object != nullptr) {
          held_.push_back(object);
          children.push_back({object, CHILDID_SELF});
        }
      } else if (child.vt == VT_I4) {
        children.push_back({client, child.lVal});
      }
    }
    return children;
  }

  std::unique_ptr<Form1> form_;
  std::vector<IAccessible*> held_;
};

// The buttons: each named by its caption, in tab order as the client
// area's first children, as push buttons.
TEST_F(Msaa, ShowsTheButtonsInTabOrder) {
  // The button windows in tab order, which is their order among the form's
  // children; each one's own object, as a screen reader gets it when the
  // button has the focus.
  std::vector<HWND> windows;
  std::vector<LONG> roles;
  for (HWND window = FindWindowExW(form_->Handle(), nullptr, L"Button", nullptr);
       window != nullptr; window = FindWindowExW(form_->Handle(), window, L"Button", nullptr)) {
    windows.push_back(window);
  }
  ASSERT_EQ(windows.size(), kButtons.size());
  for (std::size_t i = 0; i < windows.size(); ++i) {
    IAccessible* button = ObjectOf(windows[i], OBJID_CLIENT);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(Element{button}.Name(), kButtons[i].caption) << "button " << i;
    roles.push_back(Element{button}.Role());
  }
  // What this oleacc cannot answer, each with its call and result.
  std::string unanswered;
  for (std::size_t i = 0; i < roles.size(); ++i) {
    if (roles[i] != ROLE_SYSTEM_PUSHBUTTON) {
      unanswered += "\n  get_accRole of button " + std::to_string(i) + "'s client object gave " +
                    std::to_string(roles[i]) + ", not ROLE_SYSTEM_PUSHBUTTON (43): no proxy for push buttons";
      break;
    }
  }
  // The same buttons, reached from the client area as a screen reader
  // walks it.
  IAccessible* client = ObjectOf(form_->Handle(), OBJID_CLIENT);
  ASSERT_NE(client, nullptr);
  HRESULT result = S_OK;
  const std::vector<Element> children = Children(client, &result);
  ASSERT_TRUE(SUCCEEDED(result)) << "AccessibleChildren: " << Hex(result);
  ASSERT_GE(children.size(), 5U);
  for (std::size_t i = 0; i < windows.size(); ++i) {
    HWND window = nullptr;
    const HRESULT found = WindowFromAccessibleObject(children[i].object, &window);
    if (FAILED(found) || window != windows[i]) {
      unanswered += "\n  WindowFromAccessibleObject on the client area's child " + std::to_string(i) +
                    " gave " + (window == form_->Handle() ? "the form" : "another window") + " (" +
                    Hex(found) + "), not the button: its client object does not hand out its "
                    "child windows' objects";
      break;
    }
  }
  if (!unanswered.empty()) {
    GTEST_SKIP() << "the buttons' names were checked; this oleacc cannot answer:" << unanswered;
  }
}

// BOX named "BOX", described by its colour as a word and its caption,
// whatever its caption.
TEST_F(Msaa, NamesBoxWithItsColourAndCaption) {
  HWND box = FindWindowExW(form_->Handle(), nullptr, L"Static", nullptr);
  ASSERT_NE(box, nullptr);
  IAccessible* box_object = ObjectOf(box, OBJID_CLIENT);
  ASSERT_NE(box_object, nullptr);
  EXPECT_EQ(Element{box_object}.Name(), "BOX");
  EXPECT_EQ(Element{box_object}.Description(), "red");
  // COUNTER: the form's colour, and the count.
  form_->COUNTER_Click();
  for (int tick = 0; tick < 10; ++tick) form_->TIME_Timer();
  const std::string counting = Element{box_object}.Description();
  EXPECT_EQ(counting.rfind("none, ", 0), 0U) << counting;
  EXPECT_GT(counting.size(), 6U) << counting;
  EXPECT_EQ(Element{box_object}.Name(), "BOX") << "BOX is named by its caption";
}

// After a score, the prompt and the score line as the client area's last
// children, static text, in order.
TEST_F(Msaa, ShowsThePrintedLinesAsText) {
  form_->COUNTER_Click();
  for (int tick = 0; tick < 40; ++tick) form_->TIME_Timer();
  form_->Form_KeyPress('a');
  const std::vector<std::string>& lines = form_->Lines().Lines();
  ASSERT_GE(lines.size(), 2U);
  IAccessible* client = ObjectOf(form_->Handle(), OBJID_CLIENT);
  ASSERT_NE(client, nullptr);
  HRESULT result = S_OK;
  const std::vector<Element> children = Children(client, &result);
  if (FAILED(result)) GTEST_SKIP() << "AccessibleChildren: " << Hex(result);
  ASSERT_EQ(children.size(), 5 + lines.size());
  for (std::size_t row = 0; row < lines.size(); ++row) {
    const Element& line = children[5 + row];
    EXPECT_EQ(line.Name(), lines[row]) << "row " << row;
    EXPECT_EQ(line.Role(), ROLE_SYSTEM_STATICTEXT) << "row " << row;
  }
  EXPECT_EQ(children[5].Name(), kPrompt);
}

// One EVENT_SYSTEM_ALERT for each printed line, on the line's object, and
// none for the ticks between them.
std::vector<std::string>* g_alerts = nullptr;

void CALLBACK OnAlert(HWINEVENTHOOK, DWORD event, HWND window, LONG object_id,
                      LONG child_id, DWORD, DWORD) {
  if (event != EVENT_SYSTEM_ALERT || g_alerts == nullptr) return;
  IAccessible* object = nullptr;
  VARIANT child;
  VariantInit(&child);
  if (FAILED(AccessibleObjectFromEvent(window, static_cast<DWORD>(object_id),
                                       static_cast<DWORD>(child_id), &object, &child)) ||
      object == nullptr) {
    g_alerts->push_back("(no object)");
    return;
  }
  g_alerts->push_back(Element{object, child.vt == VT_I4 ? child.lVal : CHILDID_SELF}.Name());
  object->Release();
}

// Hands out what the hook has been sent until `count` alerts have come,
// or the queue is empty at the end of `patience`.
void PumpUntil(std::size_t count, std::chrono::seconds patience) {
  const auto end = std::chrono::steady_clock::now() + patience;
  MSG message;
  while (g_alerts->size() < count && std::chrono::steady_clock::now() < end) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    if (g_alerts->size() >= count) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

TEST_F(Msaa, AnnouncesEachLineOnceAndNoTick) {
  std::vector<std::string> alerts;
  g_alerts = &alerts;
  HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr,
                                       &OnAlert, GetCurrentProcessId(), 0,
                                       WINEVENT_OUTOFCONTEXT);
  if (hook == nullptr) {
    g_alerts = nullptr;
    GTEST_SKIP() << "SetWinEventHook(EVENT_SYSTEM_ALERT, WINEVENT_OUTOFCONTEXT) gave no hook";
  }
  // Whether an alert reaches the hook here at all: one of the test's own.
  NotifyWinEvent(EVENT_SYSTEM_ALERT, form_->Handle(), OBJID_CLIENT, CHILDID_SELF);
  PumpUntil(1, std::chrono::seconds(30));
  if (alerts.empty()) {
    UnhookWinEvent(hook);
    g_alerts = nullptr;
    GTEST_SKIP() << "NotifyWinEvent(EVENT_SYSTEM_ALERT) reached no out-of-context hook here";
  }
  alerts.clear();
  form_->COUNTER_Click();
  PumpUntil(1, std::chrono::seconds(30));
  for (int tick = 0; tick < 40; ++tick) form_->TIME_Timer();
  form_->Form_KeyPress('a');
  const std::vector<std::string>& lines = form_->Lines().Lines();
  PumpUntil(lines.size(), std::chrono::seconds(30));
  UnhookWinEvent(hook);
  g_alerts = nullptr;
  EXPECT_EQ(alerts, lines);
}

}  // namespace
}  // namespace zapwit
