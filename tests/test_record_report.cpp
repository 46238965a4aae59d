// The numbers a recording shows people: the bench report's per-scene
// figures in milliseconds, and the capture's progress share and ETA.
#include "bench.h"
#include "progress_bar.h"
#include "show_run.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A flip of `scene` whose work began `cost_ms` ago.
void flip_after(bench_sink& b, show_run& run, const char* scene, double cost_ms) {
    run.display.work_start = display::now_ns() - static_cast<std::uint64_t>(cost_ms * 1e6);
    flip_info info;
    info.scene = scene;
    b.frame(nullptr, info);
}

TEST(record_report, bench_figures_are_per_scene_milliseconds) {
    show_run run;
    bench_sink b;
    for (double ms : {4.0, 6.0, 20.0}) flip_after(b, run, "beat", ms);
    flip_after(b, run, "flame", 50.0);
    const auto rows = b.summary();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "beat");
    EXPECT_EQ(rows[0].frames, 3);
    // Each figure is a little above the planted cost (the call itself).
    EXPECT_GE(rows[0].mean_ms, 10.0);
    EXPECT_LT(rows[0].mean_ms, 11.0);
    EXPECT_GE(rows[0].p50_ms, 6.0);
    EXPECT_LT(rows[0].p50_ms, 7.0);
    EXPECT_GE(rows[0].max_ms, 20.0);
    EXPECT_LT(rows[0].max_ms, 21.0);
    EXPECT_GE(rows[0].total_ms, 30.0);
    EXPECT_LT(rows[0].total_ms, 32.0);
    EXPECT_GE(rows[1].mean_ms, 50.0);
    EXPECT_LT(rows[1].mean_ms, 51.0);
    EXPECT_GE(b.total_ms(), 80.0);
    EXPECT_LT(b.total_ms(), 83.0);

    b.add_present_cost(0.5);
    b.add_present_cost(1.5);
    const std::string json = b.json(1234);
    EXPECT_NE(json.find("\"show_ms\": 1234"), std::string::npos) << json;
    EXPECT_NE(json.find("\"name\": \"flame\", \"frames\": 1, \"mean_ms\": 50"), std::string::npos) << json;
    EXPECT_NE(json.find("\"present\": {\"frames\": 2, \"mean_ms\": 1, \"p50_ms\": 0.5, \"p99_ms\": 1.5, "
                        "\"max_ms\": 1.5}"),
              std::string::npos)
        << json;
}

TEST(record_report, progress_counts_the_capture_from_its_own_first_frame) {
    // Half-way through a capture from tick 0, after 30 s: 30 s to go.
    progress_estimate e = estimate_progress(50000, 0, 100000, 30.0);
    EXPECT_DOUBLE_EQ(e.done, 0.5);
    EXPECT_DOUBLE_EQ(e.own, 0.5);
    ASSERT_TRUE(e.eta_known);
    EXPECT_DOUBLE_EQ(e.eta_s, 30.0);
    // From a start point at 60 % of the show: at 80 % it is half done.
    e = estimate_progress(80000, 60000, 100000, 10.0);
    EXPECT_DOUBLE_EQ(e.done, 0.8);
    EXPECT_DOUBLE_EQ(e.own, 0.5);
    EXPECT_DOUBLE_EQ(e.eta_s, 10.0);
    // Past the expected end the shares stop at 1, nothing is left.
    e = estimate_progress(120000, 0, 100000, 50.0);
    EXPECT_DOUBLE_EQ(e.done, 1.0);
    EXPECT_DOUBLE_EQ(e.eta_s, 0.0);
    // Too early to tell (1 % or less of its own part), and no expected length.
    EXPECT_FALSE(estimate_progress(1000, 0, 100000, 1.0).eta_known);
    EXPECT_TRUE(estimate_progress(1100, 0, 100000, 1.0).eta_known);
    EXPECT_FALSE(estimate_progress(1000, 0, 0, 1.0).eta_known);
    EXPECT_DOUBLE_EQ(estimate_progress(50000, 100000, 100000, 1.0).own, 1.0);
}

}  // namespace
