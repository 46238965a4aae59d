// Synthetic frame sequences for the flash tests: frames of one size filled
// by a function of (x, y, frame), shown at given ticks, and the worst
// verdict an analysis gives over them.
#pragma once

#include "analysis.h"
#include "light_table.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

namespace flash_test {

// 120 x 90: cells of 20 x 15, every field 40 x 30 = 1200 pixels.
inline constexpr int W = 120, H = 90;

using frame = std::vector<std::uint16_t>;
using painter = std::function<std::uint16_t(int x, int y, int i)>;

struct sequence {
    std::vector<frame> frames;
    std::vector<std::uint32_t> ticks;
};

inline sequence make(const std::vector<std::uint32_t>& ticks, const painter& paint) {
    sequence s;
    s.ticks = ticks;
    for (int i = 0; i < static_cast<int>(ticks.size()); ++i) {
        frame f(W * H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) f[y * W + x] = paint(x, y, i);
        s.frames.push_back(std::move(f));
    }
    return s;
}

// Ticks of a 60 fps run of `ms` milliseconds.
inline std::vector<std::uint32_t> at_60fps(std::uint32_t ms) {
    std::vector<std::uint32_t> t;
    for (std::uint32_t i = 0; i * 50 / 3 <= ms; ++i) t.push_back(i * 50 / 3);
    return t;
}

// Strobe at `hz` flashes a second: on in the first half of each period.
inline bool strobe_on(std::uint32_t tick, int hz) { return (tick * 2 * hz / 1000) % 2 == 1; }

struct worst {
    flash::frame_verdict verdict;  // the highest counts over the sequence
    long failing = 0;              // frames whose verdict fails
};

inline worst analyse(const sequence& s) {
    flash::analysis a(W, H);
    worst w;
    for (size_t i = 0; i < s.frames.size(); ++i) {
        const flash::frame_verdict v = a.feed({s.frames[i].data(), W}, s.ticks[i]);
        if (v.general > w.verdict.general) {
            w.verdict.general = v.general;
            w.verdict.general_field = v.general_field;
        }
        if (v.red > w.verdict.red) {
            w.verdict.red = v.red;
            w.verdict.red_field = v.red_field;
        }
        w.failing += v.fails();
    }
    return w;
}

inline std::uint16_t grey(int v5) { return static_cast<std::uint16_t>(v5 << 11 | (2 * v5) << 5 | v5); }
inline constexpr std::uint16_t black = 0, white = 0xFFFF;
inline int lum(std::uint16_t p) { return static_cast<int>(flash::lum_of(flash::light_table()[p])); }

// The first RGB565 value whose luminance satisfies `want`.
inline std::uint16_t find_pixel(const std::function<bool(std::uint32_t entry)>& want) {
    const std::uint32_t* t = flash::light_table();
    for (unsigned p = 0; p < 65536; ++p)
        if (want(t[p]))
            return static_cast<std::uint16_t>(p);
    std::abort();
}

}  // namespace flash_test
