// The browser build's entry: one Form1 for the page's life, and the page's
// listeners, which hand its events to it.
#include <emscripten.h>
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <memory>
#include <string>

#include "window/web/form1.h"

namespace {

// The page's one window, made once the page has loaded the game. Never
// destroyed: the page ends with it.
zapwit::Form1* form = nullptr;

void OnClick(int index) { form->Click(index); }

bool OnKey(const std::string& key, bool ctrl, bool alt, bool meta, bool alt_graph,
           bool on_button, double time_stamp) {
  return form->Key({key, ctrl, alt, meta, alt_graph}, on_button, time_stamp);
}

void OnTap(double time_stamp) { form->Tap(time_stamp); }
void OnFrame() { form->Frame(); }
void OnVisibility(bool hidden) { form->Visibility(hidden); }
void OnResize() { form->Fit(); }

}  // namespace

EMSCRIPTEN_BINDINGS(zapwit) {
  emscripten::function("zapwitClick", &OnClick);
  emscripten::function("zapwitKey", &OnKey);
  emscripten::function("zapwitTap", &OnTap);
  emscripten::function("zapwitFrame", &OnFrame);
  emscripten::function("zapwitVisibility", &OnVisibility);
  emscripten::function("zapwitResize", &OnResize);
}

// The listeners, in the few lines that read better as JavaScript. Each
// event's timeStamp is the moment the browser received it, on the clock
// performance.now() reads.
// clang-format off
EM_JS(void, Listen, (), {
  const area = document.getElementById("form");
  area.addEventListener("click", (event) => {
    const button = event.target.closest("button");
    if (button) Module.zapwitClick(Number(button.dataset.button));
  });
  // A press on the surface leaves the focus where it was, as the desktop
  // window's surface takes none: the buttons stay within Tab's reach.
  area.addEventListener("mousedown", (event) => {
    if (!event.target.closest("button")) event.preventDefault();
  });
  document.addEventListener("keydown", (event) => {
    const onButton = event.target instanceof HTMLButtonElement;
    if (Module.zapwitKey(event.key, event.ctrlKey, event.altKey, event.metaKey,
                         event.getModifierState("AltGraph"), onButton, event.timeStamp)) {
      event.preventDefault();
    }
  });
  document.addEventListener("pointerdown", (event) => {
    if (event.pointerType !== "touch" && event.pointerType !== "pen") return;
    if (event.target.closest("button")) return;
    event.preventDefault();
    Module.zapwitTap(event.timeStamp);
  });
  document.addEventListener("visibilitychange", () => Module.zapwitVisibility(document.hidden));
  window.addEventListener("resize", () => Module.zapwitResize());
  const frame = () => {
    Module.zapwitFrame();
    requestAnimationFrame(frame);
  };
  requestAnimationFrame(frame);
  document.documentElement.dataset.zapwit = "loaded";
});
// clang-format on

int main() {
  static zapwit::Form1 page_form(emscripten::val::global("document").call<emscripten::val>(
      "getElementById", std::string("form")));
  form = &page_form;
  // The build's version, for telling which build a page runs.
  emscripten::val::global("document")["documentElement"]["dataset"].set(
      "version", std::string(ZAPWIT_WEB_VERSION));
  form->Visibility(emscripten::val::global("document")["hidden"].as<bool>());
  form->Fit();
  Listen();
  return 0;
}
