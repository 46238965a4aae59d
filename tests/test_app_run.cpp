// The show around the timeline, in this process: image loading, the data
// check listing every broken file at once, printable names, and a stop during
// the settle wait (every load made, the song started, shutdown in order).
#include "bitmap.h"
#include "checkpoint.h"
#include "intro.h"
#include "load_image.h"
#include "png_write.h"
#include "preflight.h"
#include "printable.h"
#include "run_show.h"
#include "test_rt_util.h"
#include "trace.h"
#include "trace_log.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;

class AppRun : public rt_test::runtime_fixture {};

namespace {
std::string read_file(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f << bytes;
}

// Runs a test body inside `dir` and comes back.
struct cwd_guard {
    fs::path old = fs::current_path();
    explicit cwd_guard(const fs::path& dir) { fs::current_path(dir); }
    ~cwd_guard() { fs::current_path(old); }
};

SDL_Surface* test_picture(int w, int h) {
    SDL_Surface* s = new_surface16(w, h);
    SDL_LockSurface(s);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            static_cast<Uint16*>(s->pixels)[y * (s->pitch / 2) + x] =
                static_cast<Uint16>((x * 2654435761u + y * 40503u) >> 7);
    SDL_UnlockSurface(s);
    return s;
}
}  // namespace

TEST_F(AppRun, LoadImageConvertsAtTheImageSizeAndReplacesTheSurface) {
    rt_test::temp_dir dir("rt-image");
    SDL_Surface* src = test_picture(37, 21);
    std::string err;
    const std::string path = (dir.path / "small.png").string();
    ASSERT_TRUE(write_png(path, src, 1, err)) << err;

    bitmap b;
    SDL_Surface* first = b.surface;
    load_image(b, path.c_str());
    ASSERT_NE(b.surface, first);
    EXPECT_EQ(b.surface->w, 37);
    EXPECT_EQ(b.surface->h, 21);
    EXPECT_EQ(b.surface->format->BitsPerPixel, 16);
    EXPECT_EQ(b.src_rect.w, 37);
    EXPECT_EQ(b.dst_rect.h, 21);
    // RGB565 -> 8-bit PNG -> RGB565 comes back exact.
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(static_cast<Uint16*>(b.surface->pixels)[y * (b.surface->pitch / 2) + x],
                      static_cast<Uint16*>(src->pixels)[y * (src->pitch / 2) + x])
                << x << "," << y;
    SDL_Surface* second = b.surface;
    load_image(b, path.c_str());
    EXPECT_NE(b.surface, second) << "each load makes a new surface";

    // A file that does not decode leaves the bitmap as it was.
    write_file(dir.path / "broken.png", "not a picture");
    SDL_Surface* kept = b.surface;
    testing::internal::CaptureStderr();
    load_image(b, (dir.path / "broken.png").string().c_str());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("broken.png"), std::string::npos);
    EXPECT_EQ(b.surface, kept);
    SDL_FreeSurface(src);
}

TEST_F(AppRun, PreflightListsEveryMissingFileAtOnce) {
    rt_test::temp_dir dir("rt-empty");
    cwd_guard in(dir.path);
    const auto problems = check_show_data();
    std::set<std::string> paths;
    for (const auto& p : problems) {
        paths.insert(p.path);
        EXPECT_NE(p.reason.find("missing"), std::string::npos) << p.path << ": " << p.reason;
    }
    EXPECT_EQ(paths.size(), problems.size()) << "each file once";
    EXPECT_EQ(problems.size(), 27u) << "22 pictures, 4 models, the song";
    EXPECT_TRUE(paths.count("./gfx/b_kunhj\xF8rner.3D"));
    EXPECT_TRUE(paths.count("./sfx/demomusic.xm"));
}

