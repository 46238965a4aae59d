// The frame skeleton on the simulated clock: every pacing-wait form (which
// ones poll, which test quit and scene_done), the settle wait, music gates,
// stop propagation through a gate, and the beat trigger on a real module.
#include "pacing.h"
#include "test_rt_util.h"
#include "test_sound_xm.h"
#include "tools.h"

#include <map>
#include <set>

using rt_test::push_key;

class RtPacing : public rt_test::runtime_fixture {};

TEST_F(RtPacing, PacingFormsEndOnTheirOwnConditions) {
    control c;
    // Polling form: runs to 30 ms, or ends where a stop arrives.
    begin_frame(c);
    wait_polling(c, 30);
    EXPECT_EQ(clk::ticks(), 30u);
    EXPECT_EQ(c.quit, 0);
    begin_frame(c);
    clk::set_quit_at(40);
    wait_polling(c, 30);
    EXPECT_EQ(clk::ticks(), 40u) << "the injected stop ends the polling wait at its tick";
    EXPECT_EQ(c.quit, 1);

    // quit or scene_done, no polling: a queued Escape is left for the next poll.
    c = control{};
    begin_frame(c);
    push_key(SDL_KEYDOWN, SDLK_ESCAPE);
    wait_quit_or_done(c, 30);
    EXPECT_EQ(clk::ticks(), 70u);
    EXPECT_EQ(c.quit, 0);
    poll_stop(c);
    EXPECT_EQ(c.quit, 1) << "the next stop poll sees it";
    begin_frame(c);
    wait_quit_or_done(c, 30);
    EXPECT_EQ(clk::ticks(), 70u) << "quit ends it at once";
    c.quit = 0;
    c.scene_done = 1;
    wait_quit_or_done(c, 30);
    EXPECT_EQ(clk::ticks(), 70u) << "scene_done ends it at once";

    // quit only: scene_done does not shorten it.
    begin_frame(c);
    wait_quit(c, 25);
    EXPECT_EQ(clk::ticks(), 95u);
    c.quit = 1;
    begin_frame(c);
    wait_quit(c, 900);
    EXPECT_EQ(clk::ticks(), 95u);

    // Fixed: neither quit nor scene_done shortens it.
    begin_frame(c);
    wait_fixed(c, 20);
    EXPECT_EQ(clk::ticks(), 115u);

    // A frame that already took longer than its minimum: no wait at all, and
    // nothing is caught up later.
    c = control{};
    begin_frame(c);
    clk::advance_to(clk::ticks() + 45);
    wait_quit_or_done(c, 30);
    EXPECT_EQ(clk::ticks(), 160u);
    begin_frame(c);
    wait_quit_or_done(c, 30);
    EXPECT_EQ(clk::ticks(), 190u);
}

TEST_F(RtPacing, WaitsAndGatesEnteredAtNMinus1NAndNPlus1) {
    // Entered with n - 1 ms gone, every form waits one more ms; at n or
    // later it returns at once.
    control c;
    void (*forms[])(control&, Uint32) = {wait_polling, wait_quit_or_done, wait_quit, wait_fixed};
    for (Uint32 gone : {29u, 30u, 31u}) {
        for (auto* form : forms) {
            begin_frame(c);
            clk::advance_to(c.frame_start + gone);
            form(c, 30);
            EXPECT_EQ(clk::ticks() - c.frame_start, std::max(gone, 30u)) << gone << " ms gone";
        }
    }
    // Music gates on the silent song clock (no module): at N - 1 the gate
    // waits 1 ms, at N and N + 1 it passes.
    ASSERT_FALSE(FMUSIC_PlaySong(nullptr));
    clk::advance_to(clk::ticks() + 6000);
    for (Uint32 at : {4999u, 5000u, 5001u}) {
        c.music_start = FMUSIC_GetTime(nullptr) - at;
        const Uint32 before = clk::ticks();
        music_gate(c, 5000);
        EXPECT_EQ(music_time(c), std::max(at, 5000u)) << "entered at " << at;
        EXPECT_EQ(clk::ticks() - before, at < 5000 ? 1u : 0u) << "entered at " << at;
    }
}

TEST_F(RtPacing, SettleWaitCountsFromItsOwnStartAndPolls) {
    control c;
    c.frame_start = 0;
    clk::advance_to(100);
    settle_wait(c, 3000);
    EXPECT_EQ(clk::ticks(), 3100u) << "measured from its own start, not frame_start";
    EXPECT_EQ(c.quit, 0);

    push_key(SDL_KEYDOWN, SDLK_ESCAPE);
    settle_wait(c, 3000);
    EXPECT_EQ(clk::ticks(), 3100u);
    EXPECT_EQ(c.quit, 1);
}

