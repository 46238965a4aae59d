// The capture's progress line on stderr: share of the show done, music time,
// and the time left at the pace so far. Reads flip times and the wall clock.
#pragma once

#include "display.h"

#include <cstdint>

// Where a capture stands at a flip at `tick` of a show expected to last
// `expected` ticks, when the capture began at `first_tick` and has taken
// `elapsed_s` seconds of real time.
struct progress_estimate {
    double done = 0;      // share of the show's ticks reached, 0..1
    double own = 0;       // share of the capture's own part (from its first frame) done
    bool eta_known = false;
    double eta_s = 0;     // seconds left at the pace so far (when known)
};
progress_estimate estimate_progress(Uint32 tick, Uint32 first_tick, Uint32 expected, double elapsed_s);

class progress_bar {
public:
    explicit progress_bar(Uint32 expected_ticks) : expected_(expected_ticks) {}
    void update(const flip_info& info);
    void finish();

private:
    Uint32 expected_;
    Uint32 first_tick_ = 0;
    bool music_seen_ = false;
    std::uint64_t started_ns_ = 0;
    std::uint64_t last_print_ns_ = 0;
    int last_tenth_ = -1;
    bool printed_ = false;
};
