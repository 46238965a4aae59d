// The show around the timeline: image loading, the data check listing every
// broken file at once, a stop during the settle wait (every load made, the
// song started, no loading frame, shutdown in order) and capture determinism.
#include "bitmap.h"
#include "intro.h"
#include "load_image.h"
#include "png_write.h"
#include "preflight.h"
#include "printable.h"
#include "test_process.h"
#include "test_rt_util.h"
#include "trace.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

class app_run : public rt_test::runtime_fixture {};

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

TEST_F(app_run, load_image_converts_at_the_image_size_and_replaces_the_surface) {
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

TEST_F(app_run, preflight_lists_every_missing_file_at_once) {
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

TEST_F(app_run, preflight_names_each_broken_file_and_its_fault) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    rt_test::temp_dir dir("rt-broken");
    fs::copy(rt_test::data_dir(), dir.path, fs::copy_options::recursive);
    cwd_guard in(dir.path);
    EXPECT_TRUE(check_show_data().empty()) << "the generated data passes";

    fs::remove("gfx/texmex.png");
    write_file("gfx/skin.jpg", "JFIF? no.");
    SDL_Surface* small = test_picture(320, 240);
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
    EXPECT_NE(by_path["./gfx/loadscreen.png"].find("320x240"), std::string::npos);
    EXPECT_NE(by_path["./gfx/rom2.3D"].find("objects"), std::string::npos);
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

TEST(app_printable, valid_utf8_passes_and_every_other_byte_is_escaped) {
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

TEST_F(app_run, a_stop_in_the_settle_wait_still_loads_everything_and_shuts_down_in_order) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    cwd_guard in(rt_test::data_dir());
    scene_recorder frames;
    display::set_sink(&frames);
    trace::clear();
    trace::enable(true);
    fullscreen = 1;
    rt_test::push_key(SDL_KEYDOWN, SDLK_ESCAPE);

    intro();
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

TEST_F(app_run, a_song_that_broke_after_the_check_is_reported_once_and_the_show_goes_on) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    rt_test::temp_dir dir("rt-song");
    fs::copy(rt_test::data_dir(), dir.path, fs::copy_options::recursive);
    cwd_guard in(dir.path);
    write_file("sfx/demomusic.xm", "Extended Module: but nothing else");
    fullscreen = 1;
    rt_test::push_key(SDL_KEYDOWN, SDLK_ESCAPE);  // stop in the settle wait
    testing::internal::CaptureStderr();
    intro();
    const std::string printed = testing::internal::GetCapturedStderr();
    const std::string path = "./sfx/demomusic.xm";
    ASSERT_NE(printed.find(path + ": not a playable module"), std::string::npos) << printed;
    EXPECT_EQ(printed.find(path), printed.rfind(path)) << "named once: " << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
}

namespace {
// Runs the built program (for at most five minutes); returns its exit
// status. Its standard error goes to `err` when named.
int run_show(const std::string& args, const std::string& err = "/dev/null") {
    const std::string cmd =
        "timeout 300 " + std::string(OSTRA_SHOW_BIN) + " " + args + " >/dev/null 2>'" + err + "'";
    const int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST_F(app_run, two_captures_give_identical_frames_and_the_model_moves) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    rt_test::temp_dir dir("rt-capture");
    const std::string data = rt_test::data_dir().string();
    for (const char* run : {"a", "b"})
        ASSERT_EQ(run_show("-w --data '" + data + "' --quit-at 1500 --capture '" +
                           (dir.path / run).string() + "'"),
                  0);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path / "a"))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    const long pngs = std::count_if(names.begin(), names.end(),
                                    [](const std::string& n) { return n.ends_with(".png"); });
    EXPECT_GE(pngs, 40) << "about 50 loading frames before the stop at 1500 ms";
    for (const auto& n : names)
        EXPECT_EQ(read_file(dir.path / "a" / n), read_file(dir.path / "b" / n)) << n;
    EXPECT_NE(read_file(dir.path / "a" / "frame_000000.png"),
              read_file(dir.path / "a" / "frame_000020.png"))
        << "the model moves in front of the loading picture";

    // frames.csv: the loading frames 30 ms apart from tick 0 (windowed: no
    // settle wait), labelled, before the song.
    std::istringstream csv(read_file(dir.path / "a" / "frames.csv"));
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "frame,tick_ms,music_ms,order,pattern,row,scene,hash");
    std::getline(csv, line);
    EXPECT_TRUE(line.starts_with("0,0,,,,,loading,")) << line;
    const std::string first_hash = line.substr(line.rfind(',') + 1);
    EXPECT_EQ(first_hash.size(), 16u) << line;
    EXPECT_EQ(first_hash.find_first_not_of("0123456789abcdef"), std::string::npos) << line;
    std::getline(csv, line);
    EXPECT_TRUE(line.starts_with("1,30,,,,,loading,")) << line;
    for (int i = 2; i <= 20; ++i)
        std::getline(csv, line);
    EXPECT_NE(line.substr(line.rfind(',') + 1), first_hash) << "frame 20 differs from frame 0";
    // audio.wav covers the run from tick 0: about 1.5 s of 16-bit stereo.
    const auto wav = fs::file_size(dir.path / "a" / "audio.wav");
    EXPECT_GE(wav, 44u + 1500u * 441 / 10 * 4);
}