TEST_F(AppRun, PreflightNamesEachBrokenFileAndItsFault) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    rt_test::temp_dir dir("rt-broken");
    fs::copy(rt_test::data_dir(), dir.path, fs::copy_options::recursive);
    cwd_guard in(dir.path);
    EXPECT_TRUE(check_show_data().empty()) << "the generated data passes";

    fs::remove("gfx/texmex.png");
    write_file("gfx/skin.jpg", "JFIF? no.");
    SDL_Surface* small = test_picture(640, 240);  // wrong in one dimension only
    std::string err;
    ASSERT_TRUE(write_png("gfx/loadscreen.png", small, 1, err)) << err;
    SDL_FreeSurface(small);
    write_file("gfx/rom2.3D", read_file("gfx/blob1.3D"));  // a model with too few objects
    write_file("gfx/nygris2.3D", "garbage\n");
    write_file("sfx/demomusic.xm", "Extended Module: but nothing else");

    const std::string corner = "gfx/b_kunhj\xF8rner.3D";
    write_file(corner, "room\n1\n");  // a count with nothing after it

    testing::internal::CaptureStderr();
    const auto problems = check_show_data();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the check itself prints nothing";
    std::map<std::string, std::string> by_path;
    for (const auto& p : problems) by_path[p.path] = p.reason;
    EXPECT_EQ(by_path.size(), 7u);
    EXPECT_NE(by_path["./" + corner].find("object count 1"), std::string::npos);
    EXPECT_NE(by_path["./gfx/texmex.png"].find("missing"), std::string::npos);
    EXPECT_NE(by_path["./gfx/skin.jpg"].find("decode"), std::string::npos);
    EXPECT_NE(by_path["./gfx/loadscreen.png"].find("is 640x240; the loading picture must be 640x480"), std::string::npos);
    EXPECT_NE(by_path["./gfx/rom2.3D"].find("objects; the show uses objects 0..4"), std::string::npos)
        << by_path["./gfx/rom2.3D"];
    EXPECT_FALSE(by_path["./gfx/nygris2.3D"].empty());
    EXPECT_FALSE(by_path["./sfx/demomusic.xm"].empty());

    testing::internal::CaptureStderr();
    EXPECT_FALSE(preflight(stderr));
    const std::string printed = testing::internal::GetCapturedStderr();
    for (const auto& [path, reason] : by_path) {
        const std::string shown = printable(path);
        EXPECT_NE(printed.find(shown + ": " + printable(reason)), std::string::npos) << shown;
        EXPECT_EQ(printed.find(shown), printed.rfind(shown)) << "named once: " << shown;
    }
    // The corner room's Latin-1 name shows as an escape, not a raw byte.
    EXPECT_NE(printed.find("  ./gfx/b_kunhj\\xF8rner.3D: the object count 1"), std::string::npos)
        << printed;
    EXPECT_EQ(printed.find('\xF8'), std::string::npos);
}

