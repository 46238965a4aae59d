// The capture's progress line: the estimate, and printing it in place on a
// terminal (5 times a second) or as a line per tenth of the show otherwise.
#include "progress_bar.h"

#include "cost_clock.h"
#include "music_clock_text.h"
#include "start.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

progress_estimate estimate_progress(Uint32 tick, Uint32 first_tick, Uint32 expected, double elapsed_s) {
    progress_estimate e;
    if (expected == 0)
        return e;
    e.done = std::min(1.0, double(tick) / expected);
    // A capture that starts late: the ETA counts from its first frame.
    const double first = std::min(1.0, double(first_tick) / expected);
    e.own = first < 1.0 ? std::max(0.0, (e.done - first) / (1.0 - first)) : 1.0;
    e.eta_known = e.own > 0.01;
    if (e.eta_known)
        e.eta_s = elapsed_s * (1.0 - e.own) / e.own;
    return e;
}

void progress_bar::update(const flip_info& info) {
    const std::uint64_t now = cost_clock::wall_ns();
    if (started_ns_ == 0) {
        started_ns_ = now;
        first_tick_ = info.tick;
    }
    if (info.music_playing && !music_seen_) {
        music_seen_ = true;
        // The show's length is now known: the lead-in plus the song's part.
        expected_ = std::max(expected_, info.tick - info.music_ms + show_end_ms);
    }
    const progress_estimate e =
        estimate_progress(info.tick, first_tick_, expected_, double(now - started_ns_) * 1e-9);
    const bool tty = isatty(STDERR_FILENO);
    const int tenth = static_cast<int>(e.done * 10);
    if (tty ? now - last_print_ns_ < 200'000'000ull : tenth == last_tenth_)
        return;
    last_print_ns_ = now;
    last_tenth_ = tenth;
    constexpr int width = 30;
    const int filled = static_cast<int>(e.done * width);  // done is 0..1
    const std::string bar = std::string(filled, '#') + std::string(width - filled, '-');
    std::fprintf(stderr, "%s[%s] %3d%%  music %s  frame %ld  ETA %s%s", tty ? "\r" : "", bar.c_str(),
                 static_cast<int>(e.done * 100),
                 info.music_playing ? music_clock_text(info.music_ms).c_str() : "-:--.-", info.index,
                 e.eta_known ? music_clock_text(static_cast<Uint32>(e.eta_s * 1000)).c_str() : "?",
                 tty ? "   " : "\n");
    printed_ = true;
}

void progress_bar::finish() {
    if (printed_ && isatty(STDERR_FILENO))
        std::fputc('\n', stderr);
}
