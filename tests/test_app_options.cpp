// The command line: the exact "-w" rule for the first argument and the long
// options read after it.
#include "options.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <tuple>
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

TEST(AppOptions, OnlyAnExactDashWFirstGivesAWindow) {
    EXPECT_EQ(fullscreen_for({}), 1);
    EXPECT_EQ(fullscreen_for({"-w"}), 0);
    EXPECT_EQ(fullscreen_for({"-w", "extra", "--nosound"}), 0);
    for (const char* other : {"-W", "w", "-wx", "--w", "-", "", " -w", "-w ", "--window"})
        EXPECT_EQ(fullscreen_for({other}), 1) << "'" << other << "'";
    EXPECT_EQ(fullscreen_for({"--nosound", "-w"}), 1) << "-w counts only as the first argument";
}

TEST(AppOptions, LongOptionsFollowTheWindowSwitch) {
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
    q.capture = ".mp4";
    EXPECT_FALSE(q.capture_video()) << "an extension alone names no file";
    q.capture = "a.mp4";
    EXPECT_TRUE(q.capture_video());
    EXPECT_FALSE(q.gentle);

    argv_builder d({"--flash-report", "flash.json", "--gentle"});
    run_options r;
    ASSERT_EQ(parse_options(d.argc(), d.argv(), r), -1);
    EXPECT_EQ(r.flash_report, "flash.json");
    EXPECT_TRUE(r.gentle);
    EXPECT_TRUE(r.simulated()) << "the flash report runs on the simulated clock";
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

TEST(AppOptions, StrayWordsAreIgnoredAndUnknownLongOptionsRefused) {
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
        // long enough for the heap: a swap test at the first letter reads no byte before it
        {{"--write-checkpiont", "x"}, "--write-checkpiont", "--write-checkpoints"},
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

TEST(AppOptions, TheClosestOptionCountsASwapOfNeighboursAsOneEdit) {
    const std::vector<std::string> names = {"--scale", "--capture", "--check", "--fps"};
    EXPECT_EQ(closest_option("--csael", names), "--scale") << "two swaps: two edits, still a typo";
    EXPECT_EQ(closest_option("--csaelx", names), "") << "three edits are too many for 8 letters";
    EXPECT_EQ(closest_option("--cfple", names), "") << "a swap needs both letters to match";
    EXPECT_EQ(closest_option("--" + std::string(28, 'z'), names), "") << "nothing like any option";
    EXPECT_EQ(closest_option("--=5", names), "") << "a bare '--' is three edits from --fps";
    EXPECT_EQ(closest_option("--fsp=30", names), "--fps") << "judged without its value";
    EXPECT_EQ(closest_option("--chek", {"--check", "--cheek"}), "--check") << "a tie: the first";
}

TEST(AppOptions, EveryRangeIsAcceptedAtBothEndsAndRefusedJustOutside) {
    const struct {
        const char* option;
        const char *low, *high, *below, *above;
        long long (*read)(const run_options&);
    } ranges[] = {
        {"--fps", "1", "240", "0", "241", [](const run_options& o) { return (long long)o.fps; }},
        {"--png-every", "1", "100000", "0", "100001",
         [](const run_options& o) { return (long long)o.png_every; }},
        {"--scale", "1", "8", "0", "9", [](const run_options& o) { return (long long)o.scale; }},
        {"--quit-at", "1", "4294967295", "0", "4294967296",
         [](const run_options& o) { return (long long)o.quit_at; }},
        {"--av-offset", "-180", "1000", "-181", "1001",
         [](const run_options& o) { return (long long)o.av_offset_ms; }},
    };
    for (const auto& r : ranges) {
        for (const char* ok : {r.low, r.high}) {
            const auto p = parse({r.option, ok});
            ASSERT_EQ(p.status, -1) << r.option << " " << ok << ": " << p.err;
            EXPECT_EQ(r.read(p.opt), std::stoll(ok)) << r.option;
        }
        for (const char* bad : {r.below, r.above}) {
            const auto p = parse({r.option, bad});
            EXPECT_EQ(p.status, 2) << r.option << " " << bad;
            EXPECT_NE(p.err.find(r.option), std::string::npos) << "names the option: " << p.err;
        }
    }
    // Values that are no number, missing or given twice, a missing folder, and
    // a flash report beside a bench or a capture.
    for (std::vector<std::string> bad : {std::vector<std::string>{"--fps"},
                                         {"--quit-at", "-5"},
                                         {"--data", "/no/such/folder/here"},
                                         {"--scale", "many"},
                                         {"--av-offset", "soon"},
                                         {"--fps", "30", "--fps", "40"},
                                         {"--flash-report", "f.json", "--bench"},
                                         {"--flash-report", "f.json", "--capture", "c"}}) {
        const auto r = parse(bad);
        EXPECT_EQ(r.status, 2) << bad[0] << " " << (bad.size() > 1 ? bad[1] : "");
        EXPECT_NE(r.err.find(bad[0]), std::string::npos) << "the message names the option: " << r.err;
    }
    const auto none = parse({});
    EXPECT_FALSE(none.opt.simulated()) << "a plain run is live";
    EXPECT_TRUE(parse({"--sim"}).opt.simulated());
    EXPECT_TRUE(parse({"--bench"}).opt.simulated());
    // Each of the other runs that open no device, alone.
    EXPECT_TRUE(parse({"--capture", "c"}).opt.simulated());
    EXPECT_TRUE(parse({"--flash-report", "f.json"}).opt.simulated());
    EXPECT_TRUE(parse({"--write-checkpoints", "d"}).opt.simulated());
    EXPECT_TRUE(parse({"--write-song-cache", "s.ocache"}).opt.simulated());
    EXPECT_EQ(none.opt.av_offset_ms, 0);
    EXPECT_EQ(none.opt.fps, 60);
    EXPECT_EQ(none.opt.png_every, 1);
}

TEST(AppOptions, HelpHasOneUsageLineAndVersionNamesTheLibraries) {
    const auto help = parse({"--help"});
    EXPECT_EQ(help.status, 0);
    size_t usages = 0;
    for (size_t at = help.out.find("Usage:"); at != std::string::npos; at = help.out.find("Usage:", at + 1))
        ++usages;
    EXPECT_EQ(usages, 1u) << help.out;
    EXPECT_EQ(help.out.rfind("Usage: ostramere [-w] [options]\n", 0), 0u) << help.out;
    for (const char* o : {"--data DIR", "--capture OUT", "--fps N", "--bench", "--nosound",
                          "--av-offset MS", "--quit-at MS", "--scale N", "--check", "--version", "--gentle",
                          "--flash-report FILE"})
        EXPECT_NE(help.out.find(o), std::string::npos) << o;

    const auto version = parse({"-w", "--version"});
    EXPECT_EQ(version.status, 0);
    for (const char* part : {"ostramere 05", "SDL ", "libopenmpt ", "(" OSTRA_BUILD_TYPE_FOR_TESTS " build)"})
        EXPECT_NE(version.out.find(part), std::string::npos) << part << " in " << version.out;
}

// The program itself: --help and --version print and end with status 0,
// before the data check, the display or the sound device; a refused option
// ends with 2. (A program that took the 0 of --help for "go on" would start
// the show: the time limit turns that into a failure.)
TEST(AppOptions, TheProgramEndsAfterHelpOrVersionAndOnARefusedOption) {
    for (const auto& [args, status, says] :
         {std::tuple{"--help", 0, "Usage: ostramere"}, {"-w --version", 0, "ostramere 05"},
          {"--nosund", 2, "did you mean --nosound?"}}) {
        const std::string cmd = std::string("SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 20 ") +
                                OSTRA_SHOW_BIN + " " + args + " 2>&1";
        FILE* p = popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string out;
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        const int raw = pclose(p);
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, status) << args << ": " << out;
        EXPECT_NE(out.find(says), std::string::npos) << args << ": " << out;
    }
}
