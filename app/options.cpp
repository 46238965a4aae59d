// Command-line parsing with CLI11: the leading "-w" is taken off first, the
// long options are read from the rest. A word that looks like a long option
// but is none, or a bad option value, is refused (status 2) with the closest
// option named; other words are ignored with a note, as the first-argument
// rule always did.
#include "options.h"

#include "printable.h"
#include "sound_layer.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr const char* usage_line = "Usage: ostramere [-w] [options]";

// Help: one usage line, what the show is, then the options.
class show_formatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string) const override {
        return std::string(usage_line) +
               "\n\nOstramere 05: a software-rendered audiovisual show of about two and a half "
               "minutes.\nFullscreen unless the first argument is exactly -w (a 640x480 window). "
               "Escape or closing\nthe window stops it.\n";
    }
    std::string make_description(const CLI::App*) const override { return {}; }
};

// Optimal string alignment distance: insertions, deletions, substitutions
// and swaps of two neighbours each cost 1.
int edit_distance(std::string_view a, std::string_view b) {
    const size_t n = a.size(), m = b.size();
    std::vector<std::vector<int>> d(n + 1, std::vector<int>(m + 1));
    for (size_t i = 0; i <= n; ++i) d[i][0] = static_cast<int>(i);
    for (size_t j = 0; j <= m; ++j) d[0][j] = static_cast<int>(j);
    for (size_t i = 1; i <= n; ++i)
        for (size_t j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[n][m];
}

}  // namespace

std::string closest_option(const std::string& word, const std::vector<std::string>& options) {
    // "--name=value" is judged by its name
    const std::string name = word.substr(0, word.find('='));
    std::string best;
    int best_distance = 0;
    for (const auto& o : options) {
        int d = edit_distance(name, o);
        // an abbreviation ("--cap") is as close as one typo
        if (name.size() >= 5 && o.compare(0, name.size(), name) == 0)
            d = std::min(d, 1);
        if (best.empty() || d < best_distance)
            best = o, best_distance = d;
    }
    // Close enough to be a typo: at most 2 edits, or a third of the name.
    const int allowed = std::max<int>(2, static_cast<int>(name.size()) / 3);
    return best_distance <= allowed ? best : std::string();
}

int fullscreen_from_args(int argc, char** argv) {
    return (argc > 1 && argv[1] && std::strcmp(argv[1], "-w") == 0) ? 0 : 1;
}

bool run_options::capture_video() const {
    const std::string ext = ".mp4";
    return capture.size() > ext.size() &&
           capture.compare(capture.size() - ext.size(), ext.size(), ext) == 0;
}

