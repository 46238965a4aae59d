// Measuring the change between two frames on the grid of a twelfth: a plain
// loop per changed pixel pair (runs of four equal pixels skipped), written
// apart from the sixth grid's so the two measurements do not share a fault.
#include "fine_cells.h"

#include "light_table.h"

#include <cstring>

namespace flash {

fine_grid::fine_grid(int width, int height) {
    for (int k = 0; k <= fine_cells; ++k) {
        x[k] = k * width / fine_cells;
        y[k] = k * height / fine_cells;
    }
}

int fine_grid::field_pixels(int f) const {
    const int fx = f % fine_fields, fy = f / fine_fields;
    return (x[fx + fine_field_span] - x[fx]) * (y[fy + fine_field_span] - y[fy]);
}

rule_sums fine_field_sums(const cell_sums cells[fine_cell_count], int f, bool red) {
    rule_sums s;
    const int c0 = fine_grid::first_cell(f);
    for (int dy = 0; dy < fine_field_span; ++dy)
        for (int dx = 0; dx < fine_field_span; ++dx) {
            const cell_sums& c = cells[c0 + dy * fine_cells + dx];
            const rule_sums& r = red ? c.red : c.general;
            s.eligible += r.eligible;
            s.step += r.step;
            s.step_count += r.step_count;
        }
    return s;
}

namespace {
// Adds the change of one pixel (a before, b after) to s; l: the 16-bit
// luminance table (bit 15: saturated red), t: the full table (red value).
//   general: eligible when min(La, Lb) < 0.8; a step when |Lb - La| >= 0.1
//   red:     eligible when a or b is saturated red; a step when the red
//            value max(0, R-G-B)*320 changes by 20 or more
void add_pixel(std::uint16_t a, std::uint16_t b, const std::uint16_t* l, const std::uint32_t* t, cell_sums& s) {
    const int ea = l[a], eb = l[b];
    const int la = ea & 0x3FFF, lb = eb & 0x3FFF;
    const int dl = lb - la;
    if ((la < lb ? la : lb) < lum_dark) {
        s.general.eligible += dl;
        if (dl >= lum_step || -dl >= lum_step) {
            s.general.step += dl;
            ++s.general.step_count;
        }
    }
    if ((ea | eb) & saturated_bit16) {
        const int dr = static_cast<int>(red_of(t[b])) - static_cast<int>(red_of(t[a]));
        s.red.eligible += dr;
        if (dr >= red_step || -dr >= red_step) {
            s.red.step += dr;
            ++s.red.step_count;
        }
    }
}

void add_span(const std::uint16_t* a, const std::uint16_t* b, int n, const std::uint16_t* l,
              const std::uint32_t* t, cell_sums& s) {
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        // four equal pixels change nothing
        std::uint64_t qa, qb;
        std::memcpy(&qa, a + i, 8);
        std::memcpy(&qb, b + i, 8);
        if (qa == qb)
            continue;
        for (int k = i; k < i + 4; ++k)
            if (a[k] != b[k])
                add_pixel(a[k], b[k], l, t, s);
    }
    for (; i < n; ++i)
        if (a[i] != b[i])
            add_pixel(a[i], b[i], l, t, s);
}
}  // namespace

void measure_fine_frame(const fine_grid& g, frame_ref a, frame_ref b, cell_sums out[fine_cell_count]) {
    const std::uint32_t* t = light_table();
    const std::uint16_t* l = lum_table();
    for (int c = 0; c < fine_cell_count; ++c) out[c] = cell_sums{};
    for (int cy = 0; cy < fine_cells; ++cy)
        for (int y = g.y[cy]; y < g.y[cy + 1]; ++y) {
            const std::uint16_t* ra = a.row(y);
            const std::uint16_t* rb = b.row(y);
            for (int cx = 0; cx < fine_cells; ++cx)
                add_span(ra + g.x[cx], rb + g.x[cx], g.x[cx + 1] - g.x[cx], l, t, out[cy * fine_cells + cx]);
        }
}

void measure_fine_cell(const fine_grid& g, int c, frame_ref a, frame_ref b, cell_sums& out) {
    const std::uint32_t* t = light_table();
    const std::uint16_t* l = lum_table();
    const int cx = c % fine_cells, cy = c / fine_cells;
    out = cell_sums{};
    for (int y = g.y[cy]; y < g.y[cy + 1]; ++y)
        add_span(a.row(y) + g.x[cx], b.row(y) + g.x[cx], g.x[cx + 1] - g.x[cx], l, t, out);
}

}  // namespace flash
