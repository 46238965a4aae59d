// The command line: the "-w" rule for the first argument and the long
// options after it, the same on the desktop and in the browser (the page
// builds its arguments). Parses only; run_show acts on the result.
#pragma once

#include "start.h"

namespace sound_device {
class device;
}
class hold_source;

#include <string>
#include <vector>

// 1 (fullscreen) unless there is at least one argument and the first is
// exactly the two characters "-w".
int fullscreen_from_args(int argc, char** argv);

struct run_options {
    int fullscreen = 1;
    std::string data_dir;      // --data DIR: change into DIR before anything else
    std::string capture;       // --capture OUT: a folder, or a file ending in .mp4
    int fps = 60;              // --fps N: frames per second of a captured video
    int png_every = 1;         // --png-every N: write every Nth captured frame as PNG
    bool bench = false;        // --bench [FILE.json]
    std::string bench_file;    // JSON report; the chart goes beside it as .svg
    bool nosound = false;      // --nosound: no sound device, the clock still runs
    int av_offset_ms = 0;      // --av-offset MS: pictures this much later than the sound
    unsigned quit_at = 0;      // --quit-at MS: inject a stop request at tick MS (0: off)
    int scale = 0;             // --scale N: window scaling (0: leave as is)
    bool check = false;        // --check: preflight only
    bool sim = false;          // --sim: the simulated clock without capture or bench
    start_point start;         // --start T: music ms or a scene's name; run ahead unseen to it
    bool gentle = false;       // --gentle: the flash limiter decides what is shown
    std::string flash_report;  // --flash-report FILE: analyse every frame shown, write JSON
    std::string checkpoints;   // --checkpoints DIR: where start points find checkpoints
    std::string write_checkpoints;  // --write-checkpoints DIR: write one at every scene's start
    bool no_checkpoints = false;    // --no-checkpoints: start points always run ahead
    std::string write_song_cache;   // --write-song-cache FILE: render the song into FILE, no show
    std::vector<std::string> ignored;  // arguments the show does not use
    // Not from the command line: the sound device a live run plays through
    // (the browser's worklet); null: SDL's.
    sound_device::device* sound_output = nullptr;
    // Not from the command line: what may hold a live run (the web page);
    // null: nothing does.
    hold_source* hold = nullptr;
    // Not from the command line: called before a restored song is read, to
    // wait for a song cache on its way into the checkpoints' folder (the
    // web page's worker makes one); null: nothing is on its way.
    void (*await_song_cache)() = nullptr;

    // Capture, bench, --sim, the flash report and writing checkpoints run on
    // the simulated clock from start to end (writing the song cache opens
    // nothing either).
    bool simulated() const {
        return sim || bench || !capture.empty() || !flash_report.empty() || !write_checkpoints.empty() ||
               !write_song_cache.empty();
    }
    bool capture_video() const;  // capture target ends in .mp4
};

// Exit status of a refused command line (an unknown --word, a bad value).
inline constexpr int bad_option_status = 2;

// Parses argv. Returns -1 to go on, or the exit status to leave with (0
// after --help or --version; bad_option_status after an unknown long option
// or a bad value, printed on stderr with the closest option).
int parse_options(int argc, char** argv, run_options& out);

// The known option closest to a mistyped "--word" (or "--word=value"), or
// "" when none is near enough to be a typo.
std::string closest_option(const std::string& word, const std::vector<std::string>& options);

// "ostramere 05 <version> (<build type>)" and the linked SDL and libopenmpt.
std::string version_text();