TEST_F(RtPacing, LiveWaitsLastAtLeastTheirMinimum) {
    clk::set_simulated(false);
    control c;
    for (Uint32 n : {1u, 2u, 5u, 12u}) {
        begin_frame(c);
        wait_fixed(c, n);
        EXPECT_GE(clk::ticks() - c.frame_start, n) << "fixed " << n;
        begin_frame(c);
        wait_quit_or_done(c, n);
        EXPECT_GE(clk::ticks() - c.frame_start, n) << "quit or done " << n;
        begin_frame(c);
        wait_polling(c, n);
        EXPECT_GE(clk::ticks() - c.frame_start, n) << "polling " << n;
    }
}

// A live wait keeps the song rendered up to now in steps of at most 50 ms,
// music read or not: a device that renders on this thread (the browser's)
// keeps its lead through a long wait.
TEST_F(RtPacing, ALongLiveWaitRendersTheSongAsItGoesWithoutAMusicRead) {
    rt_test::temp_dir dir("rt-pump");
    const std::string xm = test_xm::write_silent((dir.path / "s.xm").string());
    ASSERT_FALSE(xm.empty());
    clk::set_simulated(false);
    FMUSIC_MODULE* m = FMUSIC_LoadSong(xm.c_str());
    ASSERT_NE(m, nullptr);
    long rendered = 0;
    sound_layer::set_sample_sink([&](const std::int16_t*, int frames) { rendered += frames; });
    FMUSIC_PlaySong(m);
    rendered = 0;
    control c;
    begin_frame(c);
    wait_fixed(c, 160);  // sleeps 159 ms: topped up at 0, 50, 100 and 150 ms
    sound_layer::set_sample_sink({});
    EXPECT_GE(rendered, long(sound_layer::rate) * 140 / 1000) << "rendered up to the last step";
    FMUSIC_FreeSong(m);
}

TEST_F(RtPacing, ALivePollingWaitSeesAStopWhileItSleepsAndOthersDoNot) {
    clk::set_simulated(false);
    // The stop request comes due at tick 40, in the middle of a 2 s wait.
    clk::set_quit_at(40);
    control c;
    begin_frame(c);
    wait_polling(c, 2000);
    EXPECT_EQ(c.quit, 1);
    EXPECT_GE(clk::ticks(), 40u);
    EXPECT_LT(clk::ticks(), 1000u) << "ended by the stop, not by its time";

    // Non-polling forms sleep through a queued Escape to their full time.
    c = control{};
    rt_test::push_key(SDL_KEYDOWN, SDLK_ESCAPE);
    begin_frame(c);
    wait_quit(c, 60);
    EXPECT_GE(clk::ticks() - c.frame_start, 60u);
    EXPECT_EQ(c.quit, 0);
    poll_stop(c);
    EXPECT_EQ(c.quit, 1);
}

namespace {
// A silent two-pattern module: 64 rows each at 6 ticks, 125 BPM (120 ms a
// row), played in the order 0, 1.
FMUSIC_MODULE* load_test_song(const rt_test::temp_dir& dir) {
    test_xm::song s;
    s.speed = 6;
    s.bpm = 125;
    s.orders = {0, 1};
    s.patterns.resize(2);
    for (auto& p : s.patterns) p.rows.resize(64);
    const std::string path = (dir.path / "rows.xm").string();
    if (!test_xm::write(path, s))
        return nullptr;
    return FMUSIC_LoadSong(path.c_str());
}
}  // namespace

TEST_F(RtPacing, MusicGatesEndAtTheirTimeAndAStopWaitsForTheNextPoll) {
    rt_test::temp_dir dir("rt-gate");
    control c;
    c.song = load_test_song(dir);
    ASSERT_NE(c.song, nullptr);
    clk::advance_to(500);
    FMUSIC_PlaySong(c.song);
    c.music_start = FMUSIC_GetTime(c.song);

    music_gate(c, 5000);
    EXPECT_EQ(music_time(c), 5000u) << "N - 1 does not end the gate, N does";
    EXPECT_EQ(clk::ticks(), 5500u);
    music_gate(c, 4000);
    EXPECT_EQ(clk::ticks(), 5500u) << "a gate already passed ends at once";

    // Escape pressed during a gate: the gate runs to its time, a non-polling
    // wait does not see it, the next polling loop does.
    push_key(SDL_KEYDOWN, SDLK_ESCAPE);
    music_gate(c, 10000);
    EXPECT_EQ(music_time(c), 10000u);
    EXPECT_EQ(c.quit, 0);
    begin_frame(c);
    wait_quit(c, 900);
    EXPECT_EQ(c.quit, 0);
    begin_frame(c);
    poll_stop(c);
    EXPECT_EQ(c.quit, 1);

    // With quit set, a gate ends at once.
    const Uint32 before = clk::ticks();
    music_gate(c, 20000);
    EXPECT_EQ(clk::ticks(), before);

    // A song clock that reads below music_start gives a huge music time: the
    // gate passes at once.
    c.quit = 0;
    c.music_start = FMUSIC_GetTime(c.song) + 1000;
    music_gate(c, 20000);
    EXPECT_EQ(clk::ticks(), before);
    FMUSIC_FreeSong(c.song);
}

