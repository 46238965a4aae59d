// Model generator: b_kunhjørner, the flat corner room — four walls of a
// corridor from the picture's edges to a dark opening in the middle, drawn
// as flat meshes (pixel offsets from the centre, texture 0..1 on bakgrunn7).
#include <algorithm>

#include "models/models.h"

namespace mdl {

std::vector<mesh> build_corner_room() {
    // The corridor's far end sits at depth `far` (near end = 1): a point at
    // depth z and wall offset (x, y) lands on the picture at (x, y) / z.
    // Vertices step evenly in depth, so the walls' texture follows the
    // perspective at every vertex.
    const double far = 2.9;
    const int steps = 6, across = 4;
    const double top = 0.998;  // texture coordinate 1 would read one texel past the edge
    struct wall_def {
        const char* name;
        // wall point at across-parameter a (-1..1) at depth 1
        double x0, y0, x1, y1;
        bool depth_is_u;
    };
    const wall_def walls[4] = {
        {"left wall", -320, -240, -320, 240, true},
        {"right wall", 320, -240, 320, 240, true},
        {"ceiling", -320, -240, 320, -240, false},
        {"floor", -320, 240, 320, 240, false},
    };
    std::vector<mesh> out;
    for (const wall_def& w : walls) {
        mesh m;
        m.name = w.name;
        for (int j = 0; j <= steps; ++j) {
            double z = 1.0 + (far - 1.0) * j / steps;
            double d = double(j) / steps;  // depth parameter, linear in z
            for (int i = 0; i <= across; ++i) {
                double a = double(i) / across;
                double x = (w.x0 + (w.x1 - w.x0) * a) / z, y = (w.y0 + (w.y1 - w.y0) * a) / z;
                double tu = w.depth_is_u ? d : a, tv = w.depth_is_u ? a : d;
                m.add_vert({x, y, z}, std::min(tu, top), std::min(tv, top));
            }
        }
        for (int j = 0; j < steps; ++j)
            for (int i = 0; i < across; ++i) {
                int p = j * (across + 1) + i;
                m.add_quad(p, p + 1, p + across + 2, p + across + 1);
            }
        out.push_back(m);
    }
    return out;
}

}  // namespace mdl
