// --flash-report and the bench's flash summary: every frame as shown goes
// through both flash readings at both field steps; the failing frames (music
// time, scene, reading, rule, worst transition count) and a per-scene summary
// become a printed list of failing seconds and a JSON report. Reads frames only.
#pragma once

#include "analysis.h"
#include "cross_check.h"
#include "display.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The four checks of a frame: the first and the second reading, each on
// fields at a step of a sixth and of a twelfth.
enum flash_check { first_sixth, first_twelfth, second_sixth, second_twelfth, flash_checks };
// "first_sixth", ...: the names the report gives them.
const char* flash_check_name(int check);
using flash_verdicts = std::array<flash::reading_verdict, flash_checks>;
flash_verdicts flash_readings(const flash::frame_verdict& first, const flash::cross_verdict& cross);

class flash_report : public frame_sink {
public:
    struct failure {
        long index;
        Uint32 tick;
        bool music;
        Uint32 music_ms;
        std::string scene;
        flash::frame_verdict verdict;  // the first reading on a sixth
        flash_verdicts checks;         // every check (the first one again)
    };
    // Per check: frames it fails, and the most transitions of a field in a
    // window over all of them.
    struct check_worst {
        long failing = 0;
        int general = 0, red = 0;
    };
    struct scene {
        std::string name;
        long frames = 0;
        long failing = 0;       // frames any check fails
        int worst_general = 0;  // the most transitions of a field in a window, over all its frames and checks
        int worst_red = 0;
        std::array<check_worst, flash_checks> checks{};
    };

    // path: where finish writes the JSON report (empty: nothing written,
    // nothing printed; the bench keeps one for its summary). gentle: the
    // run's frames went through the flash limiter (the report says so).
    explicit flash_report(std::string path = {}, bool gentle = false)
        : path_(std::move(path)), gentle_(gentle) {}

    // Refuses a report file that cannot be written, before the show starts.
    bool open(std::string& error) override;
    void frame(SDL_Surface* shown, const flip_info& info) override;
    // Prints the failing seconds and the summary, then writes the report.
    bool finish(Uint32 end_tick, long flips, std::string& error) override;

    long frames() const { return frames_; }
    const std::vector<failure>& failures() const { return failures_; }
    // Per scene, in order of first appearance.
    const std::vector<scene>& scenes() const { return scenes_; }
    // Show time (ticks) during which a failing frame was on screen.
    Uint32 failing_ms() const { return failing_ms_; }
    // Wall and CPU time the analysis took, in ms over all frames.
    double analysis_ms() const { return double(analysis_ns_) * 1e-6; }
    double analysis_cpu_ms() const { return double(analysis_cpu_ns_) * 1e-6; }

    // One line per second of show time with failing frames (when
    // `seconds`), then the summary line.
    void print(std::FILE* out, bool seconds = true) const;
    // The per-scene summary as a JSON array (for the bench report too).
    std::string scenes_json(const std::string& indent) const;
    // Per check over the whole run: failing frames and worst counts.
    check_worst check_total(int check) const;
    // Those as one JSON object keyed by check name.
    std::string checks_json() const;
    // The whole report; false with a message naming the file on failure.
    bool write(std::string& error) const;

private:
    std::string path_;
    bool gentle_;
    std::unique_ptr<flash::analysis> analysis_;
    std::unique_ptr<flash::cross_check> cross_;
    long frames_ = 0;
    std::vector<failure> failures_;
    std::vector<scene> scenes_;
    Uint32 failing_ms_ = 0;
    bool last_failed_ = false;
    Uint32 last_tick_ = 0;
    std::uint64_t analysis_ns_ = 0, analysis_cpu_ns_ = 0;
};

// "general", "red" or "general+red": the rules a verdict fails.
const char* flash_kind(const flash::frame_verdict& v);
const char* flash_kind(const flash::reading_verdict& v);
// "first", "second" or "first+second": the readings that fail, at either step.
const char* flash_failing_readings(const flash_verdicts& v);
