// The clock: the simulated counter moves only forward and only through
// advance_to; the live counter never goes back; the injected stop comes once.
// Each test has a clock of its own; a run's clock is the one the show reads
// while the run lasts.
#include <gtest/gtest.h>

#include "clock.h"
#include "music_clock_text.h"
#include "show_run.h"

#include <stdexcept>

namespace {

TEST(Clock, SimulatedStartsAtZeroAndOnlyMovesForward) {
    show_clock clk;
    clk.set_simulated(true);
    EXPECT_TRUE(clk.simulated());
    EXPECT_EQ(clk.ticks(), 0u);
    SDL_Delay(5);
    EXPECT_EQ(clk.ticks(), 0u);  // real time costs no virtual time
    clk.advance_to(30);
    EXPECT_EQ(clk.ticks(), 30u);
    clk.advance_to(10);
    EXPECT_EQ(clk.ticks(), 30u);  // never back
    clk.advance_to(4000000000u);
    EXPECT_EQ(clk.ticks(), 4000000000u);
    clk.set_simulated(true);
    EXPECT_EQ(clk.ticks(), 0u);
}

TEST(Clock, ARunsClockIsReadWhileItLastsAndThePreviousComesBackAfter) {
    show_run outer;
    outer.clock.set_simulated(true);
    outer.clock.advance_to(100);
    {
        show_run inner;
        inner.clock.set_simulated(true);
        EXPECT_EQ(clk::ticks(), 0u);
    }
    ASSERT_EQ(&show_run::current(), &outer);
    EXPECT_EQ(clk::ticks(), 100u);
}

TEST(Clock, AHoldStopsTheCountAndItGoesOnFromThereWithoutAJump) {
    show_clock sim;
    sim.set_simulated(true);
    sim.advance_to(100);
    sim.hold();
    EXPECT_TRUE(sim.held());
    sim.advance_to(200);  // a held clock does not move
    EXPECT_EQ(sim.ticks(), 100u);
    sim.hold();  // a second hold keeps the first tick
    sim.release();
    EXPECT_FALSE(sim.held());
    EXPECT_EQ(sim.ticks(), 100u);
    sim.advance_to(150);
    EXPECT_EQ(sim.ticks(), 150u);
    sim.release();  // a release without a hold does nothing
    EXPECT_EQ(sim.ticks(), 150u);

    show_clock live;
    live.set_simulated(false);
    SDL_Delay(20);
    live.hold();
    const Uint32 at = live.ticks();
    EXPECT_GE(at, 20u);
    SDL_Delay(200);
    EXPECT_EQ(live.ticks(), at) << "held: the time away does not count";
    live.release();
    const Uint32 after = live.ticks();
    EXPECT_GE(after, at);
    EXPECT_LT(after - at, 100u) << "released: on from the held tick, not from the wall clock";

    // A run ahead held and then going live counts on from the held tick.
    show_clock ahead;
    ahead.set_simulated(true);
    ahead.advance_to(5000);
    ahead.hold();
    ahead.go_live();
    ahead.release();
    EXPECT_FALSE(ahead.simulated());
    EXPECT_GE(ahead.ticks(), 5000u);
    EXPECT_LT(ahead.ticks(), 5100u);
    // A fresh start forgets a hold.
    ahead.hold();
    ahead.set_simulated(true);
    EXPECT_FALSE(ahead.held());
}

TEST(Clock, LiveCountsFromItsStartAndNeverGoesBack) {
    show_clock clk;
    clk.set_simulated(false);
    EXPECT_LT(clk.ticks(), 50u);
    clk.advance_to(100000);  // does nothing live
    EXPECT_LT(clk.ticks(), 50u);
    Uint32 last = clk.ticks();
    const Uint32 start = last;
    while (clk.ticks() - start < 40) {
        const Uint32 now = clk.ticks();
        ASSERT_GE(now, last);
        last = now;
    }
    SDL_Delay(20);
    EXPECT_GE(clk.ticks() - start, 60u);
}

TEST(Clock, InjectedStopIsDeliveredOnceWhenDue) {
    show_clock clk;
    clk.set_simulated(true);
    EXPECT_FALSE(clk.take_injected_quit());  // disabled by default
    clk.set_quit_at(500);
    clk.advance_to(499);
    EXPECT_FALSE(clk.take_injected_quit());
    clk.advance_to(500);
    EXPECT_TRUE(clk.take_injected_quit());
    EXPECT_FALSE(clk.take_injected_quit());
    clk.advance_to(900);
    EXPECT_FALSE(clk.take_injected_quit());
}

TEST(Clock, SimulatedWaitThatCannotMoveTheClockFailsInsteadOfSpinning) {
    show_clock clk;
    clk.set_simulated(true);
    clk.advance_to(40);
    // Calls that ask for the tick the clock stands at (or one behind it)
    // throw on the stall_limit-th call in a row, not before.
    auto calls_until_throw = [&](Uint32 t) {
        for (unsigned n = 1; n <= 2 * show_clock::stall_limit; ++n) {
            try {
                clk.advance_to(t);
            } catch (const std::logic_error& e) {
                EXPECT_NE(std::string(e.what()).find("stuck at tick 40"), std::string::npos) << e.what();
                return n;
            }
        }
        return 0u;
    };
    EXPECT_EQ(calls_until_throw(40), show_clock::stall_limit);
    EXPECT_EQ(calls_until_throw(39), show_clock::stall_limit);
    // A call that moves the clock starts the count again.
    for (unsigned n = 1; n < show_clock::stall_limit; ++n) clk.advance_to(40);
    clk.advance_to(41);
    EXPECT_EQ(clk.ticks(), 41u);
    for (unsigned n = 1; n < show_clock::stall_limit; ++n) clk.advance_to(41);
    clk.set_simulated(true);  // so does a restart
    clk.advance_to(0);
    EXPECT_EQ(clk.ticks(), 0u);
}

TEST(Clock, TimesPrintAsMinutesSecondsAndTenthsCut) {
    EXPECT_EQ(music_clock_text(0), "0:00.0");
    EXPECT_EQ(music_clock_text(1150), "0:01.1");
    EXPECT_EQ(music_clock_text(59950), "0:59.9");
    EXPECT_EQ(music_clock_text(59999), "0:59.9");
    EXPECT_EQ(music_clock_text(60000), "1:00.0");
    EXPECT_EQ(music_clock_text(93399), "1:33.3");
    EXPECT_EQ(music_clock_text(600000), "10:00.0");
    EXPECT_EQ(music_clock_text(605000), "10:05.0");
}

}  // namespace
