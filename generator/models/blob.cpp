// Model generator: blob1, a lumpy closed blob — a sphere pushed out and in
// by a handful of soft lumps and a slow ripple, from a fixed seed.
#include <algorithm>
#include <cmath>

#include "models/models.h"

namespace mdl {

std::vector<mesh> build_blob() {
    mesh m = cube_sphere(10);
    m.name = "blob";
    struct lump {
        vec3 dir;
        double height, width;
    };
    rng r(0x0B10B1);
    std::vector<lump> lumps;
    for (int i = 0; i < 11; ++i) {  // big soft swellings and dents
        vec3 d{r.range(-1, 1), r.range(-1, 1), r.range(-1, 1)};
        lumps.push_back({normalize(d), r.range(-0.22, 0.42), r.range(0.3, 0.6)});
    }
    for (int i = 0; i < 14; ++i) {  // smaller knobs
        vec3 d{r.range(-1, 1), r.range(-1, 1), r.range(-1, 1)};
        lumps.push_back({normalize(d), r.range(0.08, 0.2), r.range(0.15, 0.25)});
    }
    const double pi = 3.14159265358979323846;
    for (size_t i = 0; i < m.verts.size(); ++i) {
        vec3 d = m.verts[i];
        double rad = 1.0;
        for (const lump& l : lumps) {
            double ang = std::acos(std::clamp(dot(d, l.dir), -1.0, 1.0));
            rad += l.height * std::exp(-(ang * ang) / (l.width * l.width));
        }
        rad += 0.05 * std::sin(5 * d.x + 2 * d.y) * std::cos(4 * d.z - d.y);  // slow ripple
        m.verts[i] = d * (0.9 * rad);
        // seamless: each axis' angle picks a texel column and row
        m.u[i] = -2.0 + 4.0 * std::acos(std::clamp(d.x, -1.0, 1.0)) / pi;
        m.v[i] = -2.0 + 4.0 * std::acos(std::clamp(d.y, -1.0, 1.0)) / pi;
    }
    // The beat scene turns the blob in place frame after frame; with a vertex
    // of its own per face corner every vertex turns by the same angle and the
    // blob stays whole.
    m.unshare();
    return {m};
}

}  // namespace mdl
