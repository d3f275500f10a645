// Writes the page's form at build time: `form_markup html` prints the
// controls' HTML, `form_markup css` the CSS that places them.
#include <cstdio>
#include <string>
#include <string_view>

#include "window/web/form_markup.h"

int main(int argc, char** argv) {
  const std::string_view part = argc == 2 ? argv[1] : "";
  if (part != "html" && part != "css") {
    std::fputs("usage: form_markup html|css\n", stderr);
    return 2;
  }
  const std::string text = part == "html" ? zapwit::FormMarkup() : zapwit::FormPlaces();
  return std::fputs(text.c_str(), stdout) < 0 ? 1 : 0;
}
