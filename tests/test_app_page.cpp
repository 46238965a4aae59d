// The page's answers as the run reads them: the control word (play on,
// hold, stop) and when a run on the simulated clock yields to the browser.
#include "page_control.h"

#include <gtest/gtest.h>

TEST(app_page, the_control_word_holds_for_anything_but_zero_and_stops_only_for_two) {
    for (int asked : {0, 1, 2, 3, -1}) {
        const page_control::answer a = page_control::read(asked);
        EXPECT_EQ(a.hold, asked != 0) << asked;
        EXPECT_EQ(a.stop, asked == 2) << asked;
    }
}

TEST(app_page, a_simulated_run_yields_once_33_ms_have_passed_not_sooner) {
    EXPECT_FALSE(page_control::yield_due(0.0, 0.0));
    EXPECT_FALSE(page_control::yield_due(1032.5, 1000.0));
    EXPECT_TRUE(page_control::yield_due(1033.0, 1000.0)) << "exactly 33 ms";
    EXPECT_TRUE(page_control::yield_due(1033.5, 1000.0));
    EXPECT_FALSE(page_control::yield_due(1000.0, 1033.0)) << "a clock read before the last yield";
}
