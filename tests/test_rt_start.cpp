// The start point: what --start accepts, the display keeping frames unseen
// (counted, not presented, not handed on) until a scene's first frame or a
// music time, the run going live there once, and the clock going live from
// the virtual tick it had reached; the flash limiter's share of a flip's
// costs; and the progress lines of a long run ahead.
#include "limiter.h"
#include "pacing.h"
#include "start.h"
#include "test_rt_util.h"
#include "test_sound_xm.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

class RtStart : public rt_test::runtime_fixture {};

namespace {

struct recorder : frame_sink {
    std::vector<long> indices;
    std::vector<Uint32> music;
    std::function<void()> on_frame;
    frame_costs costs;  // the last flip's
    void frame(SDL_Surface*, const flip_info& info) override {
        costs = info.costs;
        indices.push_back(info.index);
        music.push_back(info.music_ms);
        if (on_frame)
            on_frame();
    }
};

}  // namespace

TEST_F(RtStart, AcceptsMusicTimesBeforeTheEndAndTheSceneNames) {
    start_point p;
    std::string error;
    ASSERT_TRUE(parse_start_point("0", p, error));
    EXPECT_TRUE(p.set);
    EXPECT_EQ(p.music_ms, 0u);
    EXPECT_TRUE(p.scene.empty());
    ASSERT_TRUE(parse_start_point("159999", p, error));
    EXPECT_EQ(p.music_ms, 159999u);
    ASSERT_TRUE(parse_start_point("000130000", p, error));  // nine digits, leading zeros
    EXPECT_EQ(p.music_ms, 130000u);
    for (const show_timeline::scene& s : show_timeline::scenes) {
        ASSERT_TRUE(parse_start_point(s.name, p, error)) << s.name;
        EXPECT_EQ(p.scene, s.name);
    }

    for (const char* bad : {"160000", "99999999999999999999", "-5", "12a", "1e5", "", "Flame",
                            "flam", "loading", " title"}) {
        error.clear();
        EXPECT_FALSE(parse_start_point(bad, p, error)) << "'" << bad << "'";
        EXPECT_FALSE(p.set) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    parse_start_point("flam", p, error);
    EXPECT_EQ(error, "'flam' is neither a music time in ms nor a scene (title, beat, flame, corner, "
                     "backdrop, greetings, final)");
    parse_start_point("160000", p, error);
    EXPECT_EQ(error, "160000 ms is past the show's end at 160000 ms of music");
}

TEST_F(RtStart, FramesBeforeASceneStartAreCountedButUnseenAndTheRunGoesLiveThere) {
    recorder sink;
    run->display.sink = &sink;
    run->display.headless = true;
    int live_at_first_seen = -1;
    sink.on_frame = [&] {
        if (live_at_first_seen < 0)
            live_at_first_seen = !clk::simulated() && !run->display.headless;
    };
    start_point p;
    p.set = true;
    p.scene = "beat";
    run->arm_start(p, true);
    EXPECT_TRUE(run->start.pending());
    set_scene("loading");
    for (int i = 0; i < 3; ++i) flip_screen();
    set_scene("title");
    flip_screen();
    EXPECT_TRUE(sink.indices.empty());
    EXPECT_TRUE(clk::simulated()) << "still running ahead";
    set_scene("beat");
    flip_screen();
    flip_screen();
    set_scene("flame");
    flip_screen();
    EXPECT_EQ(live_at_first_seen, 1) << "live, and presented, from the first seen frame";
    EXPECT_FALSE(run->start.pending());
    EXPECT_EQ(sink.indices, (std::vector<long>{4, 5, 6})) << "indices as in a full run";
    EXPECT_EQ(display::frames_shown(), 7);

    // Unarmed: every frame is seen.
    run->display.headless = true;
    run->arm_start(start_point{}, true);
    EXPECT_FALSE(run->start.pending());
    flip_screen();
    EXPECT_EQ(sink.indices.back(), 7);
}

TEST_F(RtStart, AMusicTimeIsReachedByTheFirstFrameAtOrAfterIt) {
    rt_test::temp_dir dir("rt-start");
    test_xm::song s;
    s.speed = 6;
    s.bpm = 125;
    s.orders = {0};
    s.patterns.resize(1);
    s.patterns[0].rows.resize(64);
    const std::string path = (dir.path / "start.xm").string();
    ASSERT_TRUE(test_xm::write(path, s));
    control c;
    c.song = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(c.song, nullptr);
    display::set_music_source(&c);
    recorder sink;
    display::set_sink(&sink);
    start_point p;
    p.set = true;
    p.music_ms = 500;
    run->arm_start(p, false);

    flip_screen();  // before the song: no music time yet
    clk::advance_to(1000);
    FMUSIC_PlaySong(c.song);
    c.music_start = FMUSIC_GetTime(c.song);
    for (Uint32 t : {1100u, 1300u, 1499u}) {
        clk::advance_to(t);
        flip_screen();
    }
    EXPECT_TRUE(sink.indices.empty()) << "music 499 ms is before the start point";
    clk::advance_to(1500);
    flip_screen();
    clk::advance_to(1530);
    flip_screen();
    EXPECT_EQ(sink.indices, (std::vector<long>{4, 5}));
    EXPECT_EQ(sink.music, (std::vector<Uint32>{500, 530}));
    EXPECT_TRUE(clk::simulated()) << "a capture from a start point stays on the simulated clock";
    display::set_music_source(nullptr);
    FMUSIC_FreeSong(c.song);
}

TEST_F(RtStart, TheLiveClockCountsOnFromTheVirtualTick) {
    clk::advance_to(142020);
    clk::go_live();
    EXPECT_FALSE(clk::simulated());
    const Uint32 first = clk::ticks();
    EXPECT_GE(first, 142020u);
    EXPECT_LT(first, 142020u + 50);
    SDL_Delay(20);
    EXPECT_GE(clk::ticks(), first + 20) << "live: real time moves it";
    clk::advance_to(500000);
    EXPECT_LT(clk::ticks(), 400000u) << "live: advance_to does nothing";
    clk::go_live();  // already live: nothing changes
    EXPECT_GE(clk::ticks(), first + 20);
    EXPECT_LT(clk::ticks(), first + 1000);
}

// The bench's report says whether a run was limited (--gentle), and what
// the limiter cost, from the flip's costs.
TEST_F(RtStart, AFlipsCostsCarryTheLimiterOnlyWhileOneIsSet) {
    recorder sink;
    run->display.sink = &sink;
    run->display.headless = true;
    flip_screen();
    EXPECT_FALSE(sink.costs.limited);
    EXPECT_EQ(sink.costs.limiter_ns, 0u);
    flash::limiter gentle(screen->w, screen->h);
    run->display.limiter = &gentle;
    flip_screen();
    EXPECT_TRUE(sink.costs.limited);
    EXPECT_GT(sink.costs.limiter_ns, 0u) << "the limiter's pass over the screen was timed";
    EXPECT_GE(sink.costs.work_ns, sink.costs.limiter_ns) << "and is part of the frame's work";
    run->display.limiter = nullptr;
    run->display.sink = nullptr;
}

// The run, not the gate's answer, reports a run ahead that takes over a
// second, and its arrival.
TEST_F(RtStart, TheRunReportsALongRunAheadAndItsArrival) {
    start_point p;
    p.set = true;
    p.scene = "beat";
    run->arm_start(p, false);
    run->display.headless = true;
    set_scene("title");
    testing::internal::CaptureStderr();
    flip_screen();  // within the first second: quiet
    std::this_thread::sleep_for(std::chrono::milliseconds(1010));
    flip_screen();
    set_scene("beat");
    flip_screen();
    flip_screen();  // seen, as is every frame from here: nothing more to say
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string line = "ostramere: running ahead to the beat scene: music -:--.-, frame 1\n"
                             "ostramere: reached the beat scene after 1.";
    EXPECT_EQ(err.substr(0, line.size()), line) << err;
    EXPECT_EQ(err.size(), line.size() + 4) << err;
}

// Running ahead for over a second says where the run has got to, once per
// 5 s when standard error is not a terminal, and then how long it took.
TEST(RtStartProgress, ALongRunAheadPrintsWhereItIsAndWhenItArrives) {
    start_gate gate;
    start_point p;
    p.set = true;
    p.scene = "flame";
    gate.arm(p);
    flip_info f;
    f.scene = "beat";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(gate.reached(f));
    gate.progress(f);  // within the first second: quiet
    std::this_thread::sleep_for(std::chrono::milliseconds(1010));
    f = {4, 0, true, 1500, 0, 0, 0, "beat", {}};
    EXPECT_FALSE(gate.reached(f)) << "the answer alone prints nothing";
    gate.progress(f);
    f.index = 5;
    gate.progress(f);  // the next line is 5 s away
    f.scene = "flame";
    EXPECT_TRUE(gate.reached(f));
    EXPECT_FALSE(gate.pending());
    gate.finish_progress();
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string line = "ostramere: running ahead to the flame scene: music 0:01.5, frame 4\n"
                             "ostramere: reached the flame scene after 1.";
    EXPECT_EQ(err.substr(0, line.size()), line) << err;
    EXPECT_EQ(err.size(), line.size() + 4) << err;
}
