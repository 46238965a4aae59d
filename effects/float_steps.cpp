// Jumping a float accumulator over many equal additions.
//
// While a and a + step stay inside one binade [2^e, 2^(e+1)), every sum is
// rounded to the same grid u = 2^(e-23), so each addition adds the same
// delta = round(step / u) * u and k additions add k * delta exactly. Where
// that does not hold (signs differ, a subnormal, a tie, the top of the
// binade) one real addition is made and the jump is tried again.
#include "float_steps.h"

#include <cmath>

float repeated_add(float a, float step, std::int64_t n) {
    while (n > 0) {
        if (!std::isfinite(a) || !std::isfinite(step) || step == 0.0f) {
            // a + 0 settles after one addition (-0 + 0 = +0); inf/NaN stay.
            return a + step;
        }
        // Float addition is symmetric in sign: RN(-a - s) = -RN(a + s).
        const bool negative = a < 0.0f && step < 0.0f;
        const float pa = negative ? -a : a;
        const float ps = negative ? -step : step;
        if (!(pa > 0.0f && ps > 0.0f) || !std::isnormal(pa)) {
            a = a + step;
            --n;
            continue;
        }
        int e = 0;
        const double m = std::frexp(static_cast<double>(pa), &e);  // pa = m * 2^e, m in [0.5, 1)
        const double u = std::ldexp(1.0, e - 24);                   // grid of pa's binade
        const auto a_units = static_cast<std::int64_t>(std::ldexp(m, 24));  // in [2^23, 2^24)
        const double q = static_cast<double>(ps) / u;  // exact: u is a power of two
        if (q >= 16777216.0) {  // step outgrows the binade at once
            a = a + step;
            --n;
            continue;
        }
        const double fl = std::floor(q);
        if (q - fl == 0.5) {  // tie: rounding depends on parity, step once
            a = a + step;
            --n;
            continue;
        }
        const auto delta = static_cast<std::int64_t>(q - fl < 0.5 ? fl : fl + 1.0);
        if (delta == 0) return a;  // every addition rounds back to a
        const std::int64_t room = (std::int64_t{1} << 24) - 1 - a_units;
        std::int64_t k = room / delta;
        if (k == 0) {  // the next sum leaves the binade
            a = a + step;
            --n;
            continue;
        }
        if (k > n) k = n;
        const float jumped = static_cast<float>(std::ldexp(static_cast<double>(a_units + k * delta), e - 24));
        a = negative ? -jumped : jumped;
        n -= k;
    }
    return a;
}
