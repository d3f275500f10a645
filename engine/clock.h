#pragma once

namespace zapwit {

// The local time of day in seconds since midnight, with its fraction, in
// single precision (a resolution of about 4 ms late in the day). It goes back
// to 0 at midnight.
float Clock();

// The same local time of day in double precision, for a front-end that
// anchors a finer clock of its own to it once.
double TimeOfDay();

}  // namespace zapwit
