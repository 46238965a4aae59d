// The clock: the simulated counter moves only forward and only through
// advance_to; the live counter never goes back; the injected stop comes once.
#include <gtest/gtest.h>

#include "clock.h"

namespace {

TEST(Clock, SimulatedStartsAtZeroAndOnlyMovesForward) {
    clk::set_simulated(true);
    EXPECT_TRUE(clk::simulated());
    EXPECT_EQ(clk::ticks(), 0u);
    SDL_Delay(5);
    EXPECT_EQ(clk::ticks(), 0u);  // real time costs no virtual time
    clk::advance_to(30);
    EXPECT_EQ(clk::ticks(), 30u);
    clk::advance_to(10);
    EXPECT_EQ(clk::ticks(), 30u);  // never back
    clk::advance_to(4000000000u);
    EXPECT_EQ(clk::ticks(), 4000000000u);
    clk::reset();
    EXPECT_TRUE(clk::simulated());
    EXPECT_EQ(clk::ticks(), 0u);
    clk::set_simulated(false);
}

TEST(Clock, LiveCountsFromItsStartAndNeverGoesBack) {
    clk::set_simulated(false);
    clk::reset();
    EXPECT_LT(clk::ticks(), 50u);
    clk::advance_to(100000);  // does nothing live
    EXPECT_LT(clk::ticks(), 50u);
    Uint32 last = clk::ticks();
    const Uint32 start = last;
    while (clk::ticks() - start < 40) {
        const Uint32 now = clk::ticks();
        ASSERT_GE(now, last);
        last = now;
    }
    SDL_Delay(20);
    EXPECT_GE(clk::ticks() - start, 60u);
}

TEST(Clock, InjectedStopIsDeliveredOnceWhenDue) {
    clk::set_simulated(true);
    EXPECT_FALSE(clk::take_injected_quit());  // disabled by default
    clk::set_quit_at(500);
    clk::advance_to(499);
    EXPECT_FALSE(clk::take_injected_quit());
    clk::advance_to(500);
    EXPECT_TRUE(clk::take_injected_quit());
    EXPECT_FALSE(clk::take_injected_quit());
    clk::advance_to(900);
    EXPECT_FALSE(clk::take_injected_quit());
    clk::set_quit_at(0);
    clk::reset();
    clk::set_simulated(false);
}

}  // namespace
