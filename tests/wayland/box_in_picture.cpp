// Checks a picture of the whole screen, taken from a compositor, for the
// game's window: BOX a filled red square of its size, and the four buttons
// where the layout puts them beside it (or, once a test has started, gone).
// Prints where BOX is.
// Usage: box_in_picture PICTURE.png [shown|hidden]
#include <QColor>
#include <QImage>

#include <cstdio>
#include <cstring>

#include "tests/smoke/red_square.h"
#include "window/form_layout.h"

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
  const auto red = zapwit::smoke::FindRed(picture.width(), picture.height(), at);
  const zapwit::PixelRect box = zapwit::ToPixels(zapwit::kBox, dpi);
  if (!red) {
    std::puts("box_in_picture: no red in the picture");
    return 1;
  }
  std::printf("box_in_picture: red %dx%d at (%d,%d)%s\n", red->width, red->height,
              red->left, red->top, red->filled ? "" : " with holes");
  if (!red->filled || red->width != box.width || red->height != box.height) {
    return 1;
  }
  // The client area's corner, if BOX is in place; the form's colour just
  // inside its bottom-left corner.
  const int x0 = red->left - box.left, y0 = red->top - box.top;
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
