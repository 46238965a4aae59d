// The command line: the exact "-w" rule for the first argument and the long
// options read after it.
#include "options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct argv_builder {
    std::vector<std::string> words;
    std::vector<char*> ptrs;
    explicit argv_builder(std::vector<std::string> w) : words(std::move(w)) {
        words.insert(words.begin(), "ostramere");
        for (auto& s : words) ptrs.push_back(s.data());
        ptrs.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(words.size()); }
    char** argv() { return ptrs.data(); }
};

int fullscreen_for(std::vector<std::string> args) {
    argv_builder a(std::move(args));
    return fullscreen_from_args(a.argc(), a.argv());
}
}  // namespace

TEST(rt_options, only_an_exact_dash_w_first_gives_a_window) {
    EXPECT_EQ(fullscreen_for({}), 1);
    EXPECT_EQ(fullscreen_for({"-w"}), 0);
    EXPECT_EQ(fullscreen_for({"-w", "extra", "--nosound"}), 0);
    for (const char* other : {"-W", "w", "-wx", "--w", "-", "", " -w", "-w ", "--window"})
        EXPECT_EQ(fullscreen_for({other}), 1) << "'" << other << "'";
    EXPECT_EQ(fullscreen_for({"--nosound", "-w"}), 1) << "-w counts only as the first argument";
}

TEST(rt_options, long_options_follow_the_window_switch) {
    argv_builder a({"-w", "--data", ".", "--capture", "out.mp4", "--fps", "30", "--quit-at",
                    "1500", "--nosound", "--scale", "2"});
    run_options o;
    ASSERT_EQ(parse_options(a.argc(), a.argv(), o), -1);
    EXPECT_EQ(o.fullscreen, 0);
    EXPECT_EQ(o.data_dir, ".");
    EXPECT_TRUE(o.capture_video());
    EXPECT_TRUE(o.simulated());
    EXPECT_EQ(o.fps, 30);
    EXPECT_EQ(o.quit_at, 1500u);
    EXPECT_TRUE(o.nosound);
    EXPECT_EQ(o.scale, 2);
    EXPECT_FALSE(o.bench);

    argv_builder b({"--bench", "--check"});
    run_options p;
    ASSERT_EQ(parse_options(b.argc(), b.argv(), p), -1);
    EXPECT_EQ(p.fullscreen, 1);
    EXPECT_TRUE(p.bench);
    EXPECT_EQ(p.bench_file, "ostramere-bench.json");
    EXPECT_TRUE(p.check);

    argv_builder c({"--bench", "costs.json", "--capture", "frames"});
    run_options q;
    ASSERT_EQ(parse_options(c.argc(), c.argv(), q), -1);
    EXPECT_EQ(q.bench_file, "costs.json");
    EXPECT_FALSE(q.capture_video());
}

TEST(rt_options, stray_words_are_ignored_and_bad_values_refused) {
    argv_builder a({"-W", "whatever"});
    run_options o;
    ASSERT_EQ(parse_options(a.argc(), a.argv(), o), -1);
    EXPECT_EQ(o.fullscreen, 1);
    EXPECT_EQ(o.ignored.size(), 2u);

    for (std::vector<std::string> bad : {std::vector<std::string>{"--fps", "0"},
                                         {"--quit-at", "-5"},
                                         {"--data", "/no/such/folder/here"},
                                         {"--scale", "many"}}) {
        argv_builder b(bad);
        run_options p;
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        EXPECT_GT(parse_options(b.argc(), b.argv(), p), 0) << bad[0] << " " << bad[1];
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
    }
}
