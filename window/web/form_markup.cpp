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

// One rule: `selector` placed at `placement`'s rectangle, and `extra`.
std::string PlaceRule(const std::string& selector, const Placement& placement,
                      const std::string& extra = {}) {
  const PixelRect r = ToPixels(placement);
  return selector + " { left: " + Px(r.left) + "; top: " + Px(r.top) + "; width: " + Px(r.width) +
         "; height: " + Px(r.height) + ";" + extra + " }\n";
}

}  // namespace

std::string FormMarkup() {
  // The lines lie on the surface, behind the controls. They are a log: a
  // screen reader hears each new line, the score among them.
  std::string html = "<div class=\"lines\" role=\"log\" aria-live=\"polite\"></div>\n";
  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    html += R"(<button type="button" class="start" id=")" + Escaped(kButtons[i].name) +
            R"(" data-button=")" + std::to_string(i) +
            // The first in tab order has the keyboard from the start.
            (i == 0 ? R"(" autofocus>)" : R"(">)") + Escaped(kButtons[i].caption) + "</button>\n";
  }
  // Named as on the desktops. Its colour and caption are not put into
  // words here: that would be writing to the page on the go tick.
  html += R"(<div class="box" id=")" + Escaped(kBox.name) + R"(" role="figure" aria-label=")" +
          Escaped(kBox.name) + R"(">)" + Escaped(kBox.caption) + "</div>\n";
  return html;
}

std::string FormPlaces() {
  std::string css = "#form { width: " + Px(TwipsToPixels(kClientWidth)) +
                    "; height: " + Px(TwipsToPixels(kClientHeight)) + "; }\n";
  for (const Placement& button : kButtons) css += PlaceRule("#" + std::string(button.name), button);
  css +=
      PlaceRule("#" + std::string(kBox.name), kBox, " background-color: " + CssColor(kRed) + ";");
  return css;
}

}  // namespace zapwit
