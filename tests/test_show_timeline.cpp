// The whole show on the simulated clock: every scene begins and ends at its
// music time (or pattern), the frames that can be told from their pixels
// (title opening, white flashes and closing frame, backdrop cycle by row,
// the final fade) are right, and a second run gives the same frames.
#include "test_show_util.h"

#include "loading.h"
#include "pixel.h"
#include "scenes.h"
#include "show_objects.h"
#include "show_timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

using show_test::frame_rec;

namespace {

struct scene_span {
    long first = -1, last = -1;  // frame indices into the run
};

std::map<std::string, scene_span> spans_of(const std::vector<frame_rec>& frames) {
    std::map<std::string, scene_span> spans;
    for (long i = 0; i < static_cast<long>(frames.size()); ++i) {
        auto& s = spans[frames[i].scene];
        if (s.first < 0)
            s.first = i;
        s.last = i;
    }
    return spans;
}

// Index of the first frame of `scene` whose music time is at least ms, or -1.
long first_at(const std::vector<frame_rec>& f, const scene_span& s, Uint32 ms) {
    for (long i = s.first; i <= s.last; ++i)
        if (f[i].music_ms >= ms)
            return i;
    return -1;
}

// The backdrop cycle's pictures, to tell which one a frame shows.
struct backdrop_refs {
    bitmap pics[3];  // new3, bakgrunn7, new2
    backdrop_refs() {
        const std::string gfx = (show_test::data_dir() / "gfx").string();
        load_image(pics[0], (gfx + "/new3.png").c_str());
        load_image(pics[1], (gfx + "/bakgrunn7.png").c_str());
        load_image(pics[2], (gfx + "/new2.png").c_str());
    }
    // The picture matching most pixels of rows 0..39 (above any scope bar),
    // or -1 when none matches most of them.
    int pick(SDL_Surface* shown) const {
        const int pitch = shown->pitch / 2;
        const auto* px = static_cast<const Uint16*>(shown->pixels);
        int best = -1, best_count = 0;
        for (int k = 0; k < 3; ++k) {
            SDL_Surface* ref = pics[k].surface;
            const auto* rp = static_cast<const Uint16*>(ref->pixels);
            int count = 0;
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 640; ++x)
                    count += px[y * pitch + x] == rp[y * (ref->pitch / 2) + x];
            if (count > best_count)
                best = k, best_count = count;
        }
        return best_count > 640 * 40 / 2 ? best : -1;
    }
};

}  // namespace

