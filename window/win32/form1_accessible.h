#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace zapwit {

// What Microsoft Active Accessibility (and UI Automation through its MSAA
// bridge) finds in the window beyond the system's own objects: the client
// area's children are the four buttons and BOX, as Windows gives them,
// then one static text per printed line, in order; BOX is named "BOX" and
// described by its colour and caption. oleacc.dll and oleaut32.dll are
// loaded the first time an assistive technology asks, never before, so a
// game with none loads nothing more.

// What the client area's object reads from the form, when asked.
struct ClientText {
  std::function<const std::vector<std::string>&()> lines;
  std::function<RECT(int row)> line_rect;  // in client pixels
};

// Answers WM_GETOBJECT for the form's client area (`object_id` OBJID_CLIENT)
// and for BOX, whose description comes from `box_description`. One per
// form; Disconnect() once the window is gone.
class FormAccessibility {
 public:
  FormAccessibility(HWND form, ClientText text);
  ~FormAccessibility();
  FormAccessibility(const FormAccessibility&) = delete;
  FormAccessibility& operator=(const FormAccessibility&) = delete;

  // The answer to WM_GETOBJECT sent to the form; 0 for what Windows
  // itself answers.
  LRESULT FormObject(WPARAM wparam, LPARAM lparam);
  // The same for BOX, `box` being its window.
  LRESULT BoxObject(HWND box, WPARAM wparam, LPARAM lparam,
                    std::function<std::wstring()> description);

  // Tells assistive technology that line `row` has just been printed: the
  // WinEvent a screen reader presents (EVENT_SYSTEM_ALERT), on the line's
  // object. Costs a check when no assistive technology listens.
  void AnnounceLine(int row);

  // The window is gone: the objects handed out answer nothing more.
  void Disconnect();

 private:
  class Client;
  class Box;
  bool Load();

  HWND form_;
  ClientText text_;
  Client* client_ = nullptr;  // one reference ours
  Box* box_ = nullptr;        // one reference ours
  bool com_initialized_ = false;
};

}  // namespace zapwit
