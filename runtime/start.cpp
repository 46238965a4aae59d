// The start test: music time or scene label against the armed start point,
// a progress line on stderr while the show runs ahead for longer than a
// second, and the hand-over hook when the point is reached.
#include "start.h"

#include "display.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace start {
namespace {
start_point point;
bool armed = false;
std::function<void()> hook;
std::uint64_t armed_ns = 0;
std::uint64_t last_print_ns = 0;
bool printed = false;

std::string target_text() {
    if (!point.scene.empty())
        return "the " + point.scene + " scene";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u:%02u.%u", point.music_ms / 60000, (point.music_ms / 1000) % 60,
                  (point.music_ms / 100) % 10);
    return buf;
}

// Once a second has passed, shows where the run ahead has got to: in place
// on a terminal (5 times a second), otherwise a line every 5 s.
void progress(const frame_info& info) {
    const std::uint64_t now = display::now_ns();
    const bool tty = isatty(STDERR_FILENO);
    if (now - armed_ns < 1'000'000'000ull ||
        now - last_print_ns < (tty ? 200'000'000ull : 5'000'000'000ull))
        return;
    last_print_ns = now;
    printed = true;
    char music[32] = "-:--.-";
    if (info.music_playing)
        std::snprintf(music, sizeof music, "%u:%02u.%u", info.music_ms / 60000,
                      (info.music_ms / 1000) % 60, (info.music_ms / 100) % 10);
    std::fprintf(stderr, "%sostramere: running ahead to %s: music %s, frame %ld%s", tty ? "\r" : "",
                 target_text().c_str(), music, info.index, tty ? "   " : "\n");
}

void finish_progress() {
    if (!printed)
        return;
    const double s = double(display::now_ns() - armed_ns) * 1e-9;
    std::fprintf(stderr, "%sostramere: reached %s after %.1f s\n", isatty(STDERR_FILENO) ? "\n" : "",
                 target_text().c_str(), s);
}
}  // namespace

bool parse(const std::string& text, start_point& out, std::string& error) {
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
    for (const char* name : scene_names)
        if (text == name) {
            out.set = true;
            out.scene = name;
            return true;
        }
    error = "'" + text + "' is neither a music time in ms nor a scene (";
    for (const char* name : scene_names) error += std::string(name) + (name == scene_names[6] ? ")" : ", ");
    return false;
}

void arm(const start_point& p, std::function<void()> on_reach) {
    point = p;
    armed = p.set;
    hook = std::move(on_reach);
    armed_ns = display::now_ns();
    last_print_ns = 0;
    printed = false;
}

bool pending() { return armed; }

bool reached(const frame_info& info) {
    if (!armed)
        return true;
    const bool due = point.scene.empty()
                         ? info.music_playing && info.music_ms >= point.music_ms
                         : std::strcmp(info.scene, point.scene.c_str()) == 0;
    if (!due) {
        progress(info);
        return false;
    }
    armed = false;
    finish_progress();
    if (hook)
        hook();
    return true;
}

void reset() {
    point = start_point{};
    armed = false;
    hook = nullptr;
}

}  // namespace start
