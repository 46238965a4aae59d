// The start point (--start T): the show runs unseen on the simulated clock,
// nothing presented and no frame handed to a sink, until a music time or the
// first frame of a named scene; from that frame on it goes on as asked.
// Owns the start test and the fast-forward progress line; never draws.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

#include "show_timeline.h"

struct flip_info;

struct start_point {
    bool set = false;
    Uint32 music_ms = 0;  // the first frame at or after this music time...
    std::string scene;    // ...or, when named, the scene's first frame
};

// Music time at which the show ends: the final scene stops there, and a
// start point must lie before it. The scenes a start point can name are the
// timeline's (show_timeline.h).
inline constexpr Uint32 show_end_ms = show_timeline::show_end_ms;

// Reads "130000" (music ms) or a scene name. False with a message otherwise.
bool parse_start_point(const std::string& text, start_point& out, std::string& error);

// A run's start test: armed with a point, it keeps frames unseen until the
// point is reached.
class start_gate {
public:
    // Arms the gate (an unset point disarms it).
    void arm(const start_point& p);
    // True while armed and not reached yet.
    bool pending() const { return armed_; }
    // True when the frame flipped with `info` is seen (no start point, or
    // reached at this frame or before); the first such frame disarms it.
    bool reached(const flip_info& info);
    // After a frame not seen, and at the point: where the run ahead has got
    // to (once it has taken a second), and how long it took.
    void progress(const flip_info& info);
    void finish_progress();

private:
    std::string target_text() const;

    start_point point_;
    bool armed_ = false;
    std::uint64_t armed_ns_ = 0;
    std::uint64_t last_print_ns_ = 0;
    bool printed_ = false;
};
