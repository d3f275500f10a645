#include "window/web/page_rules.h"

#include <algorithm>
#include <array>
#include <utility>

#include "window/color_rule.h"

namespace zapwit {
namespace {

// The keys that type no character but count, with the character code the
// desktop gives them.
constexpr std::array<std::pair<std::string_view, std::int16_t>, 4> kNamedKeys = {{
    {"Enter", 13},
    {"Backspace", 8},
    {"Escape", 27},
    {"Tab", 9},
}};

// The one code point `text` holds, if it holds exactly one (in UTF-8).
std::optional<char32_t> OneCodePoint(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 0x6 ? 2 : lead >> 4 == 0xE ? 3
                             : lead >> 3 == 0x1E                 ? 4
                                                                 : 0;
  if (length == 0 || text.size() != length) return std::nullopt;
  char32_t code = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[i]);
    if (next >> 6 != 0x2) return std::nullopt;
    code = (code << 6) | (next & 0x3F);
  }
  return code;
}

}  // namespace

std::optional<std::int16_t> KeyCode(const PageKey& key) {
  const std::optional<char32_t> character = OneCodePoint(key.key);
  if (character && *character >= 0x20 && *character != 0x7F) {
    if ((key.ctrl || key.alt || key.meta) && !key.alt_graph) return std::nullopt;
    // The code is passed on and never looked at; a character beyond 16
    // bits keeps its low ones.
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(*character & 0xFFFF));
  }
  if (key.ctrl || key.alt || key.meta) return std::nullopt;
  for (const auto& [name, code] : kNamedKeys) {
    if (key.key == name) return code;
  }
  return std::nullopt;
}

bool BrowsersKey(const PageKey& key, bool test_running, bool on_button) {
  if (test_running) return false;
  return key.key == "Tab" || (on_button && (key.key == " " || key.key == "Enter"));
}

std::string CssColor(ColorWord word) {
  const ResolvedColor color = Resolve(word);
  if (color.is_system) return "ButtonFace";
  return "rgb(" + std::to_string(color.red) + ", " + std::to_string(color.green) + ", " +
         std::to_string(color.blue) + ")";
}

double FitScale(double viewport_width, double viewport_height, int width, int height) {
  if (!(viewport_width > 0) || !(viewport_height > 0) || width <= 0 || height <= 0) {
    return 1.0;
  }
  return std::min({1.0, viewport_width / width, viewport_height / height});
}

}  // namespace zapwit
