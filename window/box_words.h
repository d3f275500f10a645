#pragma once

#include <string>
#include <string_view>

#include "display/display.h"

namespace zapwit {

// BOX as assistive technology tells it: what a sighted player reads from
// it, in words. The same on every desktop.

// The colour word BOX shows, as a word: "red", "yellow", "green", or
// "none" for the form's own colour (NUMBER and COUNTER), and for any
// colour the game never sets.
std::string_view ColorName(ColorWord color);

// BOX's description: its colour's name, then its caption if it has one
// ("green", "none, 130").
std::string BoxDescription(ColorWord color, std::string_view caption);

}  // namespace zapwit
