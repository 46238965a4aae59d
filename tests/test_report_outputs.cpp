// The reports' files read back field by field and held to figures made
// here: the bench report's per-scene costs, percentiles and flash summary,
// the show's length counted from the first frame when asked, and every
// field of the flash report.
#include "bench.h"
#include "flash_report.h"
#include "show_run.h"
#include "test_rt_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {
std::string read_file(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Every "key": value of a JSON text in order (a value up to the next comma,
// brace, bracket or line end; "[" for a list, "{" for an object).
std::vector<std::pair<std::string, std::string>> fields(const std::string& json) {
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t at = json.find('"'); at != std::string::npos; at = json.find('"', at)) {
        const size_t end = json.find('"', at + 1);
        if (json.compare(end, 3, "\": ") != 0) {  // a string value: skip it, escapes and all
            size_t close = end;
            while (json[close - 1] == '\\') close = json.find('"', close + 1);
            at = close + 1;
            continue;
        }
        const std::string key = json.substr(at + 1, end - at - 1);
        size_t v = end + 3, stop = v;
        if (json[v] == '[' || json[v] == '{')
            stop = v + 1;
        else if (json[v] == '"') {
            stop = v + 1;
            while (json[stop] != '"' || json[stop - 1] == '\\') ++stop;
            ++stop;
        } else
            stop = json.find_first_of(",}]\n", v);
        out.emplace_back(key, json.substr(v, stop - v));
        at = stop;
    }
    return out;
}

double num(const std::string& v) { return std::atof(v.c_str()); }

// A flip of `scene` whose work took `cost_ms`.
void flip_after(bench_sink& b, const char* scene, double cost_ms, Uint32 tick, SDL_Surface* shown = nullptr) {
    flip_info info;
    info.scene = scene;
    info.tick = tick;
    info.costs.work_ns = static_cast<std::uint64_t>(cost_ms * 1e6);
    b.frame(shown, info);
}
}  // namespace

