// The start point (--start T): the show runs unseen on the simulated clock,
// nothing presented and no frame handed to a sink, until a music time or the
// first frame of a named scene; from that frame on it goes on as asked.
// Owns the start test and the fast-forward progress line; never draws.
#pragma once

#include <SDL.h>

#include <functional>
#include <string>

struct frame_info;

struct start_point {
    bool set = false;
    Uint32 music_ms = 0;  // the first frame at or after this music time...
    std::string scene;    // ...or, when named, the scene's first frame
};

namespace start {

// The scenes a start point can name, in show order.
inline constexpr const char* scene_names[] = {"title",    "beat",      "flame", "corner",
                                              "backdrop", "greetings", "final"};
// Music time at which the show ends: a start point must lie before it.
inline constexpr Uint32 show_end_ms = 160000;

// Reads "130000" (music ms) or a scene name. False with a message otherwise.
bool parse(const std::string& text, start_point& out, std::string& error);

// Arms the start point: frames stay unseen until it is reached, and then
// on_reach runs once (before that frame is presented). An unset point
// disarms it.
void arm(const start_point& p, std::function<void()> on_reach = {});
// True while armed and not reached yet.
bool pending();
// The display's test at every flip: true when the frame is seen (no start
// point, or reached at this frame or before).
bool reached(const frame_info& info);
// Disarms and forgets (tests).
void reset();

}  // namespace start
