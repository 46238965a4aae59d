// Model generator: small signed-distance helpers (ellipsoids, smooth union
// and cut) that the creature head and the blob are shaped with, and the
// radial surface search that turns a shape into a closed mesh.
#pragma once

#include <algorithm>
#include <cmath>

#include "models/mesh.h"

namespace mdl {

// Approximate distance to an ellipsoid of radii r centred at c (negative inside).
inline double sd_ellipsoid(vec3 p, vec3 c, vec3 r) {
    vec3 q = p - c;
    double k = std::sqrt((q.x / r.x) * (q.x / r.x) + (q.y / r.y) * (q.y / r.y) + (q.z / r.z) * (q.z / r.z));
    return (k - 1.0) * std::min(r.x, std::min(r.y, r.z));
}

// Smooth union: d = min(a, b) rounded over a band of width k.
inline double smin(double a, double b, double k) {
    double h = std::clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
    return b + (a - b) * h - k * h * (1.0 - h);
}
// Smooth cut of b out of a: max(a, -b) rounded over k.
inline double scut(double a, double b, double k) { return -smin(-a, b, k); }

// Distance along the unit direction d from the point o to the first place
// where the shape's distance turns positive (searched up to t_max).
template <class F>
double radial_surface(const F& sdf, vec3 o, vec3 d, double t_max) {
    const double step = 0.004;
    double t0 = 0, t = 0;
    while (t < t_max) {
        t += step;
        if (sdf(o + d * t) > 0) break;
        t0 = t;
    }
    double lo = t0, hi = std::min(t, t_max);
    for (int i = 0; i < 30; ++i) {
        double m = 0.5 * (lo + hi);
        (sdf(o + d * m) > 0 ? hi : lo) = m;
    }
    return 0.5 * (lo + hi);
}

}  // namespace mdl
