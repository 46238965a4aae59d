// repeated_add: the value a single-precision accumulator reaches after n
// additions of the same step, bit for bit, without doing them one by one.
// Pure arithmetic; used by the wave's phase and the flame's palette cursor.
#pragma once

#include <cstdint>

// Equal to: for (i = 0; i < n; ++i) a = a + step;  (float additions)
float repeated_add(float a, float step, std::int64_t n);
