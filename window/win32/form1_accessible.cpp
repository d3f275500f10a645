#include "window/win32/form1_accessible.h"
#include "window/win32/wide_text.h"

#include <oleacc.h>

#include <utility>

namespace zapwit {
namespace {

// The two calls of oleacc.dll and the one of oleaut32.dll this needs,
// looked up the first time an assistive technology asks.
using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID,
                                                     void**);
using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
using SysAllocStringFn = BSTR(WINAPI*)(const OLECHAR*);
using CoInitializeExFn = HRESULT(WINAPI*)(LPVOID, DWORD);
using CoUninitializeFn = void(WINAPI*)();

struct Oleacc {
  CreateStdAccessibleObjectFn create_std = nullptr;
  LresultFromObjectFn lresult_from_object = nullptr;
  SysAllocStringFn sys_alloc_string = nullptr;
  CoInitializeExFn co_initialize = nullptr;
  CoUninitializeFn co_uninitialize = nullptr;
};

// WM_GETOBJECT's object id, compared as the DWORD it is: on 64-bit Windows
// LPARAM's sign extension would spoil a plain comparison.
bool IsClient(LPARAM object) {
  return static_cast<DWORD>(object) == static_cast<DWORD>(OBJID_CLIENT);
}

Oleacc& Calls() {
  static Oleacc calls;
  return calls;
}

template <typename Function>
Function Lookup(const wchar_t* dll, const char* name) {
  HMODULE module = LoadLibraryW(dll);
  FARPROC address = module != nullptr ? GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// A BSTR for `text`, or S_FALSE and no string for an empty one, as MSAA
// has it for a property an object does not have.
HRESULT Text(const std::wstring& text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = Calls().sys_alloc_string(text.c_str());
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// A role or a state, as the VARIANT MSAA hands it back in.
HRESULT Number(LONG value, VARIANT* out) {
  if (out == nullptr) return E_POINTER;
  out->vt = VT_I4;
  out->lVal = value;
  return S_OK;
}

bool IsSelf(const VARIANT& child) {
  return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

}  // namespace

// An IAccessible that passes every call to the system's object for the
// same window, for the subclasses to answer what they know better. Once
// disconnected it answers nothing.
class Delegating : public IAccessible {
 public:
  explicit Delegating(IAccessible* system) : system_(system) {}
  virtual ~Delegating() { Disconnect(); }
  Delegating(const Delegating&) = delete;
  Delegating& operator=(const Delegating&) = delete;

  void Disconnect() {
    if (system_ != nullptr) system_->Release();
    system_ = nullptr;
  }

  // IUnknown. No IEnumVARIANT: a client then asks for the children by
  // index, the lines included.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) ||
        id == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: clients call IAccessible's methods directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                                          DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*,
                                   VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

#define ZAPWIT_PASS(call) \
  return system_ != nullptr ? system_->call : RPC_E_DISCONNECTED
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    ZAPWIT_PASS(get_accParent(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    ZAPWIT_PASS(get_accChildCount(count));
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    ZAPWIT_PASS(get_accChild(child, out));
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    ZAPWIT_PASS(get_accName(child, name));
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    ZAPWIT_PASS(get_accValue(child, value));
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child,
                                               BSTR* description) override {
    ZAPWIT_PASS(get_accDescription(child, description));
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    ZAPWIT_PASS(get_accRole(child, role));
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    ZAPWIT_PASS(get_accState(child, state));
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    ZAPWIT_PASS(get_accHelp(child, help));
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child,
                                             LONG* topic) override {
    ZAPWIT_PASS(get_accHelpTopic(file, child, topic));
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child,
                                                    BSTR* shortcut) override {
    ZAPWIT_PASS(get_accKeyboardShortcut(child, shortcut));
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    ZAPWIT_PASS(get_accFocus(focus));
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    ZAPWIT_PASS(get_accSelection(selection));
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child,
                                                 BSTR* action) override {
    ZAPWIT_PASS(get_accDefaultAction(child, action));
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    ZAPWIT_PASS(accSelect(flags, child));
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width,
                                        LONG* height, VARIANT child) override {
    ZAPWIT_PASS(accLocation(left, top, width, height, child));
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start,
                                        VARIANT* end) override {
    ZAPWIT_PASS(accNavigate(direction, start, end));
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top,
                                       VARIANT* child) override {
    ZAPWIT_PASS(accHitTest(left, top, child));
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    ZAPWIT_PASS(accDoDefaultAction(child));
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    ZAPWIT_PASS(put_accName(child, name));
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    ZAPWIT_PASS(put_accValue(child, value));
  }
#undef ZAPWIT_PASS

 protected:
  bool Connected() const { return system_ != nullptr; }
  IAccessible* System() const { return system_; }

 private:
  IAccessible* system_;
  LONG references_ = 1;
};

// The client area: the system's children (the buttons and BOX), then one
// static text per printed line, child ids following theirs.
class FormAccessibility::Client final : public Delegating {
 public:
  Client(IAccessible* system, HWND form, const ClientText* text)
      : Delegating(system), form_(form), text_(text) {
    LONG count = 0;
    if (SUCCEEDED(system->get_accChildCount(&count))) windows_ = count;
  }

  LONG LineId(int row) const { return windows_ + 1 + row; }

  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (count == nullptr) return E_POINTER;
    if (!Connected()) return RPC_E_DISCONNECTED;
    *count = windows_ + static_cast<LONG>(text_->lines().size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (Row(child) < 0) return Delegating::get_accChild(child, out);
    if (out == nullptr) return E_POINTER;
    *out = nullptr;  // a line is an element of this object, not one of its own
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    const int row = Row(child);
    if (row < 0) return Delegating::get_accName(child, name);
    return Text(Widen(text_->lines()[static_cast<std::size_t>(row)]), name);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return Row(child) < 0 ? Delegating::get_accRole(child, role)
                          : Number(ROLE_SYSTEM_STATICTEXT, role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return Row(child) < 0 ? Delegating::get_accState(child, state)
                          : Number(STATE_SYSTEM_READONLY, state);
  }
  // What a line has not: a value, a description, help, a shortcut, an
  // action.
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return Row(child) < 0 ? Delegating::get_accValue(child, value) : Text({}, value);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return Row(child) < 0 ? Delegating::get_accDescription(child, text) : Text({}, text);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return Row(child) < 0 ? Delegating::get_accHelp(child, help) : Text({}, help);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return Row(child) < 0 ? Delegating::get_accKeyboardShortcut(child, keys) : Text({}, keys);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return Row(child) < 0 ? Delegating::get_accDefaultAction(child, action) : Text({}, action);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (Row(child) < 0) return Delegating::accDoDefaultAction(child);
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    if (Row(child) < 0) return Delegating::accSelect(flags, child);
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width,
                                        LONG* height, VARIANT child) override {
    const int row = Row(child);
    if (row < 0) return Delegating::accLocation(left, top, width, height, child);
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
      return E_POINTER;
    }
    RECT rect = text_->line_rect(row);
    MapWindowPoints(form_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    *left = rect.left;
    *top = rect.top;
    *width = rect.right - rect.left;
    *height = rect.bottom - rect.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start,
                                        VARIANT* end) override {
    if (Row(start) < 0) return Delegating::accNavigate(direction, start, end);
    if (end == nullptr) return E_POINTER;
    // From a line to the next or the previous one, within the lines.
    const int row = Row(start);
    const int lines = static_cast<int>(text_->lines().size());
    int to = -1;
    if (direction == NAVDIR_NEXT && row + 1 < lines) to = row + 1;
    if (direction == NAVDIR_PREVIOUS && row > 0) to = row - 1;
    end->vt = VT_EMPTY;
    if (to < 0) return S_FALSE;
    end->vt = VT_I4;
    end->lVal = LineId(to);
    return S_OK;
  }

 private:
  // The row of the line `child` names, or -1 for the client area itself
  // and the system's children.
  int Row(const VARIANT& child) const {
    if (!Connected() || child.vt != VT_I4 || child.lVal <= windows_) return -1;
    const LONG row = child.lVal - windows_ - 1;
    return row < static_cast<LONG>(text_->lines().size()) ? static_cast<int>(row)
                                                          : -1;
  }

  HWND form_;
  const ClientText* text_;
  LONG windows_ = 0;
};

// BOX: the system's static text, named "BOX" and described by its colour
// and caption instead of named by its caption, which changes on every
// tick of COUNTER.
class FormAccessibility::Box final : public Delegating {
 public:
  Box(IAccessible* system, std::function<std::wstring()> description)
      : Delegating(system), description_(std::move(description)) {}

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!IsSelf(child) || !Connected()) return Delegating::get_accName(child, name);
    return Text(L"BOX", name);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child,
                                               BSTR* description) override {
    if (!IsSelf(child) || !Connected()) {
      return Delegating::get_accDescription(child, description);
    }
    return Text(description_(), description);
  }

 private:
  std::function<std::wstring()> description_;
};

FormAccessibility::FormAccessibility(HWND form, ClientText text)
    : form_(form), text_(std::move(text)) {}

FormAccessibility::~FormAccessibility() {
  Disconnect();
  if (com_initialized_) Calls().co_uninitialize();
}

bool FormAccessibility::Load() {
  Oleacc& calls = Calls();
  if (calls.create_std == nullptr) {
    calls.create_std = Lookup<CreateStdAccessibleObjectFn>(
        L"oleacc.dll", "CreateStdAccessibleObject");
    calls.lresult_from_object =
        Lookup<LresultFromObjectFn>(L"oleacc.dll", "LresultFromObject");
    calls.sys_alloc_string =
        Lookup<SysAllocStringFn>(L"oleaut32.dll", "SysAllocString");
    calls.co_initialize = Lookup<CoInitializeExFn>(L"ole32.dll", "CoInitializeEx");
    calls.co_uninitialize = Lookup<CoUninitializeFn>(L"ole32.dll", "CoUninitialize");
  }
  if (calls.create_std == nullptr || calls.lresult_from_object == nullptr ||
      calls.sys_alloc_string == nullptr || calls.co_initialize == nullptr ||
      calls.co_uninitialize == nullptr) {
    return false;
  }
  // The objects are handed to other processes through COM, on this
  // thread's apartment.
  if (!com_initialized_) {
    com_initialized_ = SUCCEEDED(calls.co_initialize(nullptr, COINIT_APARTMENTTHREADED));
  }
  if (client_ == nullptr) {
    IAccessible* system = nullptr;
    if (FAILED(calls.create_std(form_, OBJID_CLIENT, __uuidof(IAccessible),
                                reinterpret_cast<void**>(&system))) ||
        system == nullptr) {
      return false;
    }
    client_ = new Client(system, form_, &text_);
  }
  return true;
}

LRESULT FormAccessibility::FormObject(WPARAM wparam, LPARAM lparam) {
  if (!IsClient(lparam) || !Load()) return 0;
  return Calls().lresult_from_object(__uuidof(IAccessible), wparam,
                                     static_cast<IAccessible*>(client_));
}

LRESULT FormAccessibility::BoxObject(HWND box, WPARAM wparam, LPARAM lparam,
                                     std::function<std::wstring()> description) {
  if (!IsClient(lparam) || !Load()) return 0;
  if (box_ == nullptr) {
    IAccessible* system = nullptr;
    if (FAILED(Calls().create_std(box, OBJID_CLIENT, __uuidof(IAccessible),
                                  reinterpret_cast<void**>(&system))) ||
        system == nullptr) {
      return 0;
    }
    box_ = new Box(system, std::move(description));
  }
  return Calls().lresult_from_object(__uuidof(IAccessible), wparam,
                                     static_cast<IAccessible*>(box_));
}

void FormAccessibility::AnnounceLine(int row) {
  if (!IsWinEventHookInstalled(EVENT_SYSTEM_ALERT) || !Load()) return;
  NotifyWinEvent(EVENT_SYSTEM_ALERT, form_, OBJID_CLIENT, client_->LineId(row));
}

void FormAccessibility::Disconnect() {
  for (Delegating* object : {static_cast<Delegating*>(client_),
                             static_cast<Delegating*>(box_)}) {
    if (object == nullptr) continue;
    object->Disconnect();
    object->Release();
  }
  client_ = nullptr;
  box_ = nullptr;
}

}  // namespace zapwit
