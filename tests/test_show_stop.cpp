// Stop requests injected across the show: each run ends promptly (a polling
// wait at once, a scene at its next poll, a music gate at its own time), no
// frame loop runs after the stop, and every one-off step of every later
// scene (loads, sprite and fade set-ups, title stills, the white frame) is
// still made, in order, before the shutdown.
#include "show_timeline.h"
#include "test_show_util.h"

#include <algorithm>
#include <ostream>

using show_test::frame_rec;

namespace {

// The one-off steps of a run, without the fullscreen settle-wait note.
std::vector<std::string> one_offs(const std::vector<std::string>& trace) {
    std::vector<std::string> out;
    for (const auto& e : trace)
        if (e != "settle wait")
            out.push_back(e);
    return out;
}

// The steps from scene `scene`'s start on.
std::vector<std::string> from_scene(const std::vector<std::string>& steps, const std::string& scene) {
    const auto it = std::find(steps.begin(), steps.end(), "scene " + scene);
    return {it, steps.end()};
}

long find(const std::vector<std::string>& v, const std::string& e) {
    const auto it = std::find(v.begin(), v.end(), e);
    return it == v.end() ? -1 : static_cast<long>(it - v.begin());
}

// A stop at tick 1 of a fullscreen run (in the settle wait): every loop is
// skipped, so its trace is the list of every one-off step of the show.
const show_test::run_result& stopped_at_once() {
    static const show_test::run_result r = show_test::run_show(1, true);
    return r;
}

struct stop_case {
    const char* name;
    Uint32 tick;         // when the stop is injected
    bool full_screen;
    Uint32 allowed_ms;   // how long after the stop the show may still run
    int title_stills;    // title stills presented after the stop
    const char* scene;   // the phase the stop falls into ("none": before any frame)
};

// Names the case in test listings.
void PrintTo(const stop_case& c, std::ostream* os) { *os << c.name << " at tick " << c.tick; }

Uint32 at_music(Uint32 ms) { return show_test::song_start_tick + ms; }

class ShowStop : public ::testing::TestWithParam<stop_case> {};

}  // namespace

