// The frame cut into a 6 x 6 grid of cells (a field is 2 x 2 of them), and
// what changes between two frames in one cell: for the general and the red
// rule, the summed change of the pixels that can flash and of those that
// change by a flash's step. Reads pixels only.
#pragma once

#include <cstdint>

namespace flash {

inline constexpr int grid_cells = 6;                 // cells per row and column
inline constexpr int grid_fields = grid_cells - 1;   // fields per row and column
inline constexpr int cell_count = grid_cells * grid_cells;
inline constexpr int field_count = grid_fields * grid_fields;

// Thresholds in the light table's units.
inline constexpr int lum_step = 1000;    // a luminance change of 0.1
inline constexpr int lum_dark = 8000;    // the darker value must be below 0.8
inline constexpr int red_step = 2000;    // a red value change of 20

// The change of one rule in one cell between two frames.
struct rule_sums {
    std::int64_t eligible = 0;  // summed change over the pixels that can flash
    std::int64_t step = 0;      // summed change over the pixels that changed by a step or more
    std::int32_t step_count = 0;
};

struct cell_sums {
    rule_sums general;  // eligible: the darker of the two values below 0.8
    rule_sums red;      // eligible: saturated red in either frame
};

// Cell boundaries: cell i spans columns x[i] .. x[i+1]-1 (x[k] = k*width/6),
// rows likewise.
struct grid {
    int x[grid_cells + 1];
    int y[grid_cells + 1];
    grid(int width, int height);
    // Pixels of field f (row-major, 0..24): cells (fx, fy) to (fx+1, fy+1).
    int field_pixels(int f) const;
};

// A frame as a plain buffer: pitch counts pixels, not bytes.
struct frame_ref {
    const std::uint16_t* pixels;
    int pitch;
    const std::uint16_t* row(int y) const { return pixels + static_cast<long>(y) * pitch; }
};

// Sums of every cell between frames a (before) and b (after).
void measure_frame(const grid& g, frame_ref a, frame_ref b, cell_sums out[cell_count]);
// Sums of cell c only.
void measure_cell(const grid& g, int c, frame_ref a, frame_ref b, cell_sums& out);

}  // namespace flash