TEST_F(app_run, a_refused_command_line_stops_before_the_data_check) {
    // An empty data folder: a run that got as far as the data check would
    // report 27 missing files; a refused command line never gets there (nor
    // to the display or the sound device, which open after it).
    rt_test::temp_dir dir("rt-typo");
    const std::string err = (dir.path / "err.txt").string();
    for (const auto& [args, says] :
         {std::pair{"--nosund", "unknown option --nosund; did you mean --nosound?"},
          {"--fps 0", "--fps"},
          {"--av-offset -500", "--av-offset"}}) {
        const int status = run_show(std::string("-w ") + args + " --data '" + dir.path.string() +
                                        "'",
                                    err);
        EXPECT_EQ(status, 2) << args;
        const std::string printed = read_file(err);
        EXPECT_NE(printed.find(says), std::string::npos) << printed;
        EXPECT_EQ(printed.find("problem"), std::string::npos) << printed;
    }
}

namespace {
using test_process::output_of;

double number_after(const std::string& text, const std::string& key) {
    const size_t at = text.find(key);
    return at == std::string::npos ? -1e9 : std::atof(text.c_str() + at + key.size());
}
}  // namespace

TEST_F(app_run, an_mp4_capture_holds_each_picture_once_on_the_frame_grid_with_the_song_in_place) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no ffmpeg";
    rt_test::temp_dir dir("rt-mp4");
    const std::string data = rt_test::data_dir().string();
    const std::string mp4 = (dir.path / "show.mp4").string();
    // 400 loading frames (12 s), then the song and the first title card.
    ASSERT_EQ(run_show("-w --data '" + data + "' --quit-at 14500 --capture '" + mp4 + "'"), 0);
    ASSERT_EQ(run_show("-w --data '" + data + "' --quit-at 100 --capture '" +
                       (dir.path / "png").string() + "'"),
              0);
    EXPECT_FALSE(fs::exists(mp4 + ".part"));
    const std::string q = "'" + mp4 + "'";
    EXPECT_EQ(output_of("ffprobe -v error -show_entries stream=codec_name,width,height,pix_fmt,sample_rate,"
                        "channels -of csv=p=0 " + q),
              "h264,640,480,yuv420p\naac,44100,2\n");
    const double duration =
        std::atof(output_of("ffprobe -v error -show_entries format=duration -of csv=p=0 " + q).c_str());
    EXPECT_NEAR(duration, 14.5, 0.1);

    // Every picture sits on the 60 fps grid; the title's still holds are
    // sent once, so there are far fewer than 60 a second.
    std::istringstream times(output_of(
        "ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 " + q));
    int packets = 0;
    for (std::string t; std::getline(times, t); ++packets) {
        const double slots = std::atof(t.c_str()) * 60;
        EXPECT_NEAR(slots, std::round(slots), 0.06) << t;
    }
    EXPECT_GE(packets, 400);
    EXPECT_LT(packets, 14.5 * 60 * 0.8);

    // The first picture comes through without visible loss.
    const std::string psnr = output_of(
        "ffmpeg -v info -i " + q + " -i '" + (dir.path / "png" / "frame_000000.png").string() +
        "' -lavfi '[0:v]trim=end_frame=1[a];[a][1:v]psnr' -f null - 2>&1");
    EXPECT_GT(number_after(psnr, "average:"), 38.0) << psnr;

    // Silence over the loading screen, the song from 12 s on.
    const std::string quiet = output_of("ffmpeg -v info -t 11.5 -i " + q +
                                        " -map 0:a -af volumedetect -f null - 2>&1");
    EXPECT_LT(number_after(quiet, "max_volume:"), -60.0) << quiet;
    const std::string loud = output_of("ffmpeg -v info -ss 12.5 -i " + q +
                                       " -map 0:a -af volumedetect -f null - 2>&1");
    EXPECT_GT(number_after(loud, "max_volume:"), -30.0) << loud;
}

