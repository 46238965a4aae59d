// Measuring the change between two frames cell by cell: one pass over each
// row, one span per cell, a 16-bit luminance table the only lookup (the red
// value only for saturated red). Runs of four equal pixels are skipped.
#include "cells.h"

#include "light_table.h"

#include <cstring>

namespace flash {

grid::grid(int width, int height) {
    for (int k = 0; k <= grid_cells; ++k) {
        x[k] = k * width / grid_cells;
        y[k] = k * height / grid_cells;
    }
}

int grid::field_pixels(int f) const {
    const int fx = f % grid_fields, fy = f / grid_fields;
    return (x[fx + 2] - x[fx]) * (y[fy + 2] - y[fy]);
}

namespace {

// Adds one span's changes (n pixels of a before, b after) to s.
//   general: eligible when min(La, Lb) < 0.8; a step when |Lb - La| >= 0.1
//   red:     eligible when either pixel is saturated red; a step when the
//            red value changes by 20 or more
void measure_span(const std::uint16_t* a, const std::uint16_t* b, int n, const std::uint16_t* l,
                  const std::uint32_t* t, cell_sums& s) {
    std::int64_t g_el = 0, g_step = 0, r_el = 0, r_step = 0;
    std::int32_t g_n = 0, r_n = 0;
    // branch-free: each test is a 0/1 that masks the change
    const auto one = [&](int i) {
        const int ea = l[a[i]], eb = l[b[i]];
        const int la = ea & 0x3FFF, lb = eb & 0x3FFF;
        const int dl = lb - la;
        const int g_in = (la < lb ? la : lb) < lum_dark;
        const int g_big = g_in & ((dl < 0 ? -dl : dl) >= lum_step);
        g_el += dl & -g_in;
        g_step += dl & -g_big;
        g_n += g_big;
        if ((ea | eb) & saturated_bit16) {
            const int dr = static_cast<int>(red_of(t[b[i]])) - static_cast<int>(red_of(t[a[i]]));
            const int r_big = (dr < 0 ? -dr : dr) >= red_step;
            r_el += dr;
            r_step += dr & -r_big;
            r_n += r_big;
        }
    };
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        // four equal pixels contribute nothing
        std::uint64_t qa, qb;
        std::memcpy(&qa, a + i, 8);
        std::memcpy(&qb, b + i, 8);
        if (qa == qb)
            continue;
        one(i);
        one(i + 1);
        one(i + 2);
        one(i + 3);
    }
    for (; i < n; ++i) one(i);
    s.general.eligible += g_el;
    s.general.step += g_step;
    s.general.step_count += g_n;
    s.red.eligible += r_el;
    s.red.step += r_step;
    s.red.step_count += r_n;
}

}  // namespace

void measure_frame(const grid& g, frame_ref a, frame_ref b, cell_sums out[cell_count]) {
    const std::uint32_t* t = light_table();
    const std::uint16_t* l = lum_table();
    for (int c = 0; c < cell_count; ++c) out[c] = cell_sums{};
    for (int cy = 0; cy < grid_cells; ++cy)
        for (int y = g.y[cy]; y < g.y[cy + 1]; ++y) {
            const std::uint16_t* ra = a.row(y);
            const std::uint16_t* rb = b.row(y);
            for (int cx = 0; cx < grid_cells; ++cx)
                measure_span(ra + g.x[cx], rb + g.x[cx], g.x[cx + 1] - g.x[cx], l, t,
                             out[cy * grid_cells + cx]);
        }
}

void measure_cell(const grid& g, int c, frame_ref a, frame_ref b, cell_sums& out) {
    const std::uint32_t* t = light_table();
    const std::uint16_t* l = lum_table();
    const int cx = c % grid_cells, cy = c / grid_cells;
    out = cell_sums{};
    for (int y = g.y[cy]; y < g.y[cy + 1]; ++y)
        measure_span(a.row(y) + g.x[cx], b.row(y) + g.x[cx], g.x[cx + 1] - g.x[cx], l, t, out);
}

}  // namespace flash
