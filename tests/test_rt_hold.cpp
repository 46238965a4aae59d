// The run's hold, as the waits keep it: the clock stands still and nothing
// is drawn while a hold source asks, the show goes on where it stood, and a
// stop request (a key, or one the source queues) ends a held show.
#include "display.h"
#include "pacing.h"
#include "test_rt_util.h"
#include "tools.h"

#include <functional>
#include <vector>

using rt_test::push_key;

namespace {

// Holds for the asks it is told to; `during` runs on each ask that holds.
struct scripted_hold : hold_source {
    int holds_left = 0;
    int asks = 0;
    std::function<void()> during;
    bool wanted() override {
        ++asks;
        if (holds_left <= 0)
            return false;
        --holds_left;
        if (during)
            during();
        return true;
    }
};

class RtHold : public rt_test::runtime_fixture {
protected:
    void SetUp() override {
        runtime_fixture::SetUp();
        run->hold = &source;
    }
    scripted_hold source;
};

// A frame loop as the scenes run it: frame start, flip, a 20-ms wait; the
// tick of every flip.
std::vector<Uint32> frames_until_quit(control& c, int most) {
    std::vector<Uint32> ticks;
    while (!c.quit && static_cast<int>(ticks.size()) < most) {
        begin_frame(c);
        flip_screen();
        ticks.push_back(clk::ticks());
        wait_quit(c, 20);
    }
    return ticks;
}

TEST_F(RtHold, TheShowStandsStillWhileHeldAndGoesOnFromThere) {
    control c;
    std::vector<long> flips_seen;
    std::vector<Uint32> ticks_seen;
    // Held from the third wait on, for five asks.
    int waits = 0;
    source.during = [&] {
        flips_seen.push_back(show_run::current().display.flips);
        ticks_seen.push_back(clk::ticks());
    };
    std::vector<Uint32> ticks;
    while (ticks.size() < 6) {
        begin_frame(c);
        flip_screen();
        ticks.push_back(clk::ticks());
        if (++waits == 3)
            source.holds_left = 5;
        wait_quit(c, 20);
    }
    ASSERT_EQ(flips_seen.size(), 5u);
    for (size_t i = 0; i < flips_seen.size(); ++i) {
        EXPECT_EQ(flips_seen[i], 3) << "no frame while held (ask " << i << ")";
        EXPECT_EQ(ticks_seen[i], 40u) << "the clock held at the wait's start (ask " << i << ")";
    }
    EXPECT_FALSE(clk::held());
    EXPECT_EQ(ticks, (std::vector<Uint32>{0, 20, 40, 60, 80, 100})) << "no jump across the hold";
    EXPECT_EQ(c.quit, 0);
    EXPECT_EQ(show_run::current().display.flips, 6);
}

TEST_F(RtHold, EveryWaitFormAndTheMusicGateHold) {
    control c;
    using wait_fn = void (*)(control&, Uint32);
    for (wait_fn w : {wait_polling, wait_quit_or_done, wait_quit, wait_fixed}) {
        begin_frame(c);
        const Uint32 from = clk::ticks();
        source.asks = 0;
        source.holds_left = 2;
        w(c, 30);
        EXPECT_GE(source.asks, 3) << "held, then asked again";
        EXPECT_EQ(source.holds_left, 0);
        EXPECT_EQ(clk::ticks() - from, 30u);
    }
    begin_frame(c);
    source.holds_left = 3;
    settle_wait(c, 50);
    EXPECT_EQ(source.holds_left, 0);
    // No song: music time stands at 0, so this gate ends only on the quit
    // set on the hold's last ask.
    source.holds_left = 3;
    source.during = [&] {
        if (source.holds_left == 0)
            c.quit = 1;
    };
    music_gate(c, 10);
    EXPECT_EQ(source.holds_left, 0);
    EXPECT_EQ(c.quit, 1);
}

TEST_F(RtHold, AStopWhileHeldEndsTheShow) {
    // Escape while held: the hold ends, quit is set, the loop ends.
    control c;
    source.holds_left = 1000000;
    int asks = 0;
    source.during = [&] {
        if (++asks == 4)
            push_key(SDL_KEYDOWN, SDLK_ESCAPE);
    };
    const std::vector<Uint32> ticks = frames_until_quit(c, 100);
    EXPECT_EQ(c.quit, 1);
    EXPECT_EQ(ticks, std::vector<Uint32>{0}) << "one frame before the hold, none after the stop";
    EXPECT_EQ(asks, 4);
    EXPECT_FALSE(clk::held());

    // A fixed wait cut by a stop while held runs out its time on a running
    // clock, and no hold begins once quit is set.
    c = control{};
    begin_frame(c);
    const Uint32 from = clk::ticks();
    asks = 0;
    source.during = [&] {
        if (++asks == 2)
            rt_test::push_quit();  // what the page's stop action queues
    };
    wait_fixed(c, 30);
    EXPECT_EQ(c.quit, 1);
    EXPECT_EQ(clk::ticks() - from, 30u);
    EXPECT_EQ(asks, 2);
}

}  // namespace
