// --bench: the real cost of every frame (from the start of its work to its
// flip, waits excluded), in wall time and in the main thread's CPU time (the
// steadier figure on a shared machine), grouped by scene label; a table, a
// JSON report and an SVG chart of frame cost over music time, with each
// scene's flash summary and the flash limiter's cost. Reads timings and
// frames only.
#pragma once

#include "display.h"
#include "flash_report.h"

#include <string>
#include <vector>

struct scene_cost {
    std::string name;
    long frames = 0;
    double mean_ms = 0, p50_ms = 0, p99_ms = 0, max_ms = 0, total_ms = 0;  // wall time
    double cpu_mean_ms = 0, cpu_total_ms = 0;  // the main thread's CPU time
};

class bench_sink : public frame_sink {
public:
    // json_path: the report (the chart goes beside it as .svg); empty: the
    // table only. from_first_frame: the show's length counts from the first
    // frame measured (a run from a start point), not from tick 0.
    explicit bench_sink(std::string json_path = {}, bool from_first_frame = false)
        : json_path_(std::move(json_path)), from_first_frame_(from_first_frame) {}

    void frame(SDL_Surface* shown, const flip_info& info) override;
    // Prints the table and writes the report (see report).
    bool finish(Uint32 end_tick, long flips, std::string& error) override;
    // The cost of showing a frame, where a sink times it (the browser's).
    void add_present_cost(double ms) { present_ms_.push_back(ms); }

    // Per-scene figures in order of first appearance.
    std::vector<scene_cost> summary() const;
    double total_ms() const;
    // Tick of the first frame measured (0 before any).
    Uint32 first_tick() const { return samples_.empty() ? 0 : samples_.front().tick; }

    // The JSON report of a show lasting show_ticks: per-scene figures, and
    // the present costs when a sink timed them.
    std::string json(Uint32 show_ticks) const;
    // Prints the table to stdout; writes the JSON report and the chart
    // (json path with .svg) when there is a path. False with a message when
    // a file fails.
    bool report(Uint32 show_ticks, std::string& error) const;

private:
    struct sample {
        std::string scene;
        Uint32 tick;
        bool music;
        Uint32 music_ms;
        double cost_ms;
        double cpu_ms;
    };
    std::string json_path_;
    bool from_first_frame_;
    std::vector<sample> samples_;
    std::vector<double> present_ms_;
    // Flash safety of the frames as shown, and the limiter's cost per flip
    // (already part of each frame's cost) when the run has one.
    bool gentle_ = false;
    flash_report flash_;
    std::vector<double> limiter_ms_, limiter_cpu_ms_;
    // The song's rendering while the frames read the music clock (kept out
    // of their costs), summed.
    double song_ms_ = 0, song_cpu_ms_ = 0;
    // The limiter's and the analysis' figures the table and the JSON show.
    struct flash_costs {
        double limiter_mean = 0, limiter_cpu_mean = 0, limiter_p99 = 0, limiter_max = 0;
        double analysis_mean = 0, analysis_cpu_mean = 0;
    };
    flash_costs flash_figures() const;
};
