// The program's side of the web page: tells the page about every flip (and,
// on the simulated clock, each frame's hash), the start, the end and the
// bench report, and asks it whether the show is held. Browser only.
#pragma once

#include "bench.h"
#include "display.h"
#include "hold.h"

#include <string>

namespace web_page {

// Sees every flip; hands it on to `bench` (when measuring) first. On the
// simulated clock it hashes each frame for the page and, about 30 times a
// second of real time, shows the screen and yields to the browser so the
// page lives; when measuring, every frame is shown and the cost of showing
// it goes into the bench report.
class page_sink : public frame_sink {
public:
    page_sink(bool simulated, bench_sink* bench);
    // The show starts: the page hides its start screen.
    bool open(std::string& error) override;
    void frame(SDL_Surface* shown, const flip_info& info) override;
    // Hands the bench report (the same JSON the desktop writes) to the page.
    bool finish(Uint32 end_tick, long flips, std::string& error) override;

private:
    bool simulated_;
    bench_sink* bench_;
    double last_yield_ms_ = 0;
};

// The page's hold (window.ostramere.paused: its pause, a hidden page, an
// audio output the browser suspended); a stop the page asks for (its stop
// action) arrives as a window-close request.
class page_hold : public hold_source {
public:
    bool wanted() override;
};

// The program is done, with its exit status.
void ended(int status);

}  // namespace web_page
