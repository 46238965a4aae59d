// Program entry in the browser: the page's arguments (--data DIR, --sim,
// --bench, --quit-at MS), the data check, the canvas, the page sink, the
// sound output (the page's worklet on a live run), intro,
// then the bench table and the end handed back to the page. Draws nothing.
// A simulated run (--sim, --bench) takes the path of a desktop capture
// without -w: the simulated clock, no sound output, the settle wait.
#include "bench.h"
#include "clock.h"
#include "display.h"
#include "intro.h"
#include "platform.h"
#include "preflight.h"
#include "sound_layer.h"
#include "web_audio.h"
#include "web_page.h"

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct web_args {
    std::string data_dir = "/data";
    bool sim = false;
    bool bench = false;
    unsigned quit_at = 0;
};

// The page builds the arguments itself; anything else is a page fault.
bool parse(int argc, char** argv, web_args& out, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--sim") {
            out.sim = true;
        } else if (a == "--bench") {
            out.bench = true;
        } else if ((a == "--data" || a == "--quit-at") && i + 1 < argc) {
            const std::string v = argv[++i];
            if (a == "--data") {
                out.data_dir = v;
                continue;
            }
            char* end = nullptr;
            errno = 0;
            const unsigned long ms = std::strtoul(v.c_str(), &end, 10);
            if (v.empty() || *end || errno || ms == 0 || ms > 0xFFFFFFFFul || v[0] == '-') {
                error = "quit-at must be a positive number of milliseconds, not '" + v + "'";
                return false;
            }
            out.quit_at = static_cast<unsigned>(ms);
        } else {
            error = "unknown argument '" + a + "'";
            return false;
        }
    }
    return true;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t rank = static_cast<size_t>(p / 100.0 * double(v.size()) + 0.999999);
    return v[std::clamp<size_t>(rank, 1, v.size()) - 1];
}

std::string bench_json(const bench_sink& b, const std::vector<double>& present) {
    std::string out = "{\"scenes\":[";
    char row[320];
    bool first = true;
    for (const auto& s : b.summary()) {
        std::snprintf(row, sizeof row,
                      "%s{\"name\":\"%s\",\"frames\":%ld,\"mean_ms\":%.4f,\"p50_ms\":%.4f,\"p99_ms\":%.4f,"
                      "\"max_ms\":%.4f,\"total_ms\":%.3f}",
                      first ? "" : ",", s.name.c_str(), s.frames, s.mean_ms, s.p50_ms, s.p99_ms, s.max_ms,
                      s.total_ms);
        out += row;
        first = false;
    }
    double sum = 0;
    for (double x : present) sum += x;
    std::snprintf(row, sizeof row,
                  "],\"present\":{\"frames\":%zu,\"mean_ms\":%.4f,\"p50_ms\":%.4f,\"p99_ms\":%.4f,\"max_ms\":%.4f},"
                  "\"total_ms\":%.3f}",
                  present.size(), present.empty() ? 0.0 : sum / double(present.size()), percentile(present, 50),
                  percentile(present, 99), present.empty() ? 0.0 : *std::max_element(present.begin(), present.end()),
                  b.total_ms());
    out += row;
    return out;
}

int finish(int status) {
    web_page::ended(status);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    web_args args;
    std::string error;
    if (!parse(argc, argv, args, error)) {
        std::fprintf(stderr, "ostramere: %s\n", error.c_str());
        return finish(1);
    }
    if (chdir(args.data_dir.c_str()) != 0) {
        std::fprintf(stderr, "ostramere: cannot enter the data folder %s: %s\n", args.data_dir.c_str(),
                     std::strerror(errno));
        return finish(1);
    }
    if (!preflight(stderr))
        return finish(preflight_failed_status);

    const bool simulated = args.sim || args.bench;
    clk::set_simulated(simulated);
    clk::set_quit_at(args.quit_at);
    sound_layer::options so;
    so.nosound = simulated;
    sound_layer::configure(so);
    // A live run plays through the page's audio worklet.
    if (!simulated)
        sound_layer::set_output(&web_audio::output());

    bench_sink bench;
    web_page::page_sink sink(simulated, args.bench, args.bench ? &bench : nullptr);
    display::set_sink(&sink);

    // The page is the window: a live run starts at once, as a windowed run
    // does; a simulated run keeps the fullscreen path (the settle wait) of a
    // desktop capture, so its frames are the capture's frames.
    fullscreen = simulated ? 1 : 0;
    platform::screen_request request;
    request.fullscreen = false;  // the page scales the canvas and owns fullscreen
    if (!platform::init_video(request, error)) {
        std::fprintf(stderr, "ostramere: %s\n", error.c_str());
        return finish(1);
    }
    screen = platform::open_screen(request, error);
    if (!screen) {
        std::fprintf(stderr, "ostramere: %s\n", error.c_str());
        platform::quit();
        return finish(1);
    }
    platform::set_caption("Ostramere 05");
    platform::show_cursor(false);
    display::set_headless(simulated);  // the page sink shows a simulated run now and then

    web_page::playing();
    intro();

    display::set_sink(nullptr);
    if (args.bench)
        web_page::bench(bench_json(bench, sink.present_costs()));
    platform::show_cursor(true);
    platform::quit();
    return finish(0);
}
