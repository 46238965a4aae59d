// --bench: the real cost of every frame (from the start of its work to its
// flip, waits excluded), in wall time and in the main thread's CPU time (the
// steadier figure on a shared machine), grouped by scene label; a table, a
// JSON report and an SVG chart of frame cost over music time, with each
// scene's flash summary and the flash limiter's cost. Reads timings and frames only.
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
    // gentle: the flash limiter runs in every flip; its cost is reported.
    explicit bench_sink(bool gentle = false) : gentle_(gentle) {}
    void frame(SDL_Surface* shown, const frame_info& info) override;

    // Per-scene figures in order of first appearance.
    std::vector<scene_cost> summary() const;
    double total_ms() const;
    // Tick of the first frame measured (0 before any).
    Uint32 first_tick() const { return samples_.empty() ? 0 : samples_.front().tick; }

    // Prints the table to stdout; writes the JSON report and the chart
    // (json_path with .svg). False with a message when a file fails.
    bool report(const std::string& json_path, Uint32 show_ticks, std::string& error) const;

private:
    struct sample {
        std::string scene;
        Uint32 tick;
        bool music;
        Uint32 music_ms;
        double cost_ms;
        double cpu_ms;
    };
    std::vector<sample> samples_;
    // Flash safety of the frames as shown, and the limiter's cost per flip
    // (already part of each frame's cost).
    bool gentle_;
    flash_report flash_;
    std::vector<double> limiter_ms_, limiter_cpu_ms_;
};
