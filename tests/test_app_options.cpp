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

TEST(app_options, only_an_exact_dash_w_first_gives_a_window) {
    EXPECT_EQ(fullscreen_for({}), 1);
    EXPECT_EQ(fullscreen_for({"-w"}), 0);
    EXPECT_EQ(fullscreen_for({"-w", "extra", "--nosound"}), 0);
    for (const char* other : {"-W", "w", "-wx", "--w", "-", "", " -w", "-w ", "--window"})
        EXPECT_EQ(fullscreen_for({other}), 1) << "'" << other << "'";
    EXPECT_EQ(fullscreen_for({"--nosound", "-w"}), 1) << "-w counts only as the first argument";
}

TEST(app_options, long_options_follow_the_window_switch) {
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

namespace {
// Parses args, returning the status and what was printed on stdout and stderr.
struct parse_outcome {
    int status;
    run_options opt;
    std::string out, err;
};
parse_outcome parse(std::vector<std::string> args) {
    argv_builder a(std::move(args));
    parse_outcome r;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    r.status = parse_options(a.argc(), a.argv(), r.opt);
    r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    return r;
}
}  // namespace

TEST(app_options, stray_words_are_ignored_and_unknown_long_options_refused) {
    const auto stray = parse({"-W", "whatever", "-x", "--"});
    ASSERT_EQ(stray.status, -1) << stray.err;
    EXPECT_EQ(stray.opt.fullscreen, 1);
    EXPECT_EQ(stray.opt.ignored, (std::vector<std::string>{"-W", "whatever", "-x", "--"}));

    // A typo of a long option is refused, naming it and the closest option.
    const struct {
        std::vector<std::string> args;
        const char* word;
        const char* suggestion;  // "" for none
    } typos[] = {
        {{"--nosund"}, "--nosund", "--nosound"},
        {{"-w", "--no-sound"}, "--no-sound", "--nosound"},
        {{"--captur", "x.mp4"}, "--captur", "--capture"},
        {{"--quitat=100"}, "--quitat=100", "--quit-at"},
        {{"--av_offset", "20"}, "--av_offset", "--av-offset"},
        {{"--cap", "x"}, "--cap", "--capture"},
        {{"--fsp", "30"}, "--fsp", "--fps"},
        {{"--nosound", "--verison"}, "--verison", "--version"},
        {{"--frobnicate"}, "--frobnicate", ""},
        {{"--x"}, "--x", ""},
    };
    for (const auto& t : typos) {
        const auto r = parse(t.args);
        EXPECT_EQ(r.status, 2) << t.word;
        EXPECT_NE(r.err.find(std::string("unknown option ") + t.word), std::string::npos) << r.err;
        if (*t.suggestion)
            EXPECT_NE(r.err.find(std::string("did you mean ") + t.suggestion + "?"),
                      std::string::npos)
                << r.err;
        else
            EXPECT_EQ(r.err.find("did you mean"), std::string::npos) << r.err;
    }
}

TEST(app_options, bad_values_are_refused_with_status_2) {
    for (std::vector<std::string> bad : {std::vector<std::string>{"--fps", "0"},
                                         {"--fps", "241"},
                                         {"--fps"},
                                         {"--quit-at", "-5"},
                                         {"--data", "/no/such/folder/here"},
                                         {"--scale", "many"},
                                         {"--scale", "9"},
                                         {"--av-offset", "1001"},
                                         {"--av-offset", "-181"},
                                         {"--av-offset", "soon"},
                                         {"--fps", "30", "--fps", "40"}}) {
        const auto r = parse(bad);
        EXPECT_EQ(r.status, 2) << bad[0] << " " << (bad.size() > 1 ? bad[1] : "");
        EXPECT_NE(r.err.find(bad[0]), std::string::npos) << "the message names the option: " << r.err;
    }
    for (const auto& [text, ms] : {std::pair{"-180", -180}, {"1000", 1000}, {"-35", -35}}) {
        const auto r = parse({"--av-offset", text});
        ASSERT_EQ(r.status, -1) << text << ": " << r.err;
        EXPECT_EQ(r.opt.av_offset_ms, ms);
    }
    EXPECT_EQ(parse({}).opt.av_offset_ms, 0);
}

TEST(app_options, help_has_one_usage_line_and_version_names_the_libraries) {
    const auto help = parse({"--help"});
    EXPECT_EQ(help.status, 0);
    size_t usages = 0;
    for (size_t at = help.out.find("Usage:"); at != std::string::npos; at = help.out.find("Usage:", at + 1))
        ++usages;
    EXPECT_EQ(usages, 1u) << help.out;
    EXPECT_EQ(help.out.rfind("Usage: ostramere [-w] [options]\n", 0), 0u) << help.out;
    for (const char* o : {"--data DIR", "--capture OUT", "--fps N", "--bench", "--nosound",
                          "--av-offset MS", "--quit-at MS", "--scale N", "--check", "--version"})
        EXPECT_NE(help.out.find(o), std::string::npos) << o;

    const auto version = parse({"-w", "--version"});
    EXPECT_EQ(version.status, 0);
    for (const char* part : {"ostramere 05", "SDL ", "libopenmpt ", "(" OSTRA_BUILD_TYPE_FOR_TESTS " build)"})
        EXPECT_NE(version.out.find(part), std::string::npos) << part << " in " << version.out;
}
