// The flash limiter: takes each finished frame with its tick and makes it
// the frame to show, holding or blending toward the last shown picture only
// in the cells of fields that would otherwise go over the flash limit, and
// only as far as needed. A frame that needs nothing is left exactly as it is.
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

    // Blend weights of a cell, in eighths of the way from the last shown
    // picture to the finished one: full, then ever less, down to a hold.
    static constexpr int full = 8;
    static int weaker(int w) { return w > 4 ? w - 2 : w > 0 ? w - 1 : 0; }
    // out = shown + (finished - shown) * w / 8 per 5/6-bit channel, rounded.
    static std::uint16_t blend(std::uint16_t shown, std::uint16_t finished, int w);

private:
    void compose(int c, std::uint16_t* pixels, int pitch) const;

    flash::analysis shown_;
    std::vector<std::uint16_t> finished_;  // the finished frame while a limited one is shown
    int weight_[cell_count];
    long limited_ = 0;
};

}  // namespace flash