int parse_options(int argc, char** argv, run_options& out) {
    out.fullscreen = fullscreen_from_args(argc, argv);

    CLI::App app{"", "ostramere"};
    app.formatter(std::make_shared<show_formatter>());
    app.get_formatter()->column_width(24);
    app.allow_extras(true);
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.set_version_flag("--version", std::function<std::string()>(version_text),
                         "Print the versions of the show and its libraries and exit");
    app.add_option("--data", out.data_dir, "Folder holding gfx/ and sfx/ (default: current folder)")
        ->type_name("DIR")
        ->check(CLI::Validator(CLI::ExistingDirectory).description(""));
    app.add_option("--capture", out.capture,
                   "Capture headless on the simulated clock: a folder (PNG frames, "
                   "frames.csv, audio.wav) or a .mp4 file")
        ->type_name("OUT");
    app.add_option("--fps", out.fps, "Frames per second of a captured .mp4, 1..240 (default 60)")
        ->type_name("N")
        ->check(CLI::Range(1, 240).description(""));
    app.add_option("--png-every", out.png_every,
                   "Write every Nth captured frame as PNG (frames.csv lists all)")
        ->type_name("N")
        ->check(CLI::Range(1, 100000).description(""));
    auto* bench = app.add_option("--bench", out.bench_file,
                                 "Measure frame costs per scene on the simulated clock "
                                 "(default report: ostramere-bench.json)")
                      ->type_name("[FILE.json]")
                      ->expected(0, 1);
    app.add_flag("--nosound", out.nosound, "Run without a sound device (time still advances)");
    app.add_option("--av-offset", out.av_offset_ms,
                   "Delay the pictures by MS for sound that is heard late (negative: show "
                   "them early), " + std::to_string(sound_layer::min_av_offset_ms) + ".." +
                       std::to_string(sound_layer::max_av_offset_ms) + " (default 0)")
        ->type_name("MS")
        ->check(CLI::Range(sound_layer::min_av_offset_ms, sound_layer::max_av_offset_ms)
                    .description(""));
    app.add_option("--quit-at", out.quit_at, "Inject a stop request at tick MS")
        ->type_name("MS")
        ->check(CLI::Range(1u, 0xFFFFFFFFu).description(""));
    app.add_option("--scale", out.scale, "Scale the window by N, 1..8")
        ->type_name("N")
        ->check(CLI::Range(1, 8).description(""));
    app.add_flag("--sim", out.sim,
                 "Run headless on the simulated clock, nothing recorded (the browser lists the hashes)");
    app.add_flag("--check", out.check, "Check every data file and exit (status 2 on problems)");
    std::string start_text;
    app.add_option("--start", start_text,
                   "Start at music time T ms, or at a scene: title, beat, flame, corner, backdrop, "
                   "greetings, final. The show runs ahead unseen to T, then plays live from there "
                   "(or captures / benches from there, frames as in a full run)")
        ->check(CLI::Validator(
            [](std::string& text) {
                start_point p;
                std::string error;
                return parse_start_point(text, p, error) ? std::string() : error;
            },
            "T", "start point"));
    app.add_flag("--gentle", out.gentle,
                 "Reduce flashing: hold or soften only the parts of a frame that would flash more "
                 "than three times a second");
    app.add_option("--checkpoints", out.checkpoints,
                   "Folder of checkpoints a start point restores (default: checkpoints/ in the data "
                   "folder); a start without one that fits runs ahead from the beginning")
        ->type_name("DIR");
    app.add_option("--write-checkpoints", out.write_checkpoints,
                   "Run the show on the simulated clock and write a checkpoint at every scene's start "
                   "into DIR (with --gentle: those of a gentle run; with -w: of a windowed run)")
        ->type_name("DIR");
    app.add_flag("--no-checkpoints", out.no_checkpoints, "Start points run ahead from the beginning");
    app.add_option("--write-song-cache", out.write_song_cache,
                   "Render the song once into FILE, which start points then play from (--write-checkpoints "
                   "writes one beside the checkpoints), and exit without playing the show")
        ->type_name("FILE");
    app.add_option("--flash-report", out.flash_report,
                   "Run the show on the simulated clock, analyse every frame shown for flashes and "
                   "write the failing frames and a per-scene summary as JSON")
        ->type_name("FILE");

    // The leading "-w" is not an option of the parser.
    std::vector<std::string> args;
    for (int i = argc - 1; i >= 1; --i) {
        if (i == 1 && out.fullscreen == 0)
            break;
        args.emplace_back(argv[i]);
    }
    try {
        app.parse(args);  // CLI11 takes the arguments in reverse order
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "ostramere: %s (see --help)\n", printable(e.what()).c_str());
        return bad_option_status;
    }

    // Words that look like long options but are none are typos, refused
    // before anything opens; other words are only noted.
    std::vector<std::string> names;
    for (const CLI::Option* o : app.get_options())
        for (const auto& n : o->get_lnames()) names.push_back("--" + n);
    for (const auto& word : app.remaining()) {
        if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
            const std::string near = closest_option(word, names);
            std::fprintf(stderr, "ostramere: unknown option %s", printable(word).c_str());
            if (!near.empty())
                std::fprintf(stderr, "; did you mean %s?", near.c_str());
            std::fprintf(stderr, " (see --help)\n");
            return bad_option_status;
        }
        out.ignored.push_back(word);
    }
    if (!start_text.empty()) {
        std::string error;
        parse_start_point(start_text, out.start, error);  // checked above
    }
    out.bench = bench->count() > 0;
    if (!out.flash_report.empty() && (out.bench || !out.capture.empty())) {
        std::fprintf(stderr, "ostramere: --flash-report runs the show on its own; it cannot be "
                             "combined with --capture or --bench (the bench report has the "
                             "flash summary too)\n");
        return bad_option_status;
    }
    if (out.bench && out.bench_file.empty())
        out.bench_file = "ostramere-bench.json";
    return -1;
}