// Every field of the bench report against figures made here: the planted
// costs' mean, nearest-rank percentiles, largest and sum, per scene and in
// all, the flash summary of a screen flashing every frame, the present costs.
TEST(ReportOutputs, EveryFieldOfTheBenchReportIsTheFigurePlanted) {
    show_run run;
    bench_sink b;
    SDL_Surface* s = SDL_CreateRGBSurface(0, 64, 48, 16, 0xF800, 0x07E0, 0x001F, 0);
    // "a": 120 frames costing 10, 20, ... 1200 ms in a scrambled order,
    // black and white in turn every 50 ms; then "b": 2 frames, not analysed.
    for (int i = 0; i < 120; ++i) {
        SDL_FillRect(s, nullptr, i % 2 ? 0xFFFF : 0);
        flip_after(b, "a", 10.0 * ((i * 7) % 120 + 1), static_cast<Uint32>(i) * 50, s);
    }
    flip_after(b, "b", 5, 6000);
    flip_after(b, "b", 15, 6050);
    SDL_FreeSurface(s);
    for (int k = 1; k <= 200; ++k) b.add_present_cost(k);
    const auto f = fields(b.json(7000));
    std::vector<std::string> keys;
    for (const auto& [k, v] : f) keys.push_back(k);
    const std::vector<std::string> scene = {"name", "frames", "mean_ms", "p50_ms", "p99_ms", "max_ms",
                                            "total_ms", "cpu_mean_ms", "cpu_total_ms"};
    // Each of the four checks (two readings, two field steps): its failing
    // frames and worst counts.
    std::vector<std::string> checks = {"checks"};
    for (int c = 0; c < flash_checks; ++c)
        for (const char* k : {flash_check_name(c), "failing_frames", "general", "red"}) checks.push_back(k);
    std::vector<std::string> flash_scene = {"name", "frames", "failing_frames", "worst_general", "worst_red"};
    flash_scene.insert(flash_scene.end(), checks.begin(), checks.end());
    std::vector<std::string> want = {"show_ms", "frames", "render_ms", "render_cpu_ms", "scenes"};
    for (int i = 0; i < 2; ++i) want.insert(want.end(), scene.begin(), scene.end());
    for (const char* k : {"flash", "gentle", "failing_frames", "failing_ms", "analysis_mean_ms",
                          "analysis_cpu_mean_ms"})
        want.push_back(k);
    want.insert(want.end(), checks.begin(), checks.end());
    want.push_back("scenes");
    want.insert(want.end(), flash_scene.begin(), flash_scene.end());
    for (const char* k : {"present", "frames", "mean_ms", "p50_ms", "p99_ms", "max_ms", "song_render_ms",
                          "song_render_cpu_ms"})
        want.push_back(k);
    ASSERT_EQ(keys, want);
    const auto at = [&](size_t i) { return f[i].second; };
    EXPECT_EQ(at(0), "7000");
    EXPECT_EQ(at(1), "122");
    // Each measured cost is the planted one and the few microseconds of the
    // call: well under 1 ms a frame even on a busy machine.
    const auto near = [](const std::string& v, double planted, double frames = 1) {
        return num(v) >= planted && num(v) < planted + 1.0 * frames;
    };
    EXPECT_PRED3(near, at(2), 72600 + 20, 122);  // the sum of every cost
    EXPECT_EQ(at(5), "\"a\"");
    EXPECT_EQ(at(6), "120");
    EXPECT_PRED3(near, at(7), 605, 1);    // mean: 72600 / 120
    EXPECT_PRED3(near, at(8), 600, 1);    // p50: the 60th of 120
    EXPECT_PRED3(near, at(9), 1190, 1);   // p99: the 119th (ceil of 118.8)
    EXPECT_PRED3(near, at(10), 1200, 1);  // the largest
    EXPECT_PRED3(near, at(11), 72600, 120);
    EXPECT_EQ(at(14), "\"b\"");
    EXPECT_EQ(at(15), "2");
    EXPECT_PRED3(near, at(16), 10, 1);
    EXPECT_PRED3(near, at(17), 5, 1);   // p50 of two: the first
    EXPECT_PRED3(near, at(18), 15, 1);  // p99 of two: the second
    EXPECT_PRED3(near, at(19), 15, 1);
    EXPECT_PRED3(near, at(20), 20, 2);
    // CPU: each scene's mean is its sum over its frames, and the whole the
    // sum of the scenes (this thread did little work in these flips).
    for (size_t row : {5u, 14u}) {
        EXPECT_NEAR(num(at(row + 7)) * num(at(row + 1)), num(at(row + 8)), 1e-3 * (1 + num(at(row + 8))));
        EXPECT_GE(num(at(row + 8)), 0.0);
    }
    EXPECT_NEAR(num(at(3)), num(at(13)) + num(at(22)), 1e-3 * (1 + num(at(3))));
    // Flash: frames 7 to 119 hold more than six transitions within a second
    // (each frame one), 112 frames of 50 ms on screen after the first of them.
    EXPECT_EQ(at(24), "false");
    EXPECT_EQ(at(25), "113");
    EXPECT_EQ(at(26), "5600");
    EXPECT_GT(num(at(27)), 0.0) << "the analysis takes time";
    EXPECT_GT(num(at(28)), 0.0);
    // A whole screen turning every frame is the same flash by every check:
    // in all (from 30) and in the scene (from 53).
    for (size_t first : {30u, 53u})
        for (size_t c = 0; c < flash_checks; ++c) {
            EXPECT_EQ(at(first + 4 * c + 1), "113") << "check " << c << " from " << first;
            EXPECT_EQ(at(first + 4 * c + 2), "20");
            EXPECT_EQ(at(first + 4 * c + 3), "0");
        }
    EXPECT_EQ(at(47), "\"a\"");
    EXPECT_EQ(at(48), "120");
    EXPECT_EQ(at(49), "113");
    EXPECT_EQ(at(50), "20") << "20 transitions in a second at most";
    EXPECT_EQ(at(51), "0");
    // Present: 1 to 200 ms.
    EXPECT_EQ(at(70), "200");
    EXPECT_EQ(at(71), "100.5");
    EXPECT_EQ(at(72), "100");
    EXPECT_EQ(at(73), "198");
    EXPECT_EQ(at(74), "200");
    EXPECT_EQ(at(75), "0") << "no song";
    EXPECT_EQ(at(76), "0");
}

