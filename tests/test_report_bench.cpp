// The numbers the reports show people: the bench report's per-scene figures
// in milliseconds, its files, JSON strings as written, and the flash
// report's failing seconds and scenes.
#include "bench.h"
#include "flash_report.h"
#include "json_writer.h"
#include "show_run.h"
#include "test_rt_util.h"
#include "test_sound_xm.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A flip of `scene` whose work took `cost_ms`.
void flip_after(bench_sink& b, const char* scene, double cost_ms) {
    flip_info info;
    info.scene = scene;
    info.costs.work_ns = static_cast<std::uint64_t>(cost_ms * 1e6);
    b.frame(nullptr, info);
}

TEST(ReportBench, BenchFiguresArePerSceneMilliseconds) {
    show_run run;
    bench_sink b;
    for (double ms : {4.0, 6.0, 20.0}) flip_after(b, "beat", ms);
    flip_after(b, "flame", 50.0);
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
    EXPECT_NE(json.find("},\n    {\"name\": \"flame\""), std::string::npos) << "rows apart by commas: " << json;
    EXPECT_EQ(json.find(",\n  ]"), std::string::npos) << "no comma after the last row: " << json;
    EXPECT_NE(json.find("\"name\": \"flame\", \"frames\": 1, \"mean_ms\": 50"), std::string::npos) << json;
    // Frames without a surface are not analysed; no limiter ran.
    EXPECT_NE(json.find("  ],\n  \"flash\": {\"gentle\": false, \"failing_frames\": 0,"), std::string::npos)
        << json;
    EXPECT_EQ(json.find("limiter_mean_ms"), std::string::npos) << json;
    EXPECT_NE(json.find("\"scenes\": [\n    ]},\n  \"present\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"present\": {\"frames\": 2, \"mean_ms\": 1, \"p50_ms\": 0.5, \"p99_ms\": 1.5, "
                        "\"max_ms\": 1.5}"),
              std::string::npos)
        << json;
}

// A flip hands the bench the frame's costs, measured from the start of its work.
class ReportBenchFlip : public rt_test::runtime_fixture {
protected:
    // Hands every flip to the bench and keeps the last one's costs.
    struct keeper : frame_sink {
        bench_sink bench;
        frame_costs costs;
        void frame(SDL_Surface* shown, const flip_info& info) override {
            costs = info.costs;
            bench.frame(shown, info);
        }
    } sink;
    void SetUp() override {
        runtime_fixture::SetUp();
        run->display.sink = &sink;
        run->display.headless = true;
        set_scene("beat");
    }
};

TEST_F(ReportBenchFlip, TheCpuFigureCountsThisThreadsWorkSinceTheFrameBegan) {
    display::mark_work_start();
    const std::uint64_t cpu0 = display::cpu_now_ns();
    volatile std::uint64_t spin = 0;
    while (display::cpu_now_ns() - cpu0 < 3'000'000ull) spin = spin + 1;  // 3 ms of CPU
    flip_screen();
    const auto row = sink.bench.summary().at(0);
    EXPECT_GE(row.cpu_mean_ms, 3.0);
    EXPECT_GE(row.mean_ms, 3.0);
    EXPECT_LE(row.cpu_mean_ms, row.mean_ms + 0.5) << "no more CPU than wall time on one thread";
    EXPECT_DOUBLE_EQ(row.cpu_total_ms, row.cpu_mean_ms);
    // The flip begins the next frame's work: a flip right after costs next to nothing.
    flip_screen();
    EXPECT_LT(sink.costs.work_ns, 1'000'000u);
    EXPECT_LT(sink.costs.work_cpu_ns, 1'000'000u);
}

