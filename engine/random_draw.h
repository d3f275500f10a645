#pragma once

#include <cstdint>

namespace zapwit {

// base + floor(unit * span), in double precision: each whole number from
// `base` to `base + span - 1` for a uniform `unit` in [0, 1). A `unit` outside
// that range (or NaN) from a faulty source is pulled back into it, so the
// result never leaves those bounds. The result is a plain int; the caller
// stores it into its 16-bit field with a checked store.
std::int64_t RandomDraw(int span, int base, float unit);

}  // namespace zapwit
