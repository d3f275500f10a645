#pragma once

#include <QColor>
#include <QPalette>

#include "display/display.h"

namespace zapwit {

// The colour a colour word stands for. A plain word is 0x00BBGGRR. A system
// colour resolves through `palette`: ButtonFace (15) is the button colour;
// any other index, which the game never uses, falls back to it too.
QColor ToQColor(ColorWord word, const QPalette& palette);

}  // namespace zapwit
