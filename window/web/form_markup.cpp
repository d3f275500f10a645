#include "window/web/form_markup.h"

#include <cstddef>
#include <string_view>

#include "display/colors.h"
#include "window/form_layout.h"
#include "window/web/page_rules.h"

namespace zapwit {
namespace {

// Text and attribute values as HTML has them.
std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Px(int pixels) { return std::to_string(pixels) + "px"; }

// One rule: the element `id` placed at `placement`'s rectangle, and
// `extra`. (Built by appending: GCC 12 warns falsely on a literal added to
// a temporary string.)
std::string PlaceRule(std::string_view id, const Placement& placement,
                      std::string_view extra = {}) {
  const PixelRect r = ToPixels(placement);
  std::string rule = "#";
  rule += id;
  rule += " { left: ";
  rule += Px(r.left);
  rule += "; top: ";
  rule += Px(r.top);
  rule += "; width: ";
  rule += Px(r.width);
  rule += "; height: ";
  rule += Px(r.height);
  rule += ";";
  rule += extra;
  rule += " }\n";
  return rule;
}

}  // namespace

std::string FormMarkup() {
  // The lines lie on the surface, behind the controls. They are a log: a
  // screen reader hears each new line, the score among them.
  std::string html = "<div class=\"lines\" role=\"log\" aria-live=\"polite\"></div>\n";
  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    html += R"(<button type="button" class="start" id=")";
    html += Escaped(kButtons[i].name);
    html += R"(" data-button=")";
    html += std::to_string(i);
    // The first in tab order has the keyboard from the start.
    html += i == 0 ? R"(" autofocus>)" : R"(">)";
    html += Escaped(kButtons[i].caption);
    html += "</button>\n";
  }
  // Named as on the desktops. Its colour and caption are not put into
  // words here: that would be writing to the page on the go tick.
  html += R"(<div class="box" id=")";
  html += Escaped(kBox.name);
  html += R"(" role="figure" aria-label=")";
  html += Escaped(kBox.name);
  html += R"(">)";
  html += Escaped(kBox.caption);
  html += "</div>\n";
  return html;
}

std::string FormPlaces() {
  std::string css = "#form { width: ";
  css += Px(TwipsToPixels(kClientWidth));
  css += "; height: ";
  css += Px(TwipsToPixels(kClientHeight));
  css += "; }\n";
  for (const Placement& button : kButtons) css += PlaceRule(button.name, button);
  std::string red = " background-color: ";
  red += CssColor(kRed);
  red += ";";
  css += PlaceRule(kBox.name, kBox, red);
  return css;
}

}  // namespace zapwit