TEST(AppPrintable, ValidUtf8PassesAndEveryOtherByteIsEscaped) {
    EXPECT_EQ(printable("./gfx/b_kunhj\xF8rner.3D"), "./gfx/b_kunhj\\xF8rner.3D");
    EXPECT_EQ(printable("kunhj\xC3\xB8rner \xE2\x82\xAC \xF0\x9F\x8E\xB5"),
              "kunhj\xC3\xB8rner \xE2\x82\xAC \xF0\x9F\x8E\xB5")
        << "2, 3 and 4-byte characters stay";
    EXPECT_EQ(printable("a\nb\tc\x7F"), "a\\x0Ab\\x09c\\x7F") << "control characters";
    EXPECT_EQ(printable("end\xC3"), "end\\xC3") << "a sequence cut short";
    EXPECT_EQ(printable("\xC3(x"), "\\xC3(x") << "a lead byte without its continuation";
    EXPECT_EQ(printable("\xB8"), "\\xB8") << "a lone continuation byte";
    EXPECT_EQ(printable("\xC0\xAF"), "\\xC0\\xAF") << "overlong";
    EXPECT_EQ(printable("\xE0\x9F\xBF"), "\\xE0\\x9F\\xBF") << "overlong";
    EXPECT_EQ(printable("\xED\xA0\x80"), "\\xED\\xA0\\x80") << "surrogate";
    EXPECT_EQ(printable("\xED\x9F\xBF"), "\xED\x9F\xBF") << "the last character before them";
    EXPECT_EQ(printable("\xF4\x8F\xBF\xBF"), "\xF4\x8F\xBF\xBF") << "U+10FFFF";
    EXPECT_EQ(printable("\xF4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80") << "beyond U+10FFFF";
    EXPECT_EQ(printable(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(printable(""), "");
}

namespace {
// Records the scene label of every flip.
struct scene_recorder : frame_sink {
    std::vector<std::string> scenes;
    void frame(SDL_Surface*, const flip_info& info) override { scenes.push_back(info.scene); }
};

long index_of(const std::vector<std::string>& log, const std::string& entry) {
    const auto it = std::find(log.begin(), log.end(), entry);
    return it == log.end() ? -1 : static_cast<long>(it - log.begin());
}
}  // namespace

TEST_F(AppRun, AStopInTheSettleWaitStillLoadsEverythingAndShutsDownInOrder) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    cwd_guard in(rt_test::data_dir());
    scene_recorder frames;
    display::set_sink(&frames);
    trace::clear();
    trace::enable(true);
    rt_test::push_key(SDL_KEYDOWN, SDLK_ESCAPE);

    intro(screen, true);
    trace::enable(false);
    const auto& log = trace::entries();

    const std::vector<std::string> loads = {
        "image ./gfx/lights.png", "image ./gfx/texmex.png",   "model ./gfx/nygris2.3D",
        "model ./gfx/blob1.3D",   "image ./gfx/tann.png",     "image ./gfx/tann.png",
        "image ./gfx/tann.png",   "image ./gfx/tann.png",     "image ./gfx/tann.png",
        "image ./gfx/skin.jpg",   "image ./gfx/aug.jpg",      "image ./gfx/aug.jpg",
        "image ./gfx/gold2.jpg",  "image ./gfx/loadscreen.png"};
    const long settle = index_of(log, "settle wait");
    ASSERT_GE(settle, 0);
    ASSERT_GE(log.size(), settle + 1 + loads.size());
    for (size_t i = 0; i < loads.size(); ++i)
        EXPECT_EQ(log[settle + 1 + i], loads[i]) << "load " << i + 1;
    const long play = index_of(log, "FMUSIC_PlaySong");
    EXPECT_EQ(play, static_cast<long>(settle + 1 + loads.size())) << "the song starts right after";
    const long free_song = index_of(log, "FMUSIC_FreeSong");
    const long close = index_of(log, "FSOUND_Close");
    const long destroyed = index_of(log, "objects destroyed");
    EXPECT_GT(free_song, play);
    EXPECT_EQ(close, free_song + 1);
    EXPECT_EQ(destroyed, close + 1);
    EXPECT_EQ(destroyed, static_cast<long>(log.size()) - 1);
    EXPECT_EQ(std::count(frames.scenes.begin(), frames.scenes.end(), "loading"), 0)
        << "the loading loop is skipped";
    EXPECT_LT(clk::ticks(), 3000u) << "no wait ran to its end after the stop";
}

TEST_F(AppRun, ASongThatBrokeAfterTheCheckIsReportedOnceAndTheShowGoesOn) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    rt_test::temp_dir dir("rt-song");
    fs::copy(rt_test::data_dir(), dir.path, fs::copy_options::recursive);
    cwd_guard in(dir.path);
    write_file("sfx/demomusic.xm", "Extended Module: but nothing else");
    rt_test::push_key(SDL_KEYDOWN, SDLK_ESCAPE);  // stop in the settle wait
    testing::internal::CaptureStderr();
    intro(screen, true);
    const std::string printed = testing::internal::GetCapturedStderr();
    const std::string path = "./sfx/demomusic.xm";
    ASSERT_NE(printed.find(path + ": the file ends inside its header"), std::string::npos) << printed;
    EXPECT_EQ(printed.find(path), printed.rfind(path)) << "named once: " << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
}

namespace {
// A sink that cannot open: the run must stop before the screen opens.
struct refusing_sink : frame_sink {
    bool open(std::string& error) override {
        error = "out.mp4: cannot start ffmpeg";
        return false;
    }
    void frame(SDL_Surface*, const flip_info&) override {}
};

struct run_outcome {
    int status;
    std::string out, err;
};
run_outcome run_in_process(const run_options& opt, frame_sink* sink = nullptr) {
    cwd_guard back(fs::current_path());
    run_outcome r;
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    r.status = run_show(opt, sink);
    r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    return r;
}
}  // namespace

// Everything run_show decides before the screen opens: the notes on options
// that give way, the data folder, the data check and --check, the sink.
TEST_F(AppRun, RunShowStopsBeforeTheScreenOnBadFoldersDataAndSinks) {
    rt_test::temp_dir empty("rt-run-empty");
    run_options opt;
    opt.data_dir = (empty.path / "none").string();
    auto r = run_in_process(opt);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot enter the data folder " + opt.data_dir), std::string::npos) << r.err;

    opt.data_dir = empty.path.string();
    opt.check = true;
    r = run_in_process(opt);
    EXPECT_EQ(r.status, preflight_failed_status);
    EXPECT_NE(r.err.find("27 problems with the show's data"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();

    // Alone, each option stays quiet; together, the later one gives way.
    opt.data_dir = rt_test::data_dir().string();
    for (auto [bench, capture, offset, nosound] :
         {std::tuple{true, "", 0, false}, {false, "frames", 0, false}, {false, "", 40, false},
          {true, "frames", 40, true}, {false, "", 40, true}}) {
        opt.bench = bench, opt.capture = capture, opt.av_offset_ms = offset, opt.nosound = nosound;
        r = run_in_process(opt);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "ostramere: every data file is in order\n");
        EXPECT_EQ(r.err.find("--bench is ignored") != std::string::npos, bench && *capture) << r.err;
        EXPECT_EQ(r.err.find("--av-offset is ignored") != std::string::npos,
                  offset && (bench || *capture || nosound))
            << r.err;
    }
    opt = {};
    opt.check = true;
    opt.ignored = {"extra"};
    opt.data_dir = rt_test::data_dir().string();
    EXPECT_EQ(run_in_process(opt).err, "ostramere: ignoring argument 'extra'\n");

    // A sink that cannot open ends the run with its reason, nothing shown.
    opt = {};
    opt.data_dir = rt_test::data_dir().string();
    opt.sim = true;
    refusing_sink refusing;
    r = run_in_process(opt, &refusing);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ostramere: out.mp4: cannot start ffmpeg\n");
}

namespace {
// Notes at the first flip whether the screen is fullscreen, the clock
// simulated and the display headless, then stops the run.
struct screen_probe : frame_sink {
    int flips = 0;
    int seen = 0;
    void frame(SDL_Surface*, const flip_info&) override {
        if (flips++ == 0) {
#if SDL_MAJOR_VERSION < 2
            seen |= (SDL_GetVideoSurface()->flags & SDL_FULLSCREEN) != 0 ? 1 : 0;
#endif
            seen |= show_run::current().clock.simulated() ? 2 : 0;
            seen |= show_run::current().display.headless ? 4 : 0;
            SDL_Event q{};
            q.type = SDL_QUIT;
            SDL_PushEvent(&q);
        }
    }
};

// A run in a child process (run_show ends SDL, which the tests' shared
// display must outlive; SDL's video leaks a little on each start and end):
// at the first flip 1 fullscreen + 2 simulated clock + 4 headless; 8 no
// flip, 9 a failed run.
int screen_of_a_live_run(run_options opt) {
    const pid_t pid = fork();
    if (pid == 0) {
        screen_probe probe;
        std::freopen("/dev/null", "w", stderr);
        const int status = run_show(opt, &probe);
        _exit(status != 0 ? 9 : probe.flips == 0 ? 8 : probe.seen);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

// A live run opens the screen the user asked for; run ahead to a start
// point on the simulated clock, so the settle wait costs no real time, it
// is live and shown from the start point on.
TEST_F(AppRun, ALiveRunOpensTheScreenFullscreenOrInAWindowAsAsked) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
#if SDL_MAJOR_VERSION >= 2
    GTEST_SKIP() << "the SDL 1.2 build reads the screen's fullscreen flag; SDL2 keeps it on its window";
#endif
    for (int asked : {0, 1}) {
        run_options opt;
        opt.data_dir = rt_test::data_dir().string();
        opt.fullscreen = asked;
        opt.nosound = true;
        opt.start.set = true;
        opt.start.music_ms = 1;
        EXPECT_EQ(screen_of_a_live_run(opt), asked);
    }
    // Without a start point a live run is shown live from its first frame,
    // a simulated one (--sim, captures) never.
    for (bool sim : {false, true}) {
        run_options opt;
        opt.data_dir = rt_test::data_dir().string();
        opt.fullscreen = 0;
        opt.nosound = true;
        opt.sim = sim;
        EXPECT_EQ(screen_of_a_live_run(opt), sim ? 2 | 4 : 0) << "sim " << sim;
    }
}

namespace {
// What a run in a child process did: its exit status (as
// screen_of_a_live_run), whether intro waited for the display to settle,
// whether a checkpoint was planned for restoring, and what it printed.
struct child_run {
    int code = -1;
    bool settled = false;
    bool restoring = false;
    std::string err;
};
child_run run_in_child(const run_options& opt, const fs::path& dir) {
    const fs::path err_file = dir / "stderr.txt", facts = dir / "facts.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        screen_probe probe;
        std::freopen(err_file.c_str(), "w", stderr);
        trace::clear();
        trace::enable(true);
        const int status = run_show(opt, &probe);
        trace::enable(false);
        std::ofstream(facts) << (index_of(trace::entries(), "settle wait") >= 0) << ' '
                             << checkpoint::current_plan().restoring << '\n';
        std::fflush(stderr);
        _exit(status != 0 ? 9 : probe.flips == 0 ? 8 : probe.seen);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    child_run r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream(facts) >> r.settled >> r.restoring;
    r.err = read_file(err_file);
    return r;
}
}  // namespace

// Runs on the simulated clock (a settle wait costs no real time): intro waits
// for the display to settle exactly when fullscreen was chosen, and a
// checkpoint is looked for only for a start point without --no-checkpoints.
TEST_F(AppRun, IntroSettlesOnlyFullscreenAndCheckpointsArePlannedOnlyForAStart) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    rt_test::temp_dir dir("rt-plan");
    run_options opt;
    opt.data_dir = rt_test::data_dir().string();
    opt.nosound = true;
    opt.sim = true;
    opt.checkpoints = (dir.path / "none").string();  // a folder with no checkpoint in it
    for (int fullscreen : {0, 1}) {
        opt.fullscreen = fullscreen;
        const child_run r = run_in_child(opt, dir.path);
        EXPECT_EQ(r.code & ~1, 2 | 4) << "a headless flip on the simulated clock: " << r.err;
        EXPECT_EQ(r.settled, fullscreen == 1) << "fullscreen " << fullscreen;
        EXPECT_FALSE(r.restoring);
        EXPECT_EQ(r.err.find("checkpoint"), std::string::npos) << "no start point, no checkpoint: " << r.err;
    }
    // The plan is made before intro starts: a stop at tick 1 spares the run
    // ahead to the start point.
    opt.fullscreen = 0;
    opt.start.set = true;
    opt.start.music_ms = 1;
    opt.quit_at = 1;
    for (bool none : {true, false}) {
        opt.no_checkpoints = none;
        const child_run r = run_in_child(opt, dir.path);
        EXPECT_TRUE(r.code >= 0 && r.code < 9) << "the run ends well: " << r.err;
        EXPECT_FALSE(r.settled);
        EXPECT_FALSE(r.restoring);
        // Looked for (and not found) only without --no-checkpoints.
        EXPECT_EQ(r.err.find("no checkpoint for the start") != std::string::npos, !none) << r.err;
    }
}
