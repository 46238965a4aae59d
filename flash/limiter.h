// The flash limiter: takes each finished frame with its tick and makes it
// the frame to show, holding or blending toward the last shown picture only
// in the cells of fields that would otherwise go over the flash limit, and
// only as far as needed; a weight rises across a third of a cell beyond a
// weaker cell's border rather than jumping there. A frame that needs
// nothing is left exactly as it is.
#pragma once

#include "analysis.h"

#include <cstdint>
#include <vector>

namespace flash {

class limiter {
public:
    limiter(int width, int height);

    // Turns the frame in `pixels` (pitch in pixels) into the one to show at
    // tick, in place. True when it changed pixels: restore() then puts the
    // finished frame back once it has been shown.
    bool apply(std::uint16_t* pixels, int pitch, std::uint32_t tick);
    void restore(std::uint16_t* pixels, int pitch) const;

    // The analysis of the frames shown so far.
    const flash::analysis& shown() const { return shown_; }
    long limited_frames() const { return limited_; }

    // What the limiter carries from frame to frame, for a checkpoint of a
    // run: the analysis of the frames shown, the cells' weights, the count
    // of limited frames. (The finished frame it keeps is only held between
    // apply and restore, within one flip.)
    struct state {
        flash::analysis::state shown;
        int weight[cell_count] = {};
        long limited = 0;
    };
    state save() const;
    // False (nothing changed) when the state is not one of frames this size.
    bool restore(const state& s);

    // Blend weights of a cell, in eighths of the way from the last shown
    // picture to the finished one: full, then ever less, down to a hold.
    static constexpr int full = 8;
    static int weaker(int w) { return w > 4 ? w - 2 : w > 0 ? w - 1 : 0; }
    // A pixel's weight, in 64ths: its cell's, or less near a weaker
    // neighbour (that one's plus the way across the ramp, 64 over a third
    // of a cell). At 64 the pixel is the finished one.
    static constexpr int pixel_full = 64;
    // out = shown + (finished - shown) * w / 64 per 5/6-bit channel, rounded.
    static std::uint16_t blend(std::uint16_t shown, std::uint16_t finished, int w);

private:
    // Writes cell c's pixels from the weights of it and its neighbours.
    void compose(int c, std::uint16_t* pixels, int pitch) const;
    // Whether cell c or a neighbour is below full weight.
    bool touched(int c) const;

    flash::analysis shown_;
    std::vector<std::uint16_t> finished_;  // the finished frame while a limited one is shown
    int weight_[cell_count];
    // Per column (row): the ramp's height, in 64ths, at its distance from
    // the cell's left (top) and right (bottom) border.
    std::vector<int> ramp_left_, ramp_right_, ramp_top_, ramp_bottom_;
    long limited_ = 0;
};

}  // namespace flash
