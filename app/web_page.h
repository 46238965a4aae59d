// The program's side of the web page: tells the page about every flip (and,
// on the simulated clock, each frame's hash), the start, the end and the
// bench table. Browser only.
#pragma once

#include "display.h"

#include <string>
#include <vector>

namespace web_page {

// Sees every flip; hands it on to `inner` (the bench) first. On the simulated
// clock it hashes each frame for the page and, about 30 times a second of
// real time, shows the screen and yields to the browser so the page lives.
// With `present_all` every frame is shown and the cost of showing it timed.
class page_sink : public frame_sink {
public:
    page_sink(bool simulated, bool present_all, frame_sink* inner);
    void frame(SDL_Surface* shown, const frame_info& info) override;
    // Milliseconds each timed present took, in order.
    const std::vector<double>& present_costs() const { return present_ms_; }

private:
    bool simulated_;
    bool present_all_;
    frame_sink* inner_;
    double last_yield_ms_ = 0;
    std::vector<double> present_ms_;
};

// The show has started (the page hides its start screen).
void playing();
// The per-scene table and the present costs as JSON, for window.ostramere.bench.
void bench(const std::string& json);
// The program is done, with its exit status.
void ended(int status);

}  // namespace web_page
