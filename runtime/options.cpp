// Command-line parsing with CLI11: the leading "-w" is taken off first, the
// long options are read from the rest. Arguments the show has no use for are
// ignored with a note, as the first-argument rule always did.
#include "options.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>

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

    CLI::App app{"Ostramere 05: a software-rendered audiovisual show.\n"
                 "Usage: ostramere [-w] [options]   (-w first: a 640x480 window)",
                 "ostramere"};
    app.allow_extras(true);
    app.set_version_flag("--version", std::string("ostramere 05 (build ") + OSTRA_VERSION + ")");
    app.add_option("--data", out.data_dir, "Folder holding gfx/ and sfx/ (default: current folder)")
        ->check(CLI::ExistingDirectory);
    app.add_option("--capture", out.capture,
                   "Capture headless on the simulated clock: a folder for PNG frames, "
                   "frames.csv and audio.wav, or a .mp4 file");
    app.add_option("--fps", out.fps, "Frames per second of a captured .mp4 (default 60)")
        ->check(CLI::Range(1, 240));
    app.add_option("--png-every", out.png_every,
                   "Write every Nth captured frame as PNG (frames.csv lists all)")
        ->check(CLI::Range(1, 100000));
    auto* bench = app.add_option("--bench", out.bench_file,
                                 "Measure frame costs per scene on the simulated clock; "
                                 "report to FILE.json (default ostramere-bench.json)")
                      ->expected(0, 1);
    app.add_flag("--nosound", out.nosound, "Run without a sound device (time still advances)");
    app.add_option("--quit-at", out.quit_at, "Inject a stop request at tick MS")
        ->check(CLI::Range(1u, 0xFFFFFFFFu));
    app.add_option("--scale", out.scale, "Scale the window by N")->check(CLI::Range(1, 8));
    app.add_flag("--check", out.check, "Check every data file and exit (status 2 on problems)");

    // The leading "-w" is not an option of the parser.
    std::vector<std::string> args;
    for (int i = argc - 1; i >= 1; --i) {
        if (i == 1 && out.fullscreen == 0)
            break;
        args.emplace_back(argv[i]);
    }
    try {
        app.parse(args);  // CLI11 takes the arguments in reverse order
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    out.bench = bench->count() > 0;
    if (out.bench && out.bench_file.empty())
        out.bench_file = "ostramere-bench.json";
    out.ignored = app.remaining();
    return -1;
}
