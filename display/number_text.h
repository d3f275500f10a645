#pragma once

#include <string>

namespace zapwit {

// " 57" for 57, " 0" for 0, "-1" for -1: one space or a minus sign, then the
// digits of the absolute value. Used for every number written into BOX.
std::string SignedText(int n);

// SignedText for a whole-number double, followed by one space: " 75 ",
// "-4319900 ". A fraction, if any, is rounded away; the score never has one.
std::string PrintNumberText(double x);

}  // namespace zapwit
