#pragma once

namespace zapwit {

// The local time of day in seconds since midnight, with its fraction, in
// single precision (a resolution of about 4 ms late in the day). It goes back
// to 0 at midnight.
float Clock();

}  // namespace zapwit