TEST(ShowTimeline, WholeShowKeepsItsMusicTimesFramesAndDeterminism) {
    if (!show_test::have_data())
        GTEST_SKIP() << "no generated data in " << show_test::data_dir();
    show_test::open_display();
    backdrop_refs refs;
    std::map<long, int> picked;  // frame index -> picture of the backdrop cycle
    const auto run = show_test::run_show(0, false, [&](SDL_Surface* shown, const frame_rec& r) {
        if (r.scene == "backdrop")
            picked[r.index] = refs.pick(shown);
    });
    const auto& f = run.frames;
    auto spans = spans_of(f);
    for (const auto& [name, span] : spans)
        std::printf("%-10s frames %ld..%ld  music %u..%u\n", name.c_str(), span.first, span.last,
                    f[span.first].music_ms, f[span.last].music_ms);
    const char* order[] = {"loading", "title",     "beat",     "flame",
                           "corner",  "backdrop", "greetings", "final"};
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(spans.count(order[i])) << order[i];
        if (i > 0) {
            EXPECT_EQ(spans[order[i]].first, spans[order[i - 1]].last + 1)
                << order[i] << " follows " << order[i - 1];
        }
    }
    EXPECT_EQ(spans.size(), 8u);

    // The timeline table against the scenes' own literals: each scene is the
    // table's, in its order; its first frame comes within two frames of its
    // first time (a scene before may end on the first frame past it; the
    // flame scene ends on pattern 10, which the song's rows of 5508 frames
    // reach at 79.94 s), at most two of its frames
    // (the flame scene's closing white frame) lie at or after its last time,
    // and only the show's last frame passes its end.
    for (int i = 0; i < show_timeline::scene_count; ++i) {
        const show_timeline::scene& sc = show_timeline::scenes[i];
        SCOPED_TRACE(sc.name);
        EXPECT_STREQ(order[i + 1], sc.name);
        ASSERT_TRUE(spans.count(sc.name));
        const scene_span& span = spans[sc.name];
        EXPECT_GE(f[span.first].music_ms + 70, sc.first_ms) << "within two frames";
        EXPECT_LT(f[span.first].music_ms, sc.first_ms + 70) << "within two frames";
        long past = 0;
        for (long k = span.first; k <= span.last; ++k)
            past += f[k].music_ms >= sc.last_ms;
        EXPECT_LE(past, i + 1 == show_timeline::scene_count ? 1 : 2);
        EXPECT_LT(f[span.last].music_ms, sc.last_ms + 40);
        if (i > 0) {
            EXPECT_EQ(sc.first_ms, show_timeline::scenes[i - 1].last_ms) << "begins where the one before ends";
        }
    }
    EXPECT_GE(f.back().music_ms, show_timeline::show_end_ms);
    EXPECT_EQ(spans["loading"].last - spans["loading"].first + 1, 400);

    // Title: starts with the song, almost black and flat; the next card's
    // still appears as each gate opens, after a gap with no frames.
    const auto& title = spans["title"];
    EXPECT_EQ(f[title.first].tick, show_test::song_start_tick);
    EXPECT_LT(f[title.first].music_ms, 10u);
    EXPECT_LE(f[title.first].max_level, 1) << "only level 31 shows, as 1";
    for (Uint32 gate : {5000u, 10000u, 15000u}) {
        const long i = first_at(f, title, gate);
        ASSERT_GT(i, title.first) << gate;
        EXPECT_LT(f[i].music_ms, gate + 10) << "the still follows the gate at once";
        EXPECT_LT(f[i - 1].music_ms, gate);
        EXPECT_EQ(f[i - 1].max_level, 0) << "the fade out ended black before " << gate;
        EXPECT_GT(f[i].max_level, 20) << "the still at " << gate << " shows the whole card";
    }
    EXPECT_LT(f[title.last].music_ms, 20000u);

    // Beat scene: 20000 to the first frame at or after 40000.
    const auto& beat = spans["beat"];
    EXPECT_GE(f[beat.first].music_ms, 20000u);
    EXPECT_LT(f[beat.first].music_ms, 20010u);
    EXPECT_GE(f[beat.last].music_ms, 40000u);
    EXPECT_LT(f[beat.last - 1].music_ms, 40000u);

    // Flame scene: ends on the first frame of pattern 10, rows 0..2, then one
    // white frame at once; rows 24 and 28 of pattern 9 flash white.
    const auto& flame = spans["flame"];
    EXPECT_EQ(f[flame.first].tick, f[beat.last].tick + 30) << "after the beat scene's last wait";
    const long end_frame = flame.last - 1;
    EXPECT_EQ(f[end_frame].pattern, 10);
    EXPECT_GE(f[end_frame].row, 0);
    EXPECT_LE(f[end_frame].row, 2);
    for (long i = flame.first; i < end_frame; ++i) {
        ASSERT_FALSE(f[i].pattern == 10 && f[i].row <= 2) << "frame " << i << " should have ended it";
    }
    EXPECT_TRUE(f[flame.last].white_inside) << "the closing frame is white";
    EXPECT_FALSE(f[flame.last].white_edges) << "column 639 and row 479 are left alone";
    EXPECT_EQ(f[flame.last].tick, f[end_frame].tick) << "no wait before the white frame";
    int flashes = 0;
    for (long i = flame.first; i < end_frame; ++i) {
        const bool flash_row = f[i].pattern == 9 && (f[i].row == 24 || f[i].row == 28);
        if (flash_row) {
            ++flashes;
            EXPECT_TRUE(f[i].white_inside) << "frame " << i;
            EXPECT_FALSE(f[i].white_edges) << "frame " << i;
        }
    }
    EXPECT_GE(flashes, 2) << "the song passes rows 24 and 28 of pattern 9";

    // Corner room until 93300; backdrop cycle until 118000.
    const auto& corner = spans["corner"];
    EXPECT_GE(f[corner.last].music_ms, 93300u);
    EXPECT_LT(f[corner.last - 1].music_ms, 93300u);
    const auto& backdrop = spans["backdrop"];
    EXPECT_GE(f[backdrop.last].music_ms, 118000u);
    EXPECT_LT(f[backdrop.last - 1].music_ms, 118000u);
    // Before the model joins at 103000 the frame's top is the row's picture:
    // new3, bakgrunn7, new2, bakgrunn7 for row mod 4 = 0, 1, 2, 3.
    const int expected_pic[4] = {0, 1, 2, 1};
    long checked = 0;
    for (long i = backdrop.first; i <= backdrop.last && f[i].music_ms < 103000; ++i, ++checked)
        ASSERT_EQ(picked[f[i].index], expected_pic[f[i].row & 3])
            << "frame " << i << " row " << f[i].row;
    EXPECT_GT(checked, 200);

    // Greetings: first card from 118000, second from the gate at 120000 to 130000.
    const auto& greet = spans["greetings"];
    const long rise = first_at(f, greet, 120000);
    ASSERT_GT(rise, greet.first);
    EXPECT_LT(f[rise].music_ms, 120010u);
    EXPECT_LT(f[rise - 1].music_ms, 120000u);
    EXPECT_GE(f[greet.last].music_ms, 130000u);
    EXPECT_LT(f[greet.last - 1].music_ms, 130000u);

    // Final scene: from 130000; the fade's first frame at or after 148000
    // still shows the picture, then each frame is at most 31 - j, black
    // from the 31st step; the last frame is the first at or after 160000.
    const auto& fin = spans["final"];
    EXPECT_LT(f[fin.first].music_ms, 130000u + 40);
    const long fade = first_at(f, fin, 148000);
    ASSERT_GT(fade, fin.first);
    EXPECT_LT(f[fade].music_ms, 148000u + 40);
    EXPECT_GT(f[fade].max_level, 20) << "maps at k: the first fading frame is unchanged";
    EXPECT_GT(f[fade - 1].max_level, 20);
    for (long j = 1; fade + j <= fin.last; ++j)
        ASSERT_LE(f[fade + j].max_level, std::max<long>(0, 31 - j)) << "fade step " << j;
    EXPECT_GE(f[fin.last].music_ms, 160000u);
    EXPECT_LT(f[fin.last - 1].music_ms, 160000u);
    EXPECT_EQ(run.trace.back(), "objects destroyed");

    // A second run gives the same frames, bit for bit.
    const auto again = show_test::run_show(0);
    ASSERT_EQ(again.frames.size(), f.size());
    for (size_t i = 0; i < f.size(); ++i) {
        ASSERT_EQ(again.frames[i].tick, f[i].tick) << "frame " << i;
        ASSERT_EQ(again.frames[i].hash, f[i].hash) << "frame " << i << " (" << f[i].scene << ")";
    }
}

