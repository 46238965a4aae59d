// Flash-safety analysis of a sequence of shown frames: each frame against
// the one before, per field (a third of the width and height, on a grid of
// a sixth), general and red transitions counted over the last 1000 ms of
// ticks. Owns a copy of the last frame it was given; never changes a frame.
#pragma once

#include "cells.h"
#include "field_track.h"

#include <cstdint>
#include <vector>

namespace flash {

// What the analysis says about one frame: the most transitions of any field
// within the window that ends at the frame's tick, per rule.
struct frame_verdict {
    int general = 0;
    int red = 0;
    int general_field = -1;  // a field with that many (-1 when none has any)
    int red_field = -1;
    bool fails() const { return general > max_transitions || red > max_transitions; }
};

// The first reading's change of a field under one rule: when a quarter of
// its pixels or more changed by a step, their mean change (step / step_count);
// otherwise the eligible pixels' summed change spread over the whole field
// (eligible / pixels).
std::int64_t first_change(const rule_sums& s, int pixels);

class analysis {
public:
    // Frames of width x height (at least 6 x 6).
    analysis(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    const flash::grid& grid() const { return grid_; }
    bool has_previous() const { return frames_ > 0; }
    frame_ref previous() const { return {previous_.data(), width_}; }
    long frames() const { return frames_; }

    // Sums of every cell between the previous frame and f.
    void measure(frame_ref f, cell_sums out[cell_count]) const;
    // The change of field f under one rule: when a quarter of its pixels or
    // more changed by a step, their mean change; otherwise the eligible
    // pixels' summed change spread over the whole field.
    std::int64_t change(const cell_sums cells[cell_count], int f, bool red) const;
    // The fields (bit f) where these changes, shown at tick, would complete
    // a transition that takes the field over `limit`.
    std::uint32_t over_limit(const cell_sums cells[cell_count], std::uint32_t tick,
                             int limit = max_transitions) const;
    // Takes f, whose sums against the previous frame are `cells`, as shown
    // at tick: every field steps, f becomes the previous frame.
    frame_verdict commit(frame_ref f, const cell_sums cells[cell_count], std::uint32_t tick);
    // measure + commit.
    frame_verdict feed(frame_ref f, std::uint32_t tick);

    // What the analysis carries from frame to frame (a checkpoint of a run):
    // the previous frame, the frame count and every field's track.
    struct state {
        std::vector<std::uint16_t> previous;
        long frames = 0;
        std::vector<field_track> general, red;
    };
    state save() const { return {previous_, frames_, general_, red_}; }
    // False (nothing changed) when the state is not one of frames this size.
    bool restore(const state& s);

private:
    int width_, height_;
    flash::grid grid_;
    std::vector<std::uint16_t> previous_;
    long frames_ = 0;
    std::vector<field_track> general_, red_;
};

}  // namespace flash
