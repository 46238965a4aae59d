// What the page's answers mean to the run, kept apart from the page hooks
// so the native build reads them too: the control word the page returns
// each turn, and how often a run on the simulated clock lets the browser
// paint. Plain values; owns nothing.
#pragma once

namespace page_control {

// The page's control word: 0 plays on, 1 holds, 2 stops. A stop also holds
// for one turn, in which the wait finds the queued stop and ends the hold.
struct answer {
    bool hold;
    bool stop;
};
constexpr answer read(int asked) { return {asked != 0, asked == 2}; }

// A run on the simulated clock shows the screen and yields to the browser
// once this many ms of real time have passed since the last yield.
inline constexpr double yield_every_ms = 33.0;
constexpr bool yield_due(double now_ms, double last_yield_ms) {
    return now_ms - last_yield_ms >= yield_every_ms;
}

}  // namespace page_control
