// Checks a picture of the whole screen, taken from a compositor, for the
// game's window: BOX a filled square of its size, and the four buttons
// where the layout puts them beside it (or, once a test has started, gone).
// Prints where BOX is.
//
// BOX is red at load, before any test ("shown"). Once LIGHT runs
// ("hidden") it turns yellow and then green on the game's own ticks, which
// go on while pictures are taken: there BOX is found by its size in any
// colour LIGHT gives it, so no check depends on how far the game has got.
// Usage: box_in_picture PICTURE.png [shown|hidden]
#include <QColor>
#include <QImage>

#include <cstdio>
#include <cstring>
#include <optional>
#include <span>

#include "window/color_rule.h"
#include "window/form_layout.h"

namespace {

// A filled rectangle of exactly `width` by `height`
// pixels of the colour `rgb` (0xRRGGBB), wherever it is: other pixels of
// that colour elsewhere on the screen (the compositor's own icons have
// some) do not hide it.
template <typename At>
std::optional<zapwit::PixelRect> FindSquare(int screen_width, int screen_height, At at,
                                 unsigned long rgb, int width, int height) {
  const auto is = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < screen_width && y < screen_height && at(x, y) == rgb;
  };
  for (int y = 0; y + height <= screen_height; ++y) {
    for (int x = 0; x + width <= screen_width; ++x) {
      if (!is(x, y) || is(x - 1, y) || is(x, y - 1)) continue;
      bool filled = !is(x + width, y) && !is(x, y + height);
      for (int dy = 0; filled && dy < height; ++dy) {
        for (int dx = 0; filled && dx < width; ++dx) filled = is(x + dx, y + dy);
      }
      if (filled) return zapwit::PixelRect{x, y, width, height};
    }
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  const bool buttons_shown = argc < 3 || std::strcmp(argv[2], "hidden") != 0;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PICTURE.png [shown|hidden]\n", argv[0]);
    return 2;
  }
  const QImage picture(QString::fromLocal8Bit(argv[1]));
  if (picture.isNull()) {
    std::fprintf(stderr, "box_in_picture: cannot read %s\n", argv[1]);
    return 2;
  }
  const int dpi = zapwit::kBaseDpi;
  const auto at = [&picture](int x, int y) {
    return static_cast<unsigned long>(picture.pixel(x, y) & 0xFFFFFF);
  };
  const zapwit::PixelRect box = zapwit::ToPixels(zapwit::kBox, dpi);
  struct Shade {
    const char* name;
    zapwit::ColorWord word;
  };
  const Shade shades[] = {{"red", zapwit::kRed},
                          {"yellow", zapwit::kYellow},
                          {"green", zapwit::kGreen}};
  std::optional<zapwit::PixelRect> found;
  for (const Shade& shade : std::span(shades).first(buttons_shown ? 1 : 3)) {
    const zapwit::ResolvedColor c = zapwit::Resolve(shade.word);
    const unsigned long rgb = (static_cast<unsigned long>(c.red) << 16) |
                              (static_cast<unsigned long>(c.green) << 8) | c.blue;
    found = FindSquare(picture.width(), picture.height(), at, rgb, box.width, box.height);
    if (found) {
      std::printf("box_in_picture: BOX %s\n", shade.name);
      break;
    }
  }
  if (!found) {
    std::puts(buttons_shown ? "box_in_picture: no BOX-sized red square"
                            : "box_in_picture: no BOX-sized square of red, yellow or green");
    return 1;
  }
  std::printf("box_in_picture: BOX at (%d,%d)\n", found->left, found->top);
  // The client area's corner, if BOX is in place; the form's colour just
  // inside its bottom-left corner.
  const int x0 = found->left - box.left, y0 = found->top - box.top;
  const unsigned long form =
      at(x0 + 2, y0 + zapwit::TwipsToPixels(zapwit::kClientHeight, dpi) - 11);
  int misplaced = 0;
  for (const zapwit::Placement& placement : zapwit::kButtons) {
    const zapwit::PixelRect b = zapwit::ToPixels(placement, dpi);
    const int y = y0 + b.top + b.height / 2;
    const int left = x0 + b.left, right = left + b.width - 1;
    // An edge is drawn where the layout puts each side, and the form shows
    // just outside it; a hidden button leaves only the form.
    const bool outside = at(left - 3, y) == form && at(right + 3, y) == form;
    const bool edges = at(left, y) != form && at(right, y) != form;
    const bool as_expected = outside && edges == buttons_shown;
    std::printf("box_in_picture: %s %s\n", placement.name,
                as_expected ? (buttons_shown ? "in place" : "hidden")
                            : "not as expected");
    misplaced += !as_expected;
  }
  return misplaced == 0 ? 0 : 1;
}