TEST(ShowTimeline, ScenesEndOnTheFirstFrameAtOrAfterTheirEndTime) {
    // Scene frames are 30 ms apart and each reads its end time right after
    // showing the frame: started 60 frames before N - 1, N or N + 1, a scene
    // meets its end test exactly there (the whole show's frames never do).
    if (!show_test::have_data())
        GTEST_SKIP() << "no generated data in " << show_test::data_dir();
    show_run run;
    const auto old_dir = show_test::begin_simulated_run(run, 0);
    show_test::recorder rec;
    run.display.sink = &rec;
    fullscreen = 0;

    auto s = std::make_unique<show_objects>();
    s->fader.target = screen;
    for (int i = 0; i < 1600; ++i) {
        s->sin_l[i] = static_cast<float>(std::sin(i / 127.33));
        s->cos_l[i] = static_cast<float>(std::cos(i / 127.33));
    }
    fill_pre_RGB_tab();
    control& c = s->ctl;
    c.song = FMUSIC_LoadSong("./sfx/demomusic.xm");
    ASSERT_NE(c.song, nullptr);
    display::set_music_source(&c);
    load_assets(*s);

    struct scene_end {
        void (*run)(show_objects&);
        Uint32 end_ms;
    } const ends[] = {{run_beat_scene, 40000},     {run_corner_room, 93300}, {run_backdrop_cycle, 118000},
                      {run_greetings, 130000},     {run_final_room, 160000}};
    for (int delta : {-1, 0, 1}) {
        FMUSIC_PlaySong(c.song);
        c.music_start = FMUSIC_GetTime(c.song);
        for (const auto& e : ends) {
            const Uint32 land = e.end_ms + delta;
            clk::advance_to(clk::ticks() + (land - 60 * 30 - music_time(c)));
            c.quit = 0;
            rec.frames.clear();
            e.run(*s);
            ASSERT_GE(rec.frames.size(), 2u);
            const Uint32 want = delta < 0 ? land + 30 : land;
            EXPECT_EQ(rec.frames.back().music_ms, want) << rec.frames.back().scene << " landing on " << land;
            EXPECT_LT(rec.frames[rec.frames.size() - 2].music_ms, e.end_ms) << rec.frames.back().scene;
        }
    }
    display::set_music_source(nullptr);
    FMUSIC_FreeSong(c.song);
    s.reset();
    std::filesystem::current_path(old_dir);
}