TEST(ShowStopReference, AStopInTheSettleWaitPassesEverySetUp) {
    if (!show_test::have_data())
        GTEST_SKIP() << "no generated data";
    const auto& r = stopped_at_once();
    const auto steps = one_offs(r.trace);
    // Every scene is entered, its loads and set-ups made, in order.
    long last = -1;
    for (const char* e :
         {"FMUSIC_PlaySong", "scene title", "image ./gfx/logo3.png", "set_area in",
          "image ./gfx/credits.png", "set_area out", "image ./gfx/presents.png", "set_area out",
          "image ./gfx/vormbrisk.png", "set_area out", "scene beat", "image ./gfx/bakgrunn5.png",
          "image ./gfx/bais.png", "scene flame", "set_sprite sheet_light[3]", "white frame",
          "scene corner", "model ./gfx/b_kunhj\xF8rner.3D", "set_sprite overlay_light",
          "scene backdrop", "image ./gfx/new1.png", "image ./gfx/new2.png", "scene greetings",
          "image ./gfx/greets1.png", "set_area in", "image ./gfx/greets2.png",
          "set_sprite overlay_light", "scene final", "model ./gfx/rom2.3D",
          "image ./gfx/gold2.jpg", "image ./gfx/metal_2.png", "FMUSIC_FreeSong", "FSOUND_Close",
          "objects destroyed"}) {
        const auto it = std::find(steps.begin() + (last + 1), steps.end(), std::string(e));
        ASSERT_NE(it, steps.end()) << e << " after step " << last;
        last = static_cast<long>(it - steps.begin());
    }
    EXPECT_EQ(last, static_cast<long>(steps.size()) - 1) << "the shutdown comes last";
    // Frames: the three later title stills and the flame scene's white frame.
    ASSERT_EQ(r.frames.size(), 4u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(r.frames[i].scene, "title");
    EXPECT_EQ(r.frames[3].scene, "flame");
    EXPECT_TRUE(r.frames[3].white_inside);
    EXPECT_LT(r.end_tick, 10u);
}

TEST_P(ShowStop, EndsPromptlyWithEveryOneOffStep) {
    if (!show_test::have_data())
        GTEST_SKIP() << "no generated data";
    const stop_case c = GetParam();
    const auto reference = one_offs(stopped_at_once().trace);
    // A stop in a scene of the timeline: the run begins at that scene's
    // checkpoint (the frames before it are the full run's, as the
    // start-point tests show), so its steps are the reference's from that
    // scene on.
    const std::string scene = c.scene;
    const bool late = show_timeline::find(scene) != nullptr;
    const auto r = show_test::run_show(c.tick, c.full_screen, {}, late ? c.scene : nullptr);

    if (r.restored) {
        EXPECT_EQ(from_scene(one_offs(r.trace), scene), from_scene(reference, scene))
            << "the same one-off steps from the scene on, in the same order";
    } else {
        EXPECT_EQ(one_offs(r.trace), reference) << "the same one-off steps in the same order";
    }
    EXPECT_EQ(r.restored, late && std::filesystem::exists(show_test::data_dir() / "checkpoints"));
    EXPECT_GE(r.end_tick, c.tick) << "the stop was not seen before it was made";
    EXPECT_LE(r.end_tick, c.tick + c.allowed_ms) << "the show ends promptly";
    EXPECT_LT(find(r.trace, "FMUSIC_FreeSong"), find(r.trace, "FSOUND_Close"));

    // After the stop only one-off frames follow the frame in progress (at
    // most two loop frames, when the stop fell into a wait without a poll):
    // the remaining title stills and the flame scene's closing white frame.
    std::string in_progress = "none";
    int after = 0, titles = 0, loop_frames = 0;
    bool white_seen = false;
    for (const frame_rec& f : r.frames) {
        if (f.tick < c.tick) {
            in_progress = f.scene;
            continue;
        }
        ++after;
        if (f.scene == "title")
            ++titles;
        else if (f.scene == "flame" && f.white_inside && &f == &r.frames.back())
            white_seen = true;
        else if (f.scene == in_progress)
            ++loop_frames;
        else
            ADD_FAILURE() << "frame " << f.index << " of " << f.scene << " at tick " << f.tick
                          << " after the stop at " << c.tick << " in " << in_progress;
    }
    EXPECT_EQ(in_progress, c.scene) << "the stop falls where it was meant to";
    if (in_progress == "title") {
        loop_frames += titles - c.title_stills;
        EXPECT_GE(titles, c.title_stills);
    } else {
        EXPECT_EQ(titles, c.title_stills);
    }
    EXPECT_LE(loop_frames, 2) << after << " frames after the stop";
    EXPECT_EQ(white_seen, c.tick < at_music(79000)) << "the white frame is the last one shown";
}

INSTANTIATE_TEST_SUITE_P(
    AcrossTheShow, ShowStop,
    ::testing::Values(
        // Fullscreen settle wait (polls: seen at once); loading screen (polls).
        stop_case{"SettleWait", 1500, true, 2, 3, "none"},
        stop_case{"Loading", 6000, false, 2, 3, "loading"},
        // Logo hold: the 20 ms wait runs out, then the loops end.
        stop_case{"TitleHold", at_music(2000), false, 50, 3, "title"},
        // Gate before the credits: it opens at 5000 ms; then three stills.
        stop_case{"TitleGate", at_music(4500), false, 560, 3, "title"},
        // Early in each scene, to keep the runs short.
        stop_case{"Beat", at_music(21000), false, 70, 0, "beat"},
        stop_case{"Flame", at_music(41000), false, 70, 0, "flame"},
        stop_case{"Corner", at_music(80500), false, 70, 0, "corner"},
        stop_case{"Backdrop", at_music(94000), false, 70, 0, "backdrop"},
        // Greetings hold: its 30 ms wait has no quit test.
        stop_case{"GreetingsHold", at_music(119000), false, 70, 0, "greetings"},
        // Final scene, after its fade began (its wait polls).
        stop_case{"FinalFade", at_music(148500), false, 40, 0, "final"}),
    [](const ::testing::TestParamInfo<stop_case>& i) { return std::string(i.param.name); });
