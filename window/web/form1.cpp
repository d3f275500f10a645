#include "window/web/form1.h"

#include <emscripten.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "display/colors.h"
#include "engine/clock.h"
#include "window/form_layout.h"
#include "window/web/form_markup.h"

namespace zapwit {
namespace {

using emscripten::val;

std::string Px(int pixels) { return std::to_string(pixels) + "px"; }

val Document() { return val::global("document"); }

val NewElement(const char* tag, const char* class_name) {
  val element = Document().call<val>("createElement", std::string(tag));
  element.set("className", std::string(class_name));
  return element;
}

// The page's form, `area`, with its controls. The page's HTML holds them,
// placed by its CSS, so that the window is on the screen before the game
// has arrived; a page that lost them (a host that rewrote the HTML) is
// given them again.
val WithControls(val area) {
  if (area.call<val>("querySelector", "#" + std::string(kBox.name)).isNull()) {
    area.call<void>("insertAdjacentHTML", std::string("beforeend"), FormMarkup());
  }
  return area;
}

// The control `name` of the form.
val Control(const val& area, const char* name) {
  return area.call<val>("querySelector", "#" + std::string(name));
}

}  // namespace

Form1::Form1(val client_area)
    : client_area_(WithControls(std::move(client_area))),
      lines_element_(client_area_.call<val>("querySelector", std::string(".lines"))),
      box_(Control(client_area_, kBox.name)),
      box_style_(box_["style"]),
      background_color_("backgroundColor"),
      left_("left"),
      top_("top"),
      text_content_("textContent"),
      engine_(loop_, [this] { return loop_.Clock(); }, [this] { return rng_.Next(); }),
      loop_(engine_, *this, TimeOfDay(), emscripten_get_now(), [] { return emscripten_get_now(); }) {
  for (const Placement& placement : kButtons) {
    buttons_.push_back(Control(client_area_, placement.name));
  }
  for (const ColorWord color : kBoxColors) css_colors_.emplace_back(color, val(CssColor(color)));
  // BOX as the engine starts it, as the page's CSS has it too, the same
  // way a tick changes it.
  SetBoxColor(kRed);
  Form_Load();
}

void Form1::Form_Load() {
  rng_.Seed(loop_.Clock());
  buttons_.front().call<void>("focus");
  loop_.Restart(emscripten_get_now());
}

void Form1::LIGHT_Click() { loop_.Start(TestMode::Light); }
void Form1::JUMP_Click() { loop_.Start(TestMode::Jump); }
void Form1::NUMBER_Click() { loop_.Start(TestMode::Number); }
void Form1::COUNTER_Click() { loop_.Start(TestMode::Counter); }

void Form1::TIME_Timer() { loop_.Tick(emscripten_get_now()); }

void Form1::Form_KeyPress(std::int16_t key, double time_stamp) {
  const double handled = emscripten_get_now();
  if (const std::optional<double> go_time = loop_.Key(key, time_stamp, handled)) {
    LogTimes(*go_time, time_stamp, handled);
  }
}

void Form1::Click(int index) {
  using Handler = void (Form1::*)();
  constexpr std::array<Handler, 4> kClicks = {&Form1::LIGHT_Click, &Form1::JUMP_Click,
                                              &Form1::NUMBER_Click, &Form1::COUNTER_Click};
  if (index < 0 || index >= static_cast<int>(kClicks.size())) return;
  // A hidden button takes no click; the page cannot send one, but a stale
  // event must not start a second test either.
  if (buttons_[static_cast<std::size_t>(index)]["hidden"].as<bool>()) return;
  (this->*kClicks[static_cast<std::size_t>(index)])();
}

bool Form1::Key(const PageKey& key, bool on_button, double time_stamp) {
  if (BrowsersKey(key, engine_.State().Mode != TestMode::Idle, on_button)) return false;
  const std::optional<std::int16_t> code = KeyCode(key);
  if (!code) return false;
  Form_KeyPress(*code, time_stamp);
  return true;
}

void Form1::Tap(double time_stamp) { Form_KeyPress(' ', time_stamp); }

void Form1::LogTimes(double go_time, double key_time, double handled) {
  std::array<char, 160> text{};
  std::snprintf(text.data(), text.size(),
                "ZAPWIT page times (ms): go signal %.3f, key %.3f, key handler %.3f", go_time,
                key_time, handled);
  val::global("console").call<void>("info", std::string(text.data()));
}

void Form1::Frame() {
  if (hidden_) return;
  for (int due = loop_.Due(emscripten_get_now()); due > 0; --due) TIME_Timer();
}

void Form1::Visibility(bool hidden) {
  if (hidden_ && !hidden) loop_.Restart(emscripten_get_now());
  hidden_ = hidden;
}

void Form1::Fit() {
  const val window = val::global("window");
  const double scale =
      FitScale(window["innerWidth"].as<double>(), window["innerHeight"].as<double>(),
               TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));
  client_area_["style"].set("transform",
                            scale < 1.0 ? "scale(" + std::to_string(scale) + ")" : std::string());
}

int Form1::LineHeight() {
  if (line_height_ == 0) {
    // Read from a line laid out in the form's font, as the desktop takes it
    // from the font's metrics. Not at load: reading it lays the page out
    // there and then, and the first frame shows no line.
    val probe = NewElement("div", "line");
    probe.set("textContent", std::string("ZAPWIT"));
    lines_element_.call<void>("appendChild", probe);
    line_height_ = std::max(1, static_cast<int>(std::ceil(probe["offsetHeight"].as<double>())));
    probe.call<void>("remove");
    lines_.SetMaxRows(PrintedLines::VisibleRows(TwipsToPixels(kClientHeight), line_height_));
  }
  return line_height_;
}

void Form1::PrintLine(const std::string& text) {
  const int line_height = LineHeight();
  const std::optional<int> row = lines_.Add(text);
  if (!row) return;
  val line = NewElement("div", "line");
  line.set("textContent", text);
  line["style"].set("top", Px(*row * line_height));
  lines_element_.call<void>("appendChild", line);
}

void Form1::SetBoxColor(ColorWord color) {
  const auto made = std::find_if(css_colors_.begin(), css_colors_.end(),
                                 [color](const auto& css) { return css.first == color; });
  if (made != css_colors_.end()) {
    box_style_.set(background_color_, made->second);
  } else {
    box_style_.set(background_color_, CssColor(color));
  }
}

void Form1::SetBoxCaption(const std::string& text) { box_.set(text_content_, text); }

void Form1::SetBoxLeft(int twips) { box_style_.set(left_, Px(TwipsToPixels(twips))); }

void Form1::SetBoxTop(int twips) { box_style_.set(top_, Px(TwipsToPixels(twips))); }

void Form1::HideButton(Button button) {
  const std::size_t index = ButtonIndex(button);
  if (index >= buttons_.size()) return;
  // A hidden element takes neither clicks nor the keyboard; the focus it
  // had goes to the page, which then has every key. (A key the browser
  // still sends to the hidden button is the test's all the same.)
  buttons_[index].set("hidden", true);
}

}  // namespace zapwit