namespace {
struct frame_record {
    int pattern;
    int row;
    bool fired;
};

// Runs 30 ms frames over both patterns, calling the beat trigger once a frame.
std::vector<frame_record> run_trigger(control& c, int wrap_row, int restart) {
    std::vector<frame_record> frames;
    while (music_time(c) < 2 * 64 * 120 - 10) {  // both patterns, not the loop
        begin_frame(c);
        const int row = row_byte(c);
        const int before = c.next_row;
        const bool fired = beat_trigger(c, wrap_row, restart);
        EXPECT_EQ(fired, row >= before) << "row " << row << " cursor " << before;
        frames.push_back({pattern_byte(c), row, fired});
        wait_fixed(c, 30);
    }
    return frames;
}
}  // namespace

TEST_F(RtPacing, BeatTriggerFiresOnceABeatAndEveryFrameAboveTheWrapRow) {
    rt_test::temp_dir dir("rt-beat");
    control c;
    c.song = load_test_song(dir);
    ASSERT_NE(c.song, nullptr);
    FMUSIC_PlaySong(c.song);
    c.music_start = FMUSIC_GetTime(c.song);

    for (const auto& [wrap, restart, first] : {std::tuple{61, 0, 0}, std::tuple{62, 1, 1}}) {
        SCOPED_TRACE("wrap row " + std::to_string(wrap));
        clk::set_simulated(true);
        FMUSIC_PlaySong(c.song);
        c.music_start = FMUSIC_GetTime(c.song);
        c.next_row = static_cast<signed char>(first);
        const auto frames = run_trigger(c, wrap, restart);

        std::map<std::pair<int, int>, int> fires, seen;  // (pattern, row) -> frames
        for (const auto& f : frames) {
            seen[{f.pattern, f.row}]++;
            fires[{f.pattern, f.row}] += f.fired;
        }
        EXPECT_EQ(seen.size(), 128u) << "every row of both patterns was seen";
        for (const auto& [key, n] : seen) {
            const int row = key.second;
            ASSERT_GT(n, 1) << "rows last several frames";
            if (row > wrap)
                EXPECT_EQ(fires[key], n) << "fires on every frame of row " << row;
            else if (row % 2 == first)
                EXPECT_EQ(fires[key], 1) << "fires once on row " << row;
            else
                EXPECT_EQ(fires[key], 0) << "no beat on row " << row;
        }
    }
    FMUSIC_FreeSong(c.song);
}

TEST_F(RtPacing, RowsFrom128ReadAsNegativeBytesAndNeverFireTheBeat) {
    // One 256-row pattern at speed 1, 150 BPM: 16.7 ms a row.
    rt_test::temp_dir dir("rt-rows");
    test_xm::song s;
    s.speed = 1;
    s.bpm = 150;
    s.orders = {0};
    s.patterns.resize(1);
    s.patterns[0].rows.resize(256);
    const std::string path = (dir.path / "long.xm").string();
    ASSERT_TRUE(test_xm::write(path, s));
    control c;
    c.song = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(c.song, nullptr);
    FMUSIC_PlaySong(c.song);
    c.music_start = FMUSIC_GetTime(c.song);
    c.next_row = 0;
    std::set<int> seen;
    while (music_time(c) < 256 * 50 / 3 - 10) {
        const int raw = FMUSIC_GetRow(c.song);
        seen.insert(raw);
        ASSERT_EQ(row_byte(c), raw < 128 ? raw : raw - 256) << "row " << raw;
        const bool fired = beat_trigger(c, 61, 0);
        if (raw >= 128) {
            ASSERT_FALSE(fired) << "row " << raw << " is below the cursor as a signed byte";
        } else if (raw > 61) {
            ASSERT_TRUE(fired) << "row " << raw << " fires every frame above the wrap row";
        }
        clk::advance_to(clk::ticks() + 5);
    }
    EXPECT_TRUE(seen.count(128) && seen.count(255)) << "the song reached rows 128 and 255";
    FMUSIC_FreeSong(c.song);
}
