// The readings that check the first one's verdict with a margin: the first
// reading again on fields at a step of a twelfth, and the second reading
// (the broadcast analysers') on fields at steps of a sixth and a twelfth.
// Owns a copy of the last frame it was given; never changes a frame.
#pragma once

#include "fine_cells.h"
#include "field_track.h"
#include "run_track.h"

#include <cstdint>
#include <vector>

namespace flash {

// The second reading's change of a field under one rule, after ITU-R
// BT.1702's frame-level rules as broadcast analysers apply them per field:
//   counted only when a quarter of the field's pixels or more change by a
//   step (4 * step_count >= pixels), then the mean change of those pixels
//   (step / step_count); otherwise 0: scattered or faint change is no flash.
std::int64_t second_change(const rule_sums& s, int pixels);

// The most transitions of any field within the window, per rule, and the
// field that has them (-1 when none has any; fields numbered on their step).
struct reading_verdict {
    int general = 0;
    int red = 0;
    int field = -1;
    int worst() const { return general > red ? general : red; }
    bool fails() const { return worst() > max_transitions; }
};

struct cross_verdict {
    reading_verdict first_twelfth;   // the first reading, fields on a twelfth
    reading_verdict second_sixth;    // the second reading, the 25 fields on a sixth
    reading_verdict second_twelfth;  // the second reading, all 81 fields on a twelfth
    bool fails() const { return first_twelfth.fails() || second_sixth.fails() || second_twelfth.fails(); }
};

class cross_check {
public:
    // Frames of width x height (at least 6 x 6, as the first reading's).
    cross_check(int width, int height);

    const fine_grid& grid() const { return grid_; }
    bool has_previous() const { return frames_ > 0; }
    frame_ref previous() const { return {previous_.data(), width_}; }

    // Sums of every cell between the previous frame and f.
    void measure(frame_ref f, cell_sums out[fine_cell_count]) const;
    // The fields where these changes, shown at tick, would complete a
    // transition that takes the field over `limit` by either reading.
    field_set over_limit(const cell_sums cells[fine_cell_count], std::uint32_t tick, int limit) const;
    // Takes f, whose sums against the previous frame are `cells`, as shown at tick.
    cross_verdict commit(frame_ref f, const cell_sums cells[fine_cell_count], std::uint32_t tick);
    // measure + commit.
    cross_verdict feed(frame_ref f, std::uint32_t tick);

    // What the cross-check carries from frame to frame (a checkpoint of a
    // run): the previous frame, the frame count and every field's tracks.
    struct state {
        std::vector<std::uint16_t> previous;
        long frames = 0;
        std::vector<field_track> first_general, first_red;
        std::vector<run_track> second_general, second_red;
    };
    state save() const { return {previous_, frames_, first_general_, first_red_, second_general_, second_red_}; }
    // False (nothing changed) when the state is not one of frames this size
    // or holds a track that is not one of this check's.
    bool restore(const state& s);

private:
    std::int64_t first(const cell_sums cells[fine_cell_count], int f, bool red) const;
    std::int64_t second(const cell_sums cells[fine_cell_count], int f, bool red) const;

    int width_, height_;
    fine_grid grid_;
    std::vector<std::uint16_t> previous_;
    long frames_ = 0;
    std::vector<field_track> first_general_, first_red_;
    std::vector<run_track> second_general_, second_red_;
};

}  // namespace flash
