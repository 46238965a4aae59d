// The frame cut into a 12 x 12 grid of cells (a twelfth each way), and its
// fields of 4 x 4 cells at every cell: 81 fields on a step of a twelfth, of
// which those at even cells are the 25 on a step of a sixth. Measures the
// change between two frames per cell with a loop of its own. Reads pixels only.
#pragma once

#include "cells.h"

#include <cstdint>

namespace flash {

inline constexpr int fine_cells = 12;                               // cells per row and column
inline constexpr int fine_field_span = 4;                           // cells per field, each way
inline constexpr int fine_fields = fine_cells - fine_field_span + 1;  // fields per row and column
inline constexpr int fine_cell_count = fine_cells * fine_cells;
inline constexpr int fine_field_count = fine_fields * fine_fields;

// A set of fine fields, bit f for field f (0..80).
struct field_set {
    std::uint64_t bits[2] = {0, 0};
    void add(int f) { bits[f >> 6] |= std::uint64_t{1} << (f & 63); }
    bool has(int f) const { return (bits[f >> 6] >> (f & 63)) & 1; }
    bool empty() const { return (bits[0] | bits[1]) == 0; }
};

// Cell boundaries: cell i spans columns x[i] .. x[i+1]-1 (x[k] = k*width/12),
// so x[2k] is the sixth grid's k-th cut.
struct fine_grid {
    int x[fine_cells + 1];
    int y[fine_cells + 1];
    fine_grid(int width, int height);
    // Field f (row-major, 0..80) covers cells (fx, fy) .. (fx+3, fy+3).
    static int first_cell(int f) { return (f / fine_fields) * fine_cells + f % fine_fields; }
    // Whether f is also a field on the step of a sixth (even cells both ways).
    static bool on_sixth(int f) { return (f % fine_fields) % 2 == 0 && (f / fine_fields) % 2 == 0; }
    // The field on the step of a sixth (0..24) that f is, or -1.
    static int sixth_index(int f) {
        return on_sixth(f) ? (f / fine_fields / 2) * grid_fields + (f % fine_fields) / 2 : -1;
    }
    int field_pixels(int f) const;
};

// The sums of field f under one rule: its 16 cells added.
rule_sums fine_field_sums(const cell_sums cells[fine_cell_count], int f, bool red);

// Sums of every cell between frames a (before) and b (after).
void measure_fine_frame(const fine_grid& g, frame_ref a, frame_ref b, cell_sums out[fine_cell_count]);
// Sums of cell c only.
void measure_fine_cell(const fine_grid& g, int c, frame_ref a, frame_ref b, cell_sums& out);

}  // namespace flash
