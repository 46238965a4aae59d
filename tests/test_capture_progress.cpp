// The capture's progress line: its share and ETA counted from the capture's
// own first frame, and one line per tenth that learns the show's length from
// the song.
#include "progress_bar.h"
#include "show_run.h"

#include <gtest/gtest.h>

#include <string>

TEST(CaptureProgress, ProgressCountsTheCaptureFromItsOwnFirstFrame) {
    // Half-way through a capture from tick 0, after 30 s: 30 s to go.
    progress_estimate e = estimate_progress(50000, 0, 100000, 30.0);
    EXPECT_DOUBLE_EQ(e.done, 0.5);
    EXPECT_DOUBLE_EQ(e.own, 0.5);
    ASSERT_TRUE(e.eta_known);
    EXPECT_DOUBLE_EQ(e.eta_s, 30.0);
    // From a start point at 60 % of the show: at 80 % it is half done.
    e = estimate_progress(80000, 60000, 100000, 10.0);
    EXPECT_DOUBLE_EQ(e.done, 0.8);
    EXPECT_DOUBLE_EQ(e.own, 0.5);
    EXPECT_DOUBLE_EQ(e.eta_s, 10.0);
    // Past the expected end the shares stop at 1, nothing is left.
    e = estimate_progress(120000, 0, 100000, 50.0);
    EXPECT_DOUBLE_EQ(e.done, 1.0);
    EXPECT_DOUBLE_EQ(e.eta_s, 0.0);
    // Too early to tell (1 % or less of its own part), and no expected length.
    EXPECT_FALSE(estimate_progress(1000, 0, 100000, 1.0).eta_known);
    EXPECT_TRUE(estimate_progress(1100, 0, 100000, 1.0).eta_known);
    EXPECT_FALSE(estimate_progress(1000, 0, 0, 1.0).eta_known);
    EXPECT_DOUBLE_EQ(estimate_progress(50000, 100000, 100000, 1.0).own, 1.0);
}

TEST(CaptureProgress, TheProgressLinePrintsEachTenthOnceAndLearnsTheLengthFromTheSong) {
    show_run run;  // stderr is not a terminal here: one line per tenth of the show
    progress_bar bar(20000);
    flip_info f;
    testing::internal::CaptureStderr();
    bar.update(f);
    f.tick = 1000;
    bar.update(f);  // the same tenth: nothing new
    f.tick = 2000;
    bar.update(f);  // before the song the length given holds: a tenth
    f.tick = 10000;
    f.music_playing = true;
    f.music_ms = 0;  // the song starts: the show lasts 10000 + 160000 ticks
    bar.update(f);
    f.tick = 90000;
    f.music_ms = 80000;
    f.index = 7;
    bar.update(f);
    bar.finish();
    const std::string out = testing::internal::GetCapturedStderr();
    // The ETA comes from real time: well under 10 s between these calls.
    const std::string first = "[------------------------------]   0%  music -:--.-  frame 0  ETA ?\n";
    const std::string tenth = "[###---------------------------]  10%  music -:--.-  frame 0  ETA 0:0";
    const std::string second = "[###############---------------]  52%  music 1:20.0  frame 7  ETA 0:0";
    ASSERT_EQ(out.substr(0, first.size()), first) << out;
    EXPECT_EQ(out.substr(first.size(), tenth.size()), tenth) << out;
    const size_t at = out.find('\n', first.size()) + 1;
    ASSERT_NE(at, 0u) << out;
    // The song's start at 10000 falls in tenth 0 again: a line of its own.
    const std::string start = "[#-----------------------------]   5%  music 0:00.0  frame 0  ETA 0:0";
    EXPECT_EQ(out.substr(at, start.size()), start) << out;
    const size_t last = out.find('\n', at) + 1;
    EXPECT_EQ(out.substr(last, second.size()), second) << out;
    EXPECT_EQ(out.size(), last + second.size() + 4) << "nothing after: " << out;
}