// Reading the music clock on the simulated clock renders the song up to
// now; with a device its own thread does that, so the frame is not charged.
TEST_F(ReportBenchFlip, TheSongRenderedInsideAFrameIsKeptOutOfItsCost) {
    rt_test::temp_dir dir("rec-song");
    const std::string xm = test_xm::write_silent((dir.path / "s.xm").string());
    ASSERT_FALSE(xm.empty());
    FMUSIC_MODULE* m = FMUSIC_LoadSong(xm.c_str());
    ASSERT_NE(m, nullptr);
    FMUSIC_PlaySong(m);
    // a frame that only renders 60 s of song: 60 s ahead, then the clock is read
    display::mark_work_start();
    clk::advance_to(clk::ticks() + 60000);
    FMUSIC_GetTime(m);
    flip_screen();
    const frame_costs c = sink.costs;
    EXPECT_GT(c.song_ns, 0u);
    EXPECT_GT(c.song_cpu_ns, 0u);
    EXPECT_GE(c.work_ns, c.song_ns) << "the song's rendering is part of the frame's work";
    EXPECT_GE(c.work_cpu_ns, c.song_cpu_ns);
    // cost = the frame's time less the song's
    const auto row = sink.bench.summary().at(0);
    EXPECT_DOUBLE_EQ(row.mean_ms, double(c.work_ns) * 1e-6 - double(c.song_ns) * 1e-6);
    EXPECT_DOUBLE_EQ(row.cpu_mean_ms, double(c.work_cpu_ns) * 1e-6 - double(c.song_cpu_ns) * 1e-6);
    EXPECT_NE(sink.bench.json(60000).find("\"song_render_ms\": "), std::string::npos);
    // the next frame starts from nothing rendered
    flip_screen();
    EXPECT_EQ(sink.costs.song_ns, 0u);
    EXPECT_EQ(sink.costs.song_cpu_ns, 0u);
    FMUSIC_FreeSong(m);
}

