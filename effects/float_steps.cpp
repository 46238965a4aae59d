// Jumping a float accumulator over many equal additions.
//
// While a and every sum stay inside one binade [2^(e-1), 2^e), each sum is
// rounded to the same grid u = 2^(e-24), so each addition moves a by the same
// delta = round(|step| / u) * u (up when a and step share a sign, down
// otherwise) and k additions move it by k * delta exactly. Where that does
// not hold (zero or subnormal a, a tie, an edge of the binade) one real
// addition is made and the jump is tried again.
#include "float_steps.h"

#include <cmath>

float repeated_add(float a, float step, std::int64_t n) {
    constexpr std::int64_t low = std::int64_t{1} << 23;  // a binade's grid points: low .. 2 * low - 1
    while (n > 0) {
        if (!std::isfinite(a) || !std::isfinite(step) || step == 0.0f) {
            // a + 0 settles after one addition (-0 + 0 = +0); inf and NaN stay.
            return a + step;
        }
        if (!std::isnormal(a)) {
            a = a + step;
            --n;
            continue;
        }
        const bool up = (a > 0.0f) == (step > 0.0f);  // |a| grows
        int e = 0;
        const double m = std::frexp(std::fabs(static_cast<double>(a)), &e);  // |a| = m * 2^e, m in [0.5, 1)
        const double u = std::ldexp(1.0, e - 24);
        const auto units = static_cast<std::int64_t>(std::ldexp(m, 24));  // in [low, 2 * low)
        const double q = std::fabs(static_cast<double>(step)) / u;         // exact: u is a power of two
        const double fl = std::floor(q);
        if (q >= 16777216.0 || q - fl == 0.5) {  // leaves the binade at once, or a tie
            a = a + step;
            --n;
            continue;
        }
        const auto delta = static_cast<std::int64_t>(q - fl < 0.5 ? fl : fl + 1.0);
        // Steps that keep the sum inside the binade; going down, the lowest
        // grid point is kept out, since just below it the grid is finer.
        const std::int64_t room = up ? 2 * low - 1 - units : units - (low + 1);
        if (delta == 0) {
            if (up || room >= 0) return a;  // every addition rounds back to a
            a = a + step;
            --n;
            continue;
        }
        std::int64_t k = room >= 0 ? room / delta : 0;
        if (k == 0) {
            a = a + step;
            --n;
            continue;
        }
        if (k > n) k = n;
        const std::int64_t moved = up ? units + k * delta : units - k * delta;
        const auto magnitude = static_cast<float>(std::ldexp(static_cast<double>(moved), e - 24));
        a = a > 0.0f ? magnitude : -magnitude;
        n -= k;
    }
    return a;
}