// The show's length in the written report: from tick 0, or from the first
// frame measured when the run began at a start point.
TEST(ReportOutputs, TheWrittenBenchReportCountsTheShowFromItsFirstFrameWhenAsked) {
    rt_test::temp_dir dir("rec-out-bench");
    show_run run;
    for (const bool from_first : {false, true}) {
        const fs::path json = dir.path / (from_first ? "late.json" : "full.json");
        bench_sink b(json.string(), from_first);
        flip_after(b, "beat", 1, 500);
        flip_after(b, "beat", 1, 600);
        std::string error;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(b.finish(2500, 2, error)) << error;
        const std::string table = testing::internal::GetCapturedStdout();
        const auto f = fields(read_file(json));
        ASSERT_FALSE(f.empty());
        EXPECT_EQ(f[0].first, "show_ms");
        EXPECT_EQ(f[0].second, from_first ? "2000" : "2500");
        EXPECT_NE(table.find(from_first ? "the show lasts 2000 ms" : "the show lasts 2500 ms"), std::string::npos)
            << table;
        EXPECT_TRUE(fs::exists(fs::path(json).replace_extension(".svg")));
    }
}

// Every field of the flash report: a screen that turns from black to white
// on every frame, 50 ms apart, before and then with the song.
TEST(ReportOutputs, EveryFieldOfTheFlashReportIsTheFigureMadeHere) {
    rt_test::temp_dir dir("rec-out-flash");
    show_run run;
    const fs::path path = dir.path / "flash.json";
    flash_report r(path.string(), true);
    SDL_Surface* s = SDL_CreateRGBSurface(0, 64, 48, 16, 0xF800, 0x07E0, 0x001F, 0);
    for (int i = 0; i < 40; ++i) {
        SDL_FillRect(s, nullptr, i % 2 ? 0xFFFF : 0);
        flip_info info;
        info.index = 100 + i;
        info.tick = static_cast<Uint32>(i) * 50;
        info.music_playing = i >= 10;  // the song starts at tick 500
        info.music_ms = info.music_playing ? info.tick - 500 : 0;
        info.scene = i < 30 ? "flame" : "corner";
        r.frame(s, info);
    }
    SDL_FreeSurface(s);
    std::string error;
    ASSERT_TRUE(r.write(error)) << error;
    const auto f = fields(read_file(path));
    // A whole screen turning every frame is the same flash by every check.
    const auto checks = [](long failing) {
        std::vector<std::string> out = {"checks={"};
        for (int c = 0; c < flash_checks; ++c)
            for (const std::string& k : {std::string(flash_check_name(c)) + "={",
                                         "failing_frames=" + std::to_string(failing), std::string("general=20"),
                                         std::string("red=0")})
                out.push_back(k);
        return out;
    };
    std::vector<std::string> want = {"gentle=true", "frames=40", "failing_frames=33", "failing_ms=1600",
                                     "max_transitions=6", "window_ms=1000"};
    for (const auto& part : {checks(33), std::vector<std::string>{"scenes=[", "name=\"flame\"", "frames=30",
                                                                  "failing_frames=23", "worst_general=20",
                                                                  "worst_red=0"},
                             checks(23), std::vector<std::string>{"name=\"corner\"", "frames=10",
                                                                  "failing_frames=10", "worst_general=20",
                                                                  "worst_red=0"},
                             checks(10)})
        want.insert(want.end(), part.begin(), part.end());
    ASSERT_GE(f.size(), want.size());
    std::vector<std::string> head;
    for (size_t i = 0; i < want.size(); ++i) head.push_back(f[i].first + "=" + f[i].second);
    EXPECT_EQ(head, want);
    const size_t list = want.size(), per = 12;
    ASSERT_EQ(f.size(), list + 1 + 33 * per) << "the failing list: twelve fields for each of frames 7 to 39";
    EXPECT_EQ(f[list].first + f[list].second, "failing[");
    for (int i = 7; i < 40; ++i) {
        const size_t at = list + 1 + static_cast<size_t>(i - 7) * per;
        std::vector<std::string> got;
        for (size_t k = at; k < at + per; ++k) got.push_back(f[k].first + "=" + f[k].second);
        const int transitions = std::min(i, 20);
        EXPECT_EQ(got, (std::vector<std::string>{
                           "frame=" + std::to_string(100 + i), "tick=" + std::to_string(i * 50),
                           "music_ms=" + (i >= 10 ? std::to_string(i * 50 - 500) : std::string("null")),
                           std::string("scene=") + (i < 30 ? "\"flame\"" : "\"corner\""), "kind=\"general\"",
                           "worst=" + std::to_string(transitions), "general=" + std::to_string(transitions),
                           "red=0", "check=\"first_sixth\"", "field=0", "readings=\"first+second\"",
                           "worst_by_check=["}))
            << "frame " << i;
    }
}