TEST(ReportBench, TheReportWritesTheTableTheJsonAndAChartWithEveryFrame) {
    const auto dir = std::filesystem::temp_directory_path() / ("ostra-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    show_run run;
    bench_sink b((dir / "costs.json").string(), true);
    // Four scenes: the rows fill their storage, so a loop one past them reads outside it.
    for (const char* scene : {"loading", "beat", "beat", "flame", "final"}) flip_after(b, scene, 2.0);
    std::string error;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(b.finish(1000, 5, error)) << error;
    const std::string table = testing::internal::GetCapturedStdout();
    EXPECT_NE(table.find("\nbeat                   2 "), std::string::npos) << table;
    EXPECT_NE(table.find("for 5 frames; the show lasts 1000 ms"), std::string::npos) << table;
    std::ifstream json(dir / "costs.json"), svg(dir / "costs.svg");
    const std::string svg_text{std::istreambuf_iterator<char>(svg), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(json.good());
    size_t circles = 0;
    for (size_t at = svg_text.find("<circle"); at != std::string::npos; at = svg_text.find("<circle", at + 1))
        ++circles;
    EXPECT_EQ(circles, 5u);
    for (const char* legend : {">loading</text>", ">beat</text>", ">flame</text>", ">final</text>"})
        EXPECT_NE(svg_text.find(legend), std::string::npos) << legend;

    // A report that cannot be written names its file.
    bench_sink lost((dir / "none" / "costs.json").string());
    flip_after(lost, "beat", 1.0);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(lost.finish(1000, 1, error));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(error, (dir / "none" / "costs.json").string() + ": cannot write the bench report");
    std::filesystem::remove_all(dir);
}

// Names reach both reports' JSON as strings a reader takes back whole:
// quotes and backslashes escaped, every control character written as an
// escape, any other byte (UTF-8) kept as it is.
TEST(ReportJson, StringsEscapeWhatJsonNeedsAndKeepEveryOtherByte) {
    EXPECT_EQ(json_string(""), "\"\"");
    EXPECT_EQ(json_string("say \"hi\" \\o/"), "\"say \\\"hi\\\" \\\\o/\"");
    EXPECT_EQ(json_string("a\nb\tc\rd\be\ff"), "\"a\\nb\\tc\\rd\\be\\ff\"");
    EXPECT_EQ(json_string(std::string("\0\x01\x0b\x1f\x20\x7f", 6)), "\"\\u0000\\u0001\\u000b\\u001f \x7f\"");
    EXPECT_EQ(json_string("fl\xC3\xB8te/\xFF"), "\"fl\xC3\xB8te/\xFF\"");

    show_run run;
    bench_sink b;
    const char* name = "say \"hi\"\n\\o/";
    flip_after(b, name, 1.0);
    EXPECT_NE(b.json(0).find("{\"name\": \"say \\\"hi\\\"\\n\\\\o/\", \"frames\": 1,"), std::string::npos)
        << b.json(0);
    flash_report r;
    SDL_Surface* s = SDL_CreateRGBSurface(0, 64, 48, 16, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_NE(s, nullptr);
    flip_info info;
    info.scene = name;
    r.frame(s, info);
    SDL_FreeSurface(s);
    EXPECT_NE(r.scenes_json("").find("{\"name\": \"say \\\"hi\\\"\\n\\\\o/\", \"frames\": 1,"), std::string::npos)
        << r.scenes_json("");
}

}  // namespace

TEST(ReportFlash, TheFlashReportGroupsFailingSecondsBySceneAndListsScenesAsJson) {
    show_run run;
    const auto file = std::filesystem::temp_directory_path() / ("ostra-flash-" + std::to_string(getpid()) + ".json");
    flash_report r(file.string());
    SDL_Surface* s = SDL_CreateRGBSurface(0, 640, 480, 16, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_NE(s, nullptr);
    flip_info info;
    info.scene = "beat";
    r.frame(s, info);
    // "flame" flashes black and white every 50 ms into the next second,
    // where "corner" goes on flashing: the printed list groups the failing
    // frames by second and by scene.
    info.scene = "flame";
    for (int i = 1; i <= 30; ++i) {
        info.tick = static_cast<Uint32>(i) * 50;
        if (i == 25)
            info.scene = "corner";
        SDL_FillRect(s, nullptr, i % 2 ? 0xFFFF : 0);
        r.frame(s, info);
    }
    SDL_FreeSurface(s);
    char* text = nullptr;
    size_t text_size = 0;
    std::FILE* out = open_memstream(&text, &text_size);
    r.print(out);
    std::fclose(out);
    const std::string printed(text, text_size);
    std::free(text);
    std::vector<std::string> groups;  // second and scene of each grouped line
    for (size_t at = 0; (at = printed.find("flash: tick  ", at)) != std::string::npos; at += 13)
        groups.push_back(printed.substr(at + 13, printed.find(" failing", at) - at - 13));
    ASSERT_EQ(groups.size(), 3u) << printed;
    EXPECT_EQ(groups[0].substr(0, 17), "0:00  flame      ") << printed;
    EXPECT_NE(printed.find("transitions in a field within a second (first+second)\nflash: tick  0:01  flame"),
              std::string::npos)
        << printed;
    EXPECT_EQ(groups[1].substr(0, 17), "0:01  flame      ") << printed;
    EXPECT_EQ(groups[2].substr(0, 17), "0:01  corner     ") << printed;
    // Each rule fails above its limit, not at it.
    flash::frame_verdict v;
    v.general = v.red = flash::max_transitions;
    EXPECT_STREQ(flash_kind(v), "none");
    ++v.red;
    EXPECT_STREQ(flash_kind(v), "red");
    ++v.general;
    EXPECT_STREQ(flash_kind(v), "general+red");
    --v.red;
    EXPECT_STREQ(flash_kind(v), "general");
    // Which readings fail: either step of a reading counts for it.
    flash_verdicts checks{};
    EXPECT_STREQ(flash_failing_readings(checks), "none");
    checks[second_twelfth].red = flash::max_transitions + 1;
    EXPECT_STREQ(flash_failing_readings(checks), "second");
    EXPECT_STREQ(flash_kind(checks[second_twelfth]), "red");
    checks[first_twelfth].general = flash::max_transitions + 1;
    EXPECT_STREQ(flash_failing_readings(checks), "first+second");
    checks[second_twelfth].red = flash::max_transitions;
    EXPECT_STREQ(flash_failing_readings(checks), "first");
    checks[first_twelfth].general = 0;
    checks[second_sixth].general = flash::max_transitions + 1;
    EXPECT_STREQ(flash_failing_readings(checks), "second");
    checks[first_sixth].red = flash::max_transitions + 1;
    EXPECT_STREQ(flash_failing_readings(checks), "first+second");
    // The first reading's sixth names the field of the rule with more
    // transitions, the general rule's on a tie; the cross check's three
    // verdicts pass through as they came.
    flash::frame_verdict tie;
    tie.general = tie.red = flash::max_transitions + 2;
    tie.general_field = 4;
    tie.red_field = 9;
    flash::cross_verdict cross;
    cross.first_twelfth.field = 30;
    cross.second_sixth.field = 11;
    cross.second_twelfth.field = 70;
    flash_verdicts read = flash_readings(tie, cross);
    EXPECT_EQ(read[first_sixth].field, 4) << "a tie names the general rule's field";
    EXPECT_EQ(read[first_sixth].general, flash::max_transitions + 2);
    EXPECT_EQ(read[first_sixth].red, flash::max_transitions + 2);
    EXPECT_EQ(read[first_twelfth].field, 30);
    EXPECT_EQ(read[second_sixth].field, 11);
    EXPECT_EQ(read[second_twelfth].field, 70);
    ++tie.red;
    EXPECT_EQ(flash_readings(tie, cross)[first_sixth].field, 9) << "one more red transition names the red field";
    tie.general += 2;
    EXPECT_EQ(flash_readings(tie, cross)[first_sixth].field, 4);
    EXPECT_STREQ(flash_check_name(first_twelfth), "first_twelfth");
    EXPECT_STREQ(flash_check_name(second_twelfth), "second_twelfth");
    // The summary lists only scenes with failing frames ("beat" has none).
    EXPECT_NE(printed.find("\nflash: 24 of 31 frames fail (1.1 s of the show): flame 18 (worst 20), "
                           "corner 6 (worst 20)"),
              std::string::npos)
        << printed;
    EXPECT_NE(printed.find("\nflash: by reading and field step: first_sixth 24 failing (worst 20), first_twelfth 24 "
                           "failing (worst 20), second_sixth 24 failing (worst 20), second_twelfth 24 failing (worst 20)\n"),
              std::string::npos)
        << printed;
    const std::string json = r.scenes_json("");
    EXPECT_NE(json.find("\"name\": \"beat\", \"frames\": 1"), std::string::npos) << json;
    EXPECT_NE(json.find("},\n  {\"name\": \"flame\""), std::string::npos) << "scenes apart by commas: " << json;
    EXPECT_EQ(json.find("},\n]"), std::string::npos) << "no comma after the last scene: " << json;
    flash_report quoted;
    info.scene = "say \"hi\" \\";
    SDL_Surface* one = SDL_CreateRGBSurface(0, 8, 8, 16, 0xF800, 0x07E0, 0x001F, 0);
    quoted.frame(one, info);
    SDL_FreeSurface(one);
    EXPECT_NE(quoted.scenes_json("").find("{\"name\": \"say \\\"hi\\\" \\\\\", "), std::string::npos)
        << quoted.scenes_json("");
    // A report that can be written opens, as does none; one in a missing
    // folder is refused with its path.
    std::string error;
    EXPECT_TRUE(quoted.open(error));
    ASSERT_TRUE(r.open(error)) << error;
    const std::string lost = (file.parent_path() / "ostra-no-such-folder" / "f.json").string();
    EXPECT_FALSE(flash_report(lost).open(error));
    EXPECT_EQ(error, lost + ": cannot write the flash report: No such file or directory");
    // The report file lists the failing frames the same way.
    ASSERT_TRUE(r.write(error)) << error;
    std::ifstream f(file);
    const std::string report{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    std::filesystem::remove(file);
    EXPECT_NE(report.find("\"check\": \"first_sixth\", \"field\": 0, \"readings\": \"first+second\", "
                          "\"worst_by_check\": [7, 7, 7, 7]},\n    {\"frame\": 0, \"tick\": 400,"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\"checks\": {\"first_sixth\": {\"failing_frames\": 24, \"general\": 20, \"red\": 0}, "
                          "\"first_twelfth\": {\"failing_frames\": 24,"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("{\"name\": \"corner\", \"frames\": 6, \"failing_frames\": 6, \"worst_general\": 20, "
                          "\"worst_red\": 0, \"checks\": {\"first_sixth\": {\"failing_frames\": 6, \"general\": 20"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("}\n  ]\n}\n"), std::string::npos) << "no comma after the last failing frame: " << report;
    size_t listed = 0;
    for (size_t at = 0; (at = report.find("{\"frame\": ", at)) != std::string::npos; ++at) ++listed;
    EXPECT_EQ(listed, 24u) << "every failing frame once";
}
