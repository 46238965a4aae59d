// The start test: music time or scene label against the armed start point,
// and a progress line on stderr while the show runs ahead for longer than a
// second.
#include "start.h"

#include "display.h"
#include "music_clock_text.h"
#include "platform.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

std::string start_gate::target_text() const {
    if (!point_.scene.empty())
        return "the " + point_.scene + " scene";
    return music_clock_text(point_.music_ms);
}

namespace {
// Progress rewritten in place: a terminal, never a page (whose emulated
// standard error reads as one but passes on whole lines only).
bool in_place() { return !platform::runs_in_page() && isatty(STDERR_FILENO); }
}  // namespace

// In place on a terminal (5 times a second), as a line to a page (4 times a
// second: its progress bar reads it), otherwise a line every 5 s.
void start_gate::progress(const flip_info& info) {
    const bool page = platform::runs_in_page();
    const std::uint64_t now = display::now_ns();
    const bool tty = in_place();
    const std::uint64_t every = tty ? 200'000'000ull : page ? 250'000'000ull : 5'000'000'000ull;
    if (now - armed_ns_ < 1'000'000'000ull || now - last_print_ns_ < every)
        return;
    last_print_ns_ = now;
    printed_ = true;
    const std::string music = info.music_playing ? music_clock_text(info.music_ms) : "-:--.-";
    std::fprintf(stderr, "%sostramere: running ahead to %s: music %s, frame %ld%s", tty ? "\r" : "",
                 target_text().c_str(), music.c_str(), info.index, tty ? "   " : "\n");
}

void start_gate::finish_progress() {
    if (!printed_)
        return;
    const double s = double(display::now_ns() - armed_ns_) * 1e-9;
    std::fprintf(stderr, "%sostramere: reached %s after %.1f s\n", in_place() ? "\n" : "",
                 target_text().c_str(), s);
}

bool parse_start_point(const std::string& text, start_point& out, std::string& error) {
    out = start_point{};
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
        const unsigned long long ms = text.size() > 9 ? show_end_ms : std::stoull(text);
        if (ms >= show_end_ms) {
            error = text + " ms is past the show's end at " + std::to_string(show_end_ms) +
                    " ms of music";
            return false;
        }
        out.set = true;
        out.music_ms = static_cast<Uint32>(ms);
        return true;
    }
    if (const show_timeline::scene* s = show_timeline::find(text)) {
        out.set = true;
        out.scene = s->name;
        return true;
    }
    error = "'" + text + "' is neither a music time in ms nor a scene (";
    // Listed by position: two spellings of one literal need not share an address.
    for (int i = 0; i < show_timeline::scene_count; ++i)
        error += std::string(show_timeline::scenes[i].name) + (i + 1 == show_timeline::scene_count ? ")" : ", ");
    return false;
}

void start_gate::arm(const start_point& p) {
    point_ = p;
    armed_ = p.set;
    armed_ns_ = display::now_ns();
    last_print_ns_ = 0;
    printed_ = false;
}

bool start_gate::reached(const flip_info& info) {
    if (!armed_)
        return true;
    const bool due = point_.scene.empty()
                         ? info.music_playing && info.music_ms >= point_.music_ms
                         : std::strcmp(info.scene, point_.scene.c_str()) == 0;
    if (due)
        armed_ = false;
    return due;
}