namespace {
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}
}  // namespace

TEST_F(app_run, a_capture_from_a_start_point_has_the_full_runs_frames_from_there_on) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    rt_test::temp_dir dir("rt-start");
    const std::string data = rt_test::data_dir().string();
    // Frames listed (with their hashes) in frames.csv; PNG files only for frame 0.
    const std::string common = "-w --data '" + data + "' --quit-at 143000 --png-every 100000 ";
    ASSERT_EQ(run_show(common + "--capture '" + (dir.path / "full").string() + "'"), 0);
    ASSERT_EQ(run_show(common + "--start 130000 --capture '" + (dir.path / "late").string() + "'"), 0);
    const auto full = lines_of(read_file(dir.path / "full" / "frames.csv"));
    const auto late = lines_of(read_file(dir.path / "late" / "frames.csv"));
    ASSERT_GE(late.size(), 20u);
    ASSERT_GT(full.size(), late.size());
    EXPECT_EQ(late[0], full[0]) << "the same header";
    // The first frame listed is the first at or after music 130000 ms.
    const size_t first = full.size() - (late.size() - 1);
    auto music_of = [](const std::string& row) {
        std::istringstream in(row);
        std::string field;
        for (int i = 0; i < 3; ++i) std::getline(in, field, ',');
        return field.empty() ? -1L : std::stol(field);
    };
    EXPECT_GE(music_of(full[first]), 130000L) << full[first];
    EXPECT_LT(music_of(full[first - 1]), 130000L) << full[first - 1];
    // Every row from there on, index, tick, music, position, scene and hash.
    for (size_t i = 1; i < late.size(); ++i)
        ASSERT_EQ(late[i], full[first + i - 1]) << "row " << i;
    // The sound starts at that frame's tick: the tail of the full run's.
    const std::string full_wav = read_file(dir.path / "full" / "audio.wav");
    const std::string late_wav = read_file(dir.path / "late" / "audio.wav");
    ASSERT_GT(late_wav.size(), 44u);
    ASSERT_GT(full_wav.size(), late_wav.size());
    EXPECT_EQ(full_wav.substr(full_wav.size() - (late_wav.size() - 44)), late_wav.substr(44));
    EXPECT_FALSE(fs::exists(dir.path / "late" / "frame_000000.png")) << "frame 0 was not captured";
}

TEST_F(app_run, check_mode_exits_with_status_2_on_broken_data) {
    rt_test::temp_dir dir("rt-check");
    EXPECT_EQ(run_show("--check --data '" + dir.path.string() + "'"), 2);
    if (rt_test::have_data()) {
        EXPECT_EQ(run_show("--check --data '" + rt_test::data_dir().string() + "'"), 0);
    }
}
