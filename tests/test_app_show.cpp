// Whole runs of the built program: two captures alike, a refused command
// line stopping before the data check, an MP4 capture on its frame grid,
// a capture from a start point, and --check's exit status, also on each kind
// of damaged file (refused quickly and in little memory, naming the file).
#include "png_check.h"
#include "test_png_bytes.h"
#include "test_process.h"
#include "test_rt_util.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

class AppShow : public rt_test::runtime_fixture {};

namespace {
std::string read_file(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}
}  // namespace

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

TEST_F(AppShow, TwoCapturesGiveIdenticalFramesAndTheModelMoves) {
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

TEST_F(AppShow, ARefusedCommandLineStopsBeforeTheDataCheck) {
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

TEST_F(AppShow, AnMp4CaptureHoldsEachPictureOnceOnTheFrameGridWithTheSongInPlace) {
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

TEST_F(AppShow, ACaptureFromAStartPointHasTheFullRunsFramesFromThereOn) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    rt_test::temp_dir dir("rt-start");
    const std::string data = rt_test::data_dir().string();
    // Frames listed (with their hashes) in frames.csv; PNG files only for frame 0.
    // A start in the beat scene (the browser test starts in the final scene,
    // against the native full run).
    const std::string common = "-w --data '" + data + "' --quit-at 45000 --png-every 100000 ";
    ASSERT_EQ(run_show(common + "--capture '" + (dir.path / "full").string() + "'"), 0);
    ASSERT_EQ(run_show(common + "--start 25000 --capture '" + (dir.path / "late").string() + "'"), 0);
    const auto full = lines_of(read_file(dir.path / "full" / "frames.csv"));
    const auto late = lines_of(read_file(dir.path / "late" / "frames.csv"));
    ASSERT_GE(late.size(), 20u);
    ASSERT_GT(full.size(), late.size());
    EXPECT_EQ(late[0], full[0]) << "the same header";
    // The first frame listed is the first at or after music 25000 ms.
    const size_t first = full.size() - (late.size() - 1);
    auto music_of = [](const std::string& row) {
        std::istringstream in(row);
        std::string field;
        for (int i = 0; i < 3; ++i) std::getline(in, field, ',');
        return field.empty() ? -1L : std::stol(field);
    };
    EXPECT_GE(music_of(full[first]), 25000L) << full[first];
    EXPECT_LT(music_of(full[first - 1]), 25000L) << full[first - 1];
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

TEST_F(AppShow, CheckModeExitsWithStatus2OnBrokenData) {
    rt_test::temp_dir dir("rt-check");
    EXPECT_EQ(run_show("--check --data '" + dir.path.string() + "'"), 2);
    if (rt_test::have_data()) {
        EXPECT_EQ(run_show("--check --data '" + rt_test::data_dir().string() + "'"), 0);
    }
}

namespace {
// One --check run on `data`: its exit status (-1 when killed: a hang ends
// after 60 s), standard error and peak resident memory.
struct check_run {
    int status = -1;
    std::string err;
    long peak_kb = 0;
};
check_run run_check(const fs::path& data, const fs::path& err_file) {
    check_run r;
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen(err_file.c_str(), "w", stderr);
        alarm(60);  // survives exec: a hang is killed, not waited for
        execl(OSTRA_SHOW_BIN, OSTRA_SHOW_BIN, "--check", "--data", data.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.peak_kb = usage.ru_maxrss;
    }
    r.err = read_file(err_file);
    return r;
}

void write_bytes(const fs::path& p, const std::string& bytes) {
    fs::remove(p);  // a link into the generated data: replaced, not written through
    std::ofstream(p, std::ios::binary) << bytes;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr long memory_limit_kb = 1024 * 1024;  // the sanitizers' shadow memory
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr long memory_limit_kb = 1024 * 1024;
#else
constexpr long memory_limit_kb = 100 * 1024;
#endif
#else
constexpr long memory_limit_kb = 100 * 1024;
#endif
}  // namespace

TEST_F(AppShow, CheckRefusesEachDamagedFileByNameWithoutReadingWhatItClaims) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    rt_test::temp_dir dir("rt-damaged");
    // the generated data as links, one file replaced per case
    for (const char* sub : {"gfx", "sfx"}) {
        fs::create_directories(dir.path / sub);
        for (const auto& e : fs::directory_iterator(rt_test::data_dir() / sub))
            fs::create_symlink(e.path(), dir.path / sub / e.path().filename());
    }
    const check_run clean = run_check(dir.path, dir.path / "err.txt");
    ASSERT_EQ(clean.status, 0) << clean.err;
    const std::string skin = read_file(rt_test::data_dir() / "gfx" / "skin.jpg");
    const std::string song = read_file(rt_test::data_dir() / "sfx" / "demomusic.xm");
    auto png_of = [](const test_png::bytes& b) { return std::string(b.begin(), b.end()); };
    test_png::bytes huge(png_signature, png_signature + 8), claim = huge;
    test_png::chunk(huge, "IHDR", test_png::ihdr(16383, 16383));
    test_png::chunk(huge, "IDAT", {0x78, 0x01});
    test_png::chunk(huge, "IEND", {});
    test_png::chunk(claim, "IHDR", test_png::ihdr(640, 480));
    test_png::put32(claim, 1900000000u);
    claim.insert(claim.end(), {'I', 'D', 'A', 'T', 0x78, 0x01});
    claim.resize(4096, 0);
    std::string pgm = "P5\n640 480\n65535\n";
    pgm.resize(pgm.size() + 640 * 480 * 2, '\x80');
    std::string rle_tga("\0\0\x0A\0\0\0\0\0\0\0\0\0\x02\x2D\x18\x20\x18\x20", 18);
    rle_tga.resize(8192, '\xFF');

    const struct {
        const char* file;
        std::string bytes;
        const char* says;
    } cases[] = {
        {"gfx/lights.png", pgm, "holds a PNM picture"},
        {"gfx/bais.png", "P5\n1 1\n300", "holds a PNM picture"},
        {"gfx/vormbrisk.png", "P6\n640 480\n255\n", "holds a PNM picture"},
        {"gfx/skin.jpg", skin.substr(0, skin.size() / 2), "damaged JPEG (Premature end of JPEG file"},
        {"gfx/new1.png", png_of(huge), "16383x16383 is beyond the 640x480"},
        {"gfx/new2.png", png_of(claim), "IDAT, 1900000000 bytes claimed"},
        {"gfx/greets1.png", rle_tga, "holds no picture format the show reads"},
        {"gfx/texmex.png", skin, "holds a JPEG"},
        {"sfx/demomusic.xm", song.substr(0, song.size() / 2), "the file ends inside"},
        {"gfx/rom2.3D", "", "too large for a model (2147483648 bytes"},
    };
    for (const auto& c : cases) {
        const fs::path target = dir.path / c.file;
        write_bytes(target, c.bytes);
        if (c.bytes.empty()) {  // the model with 2 GB of trailing bytes, sparse
            write_bytes(target, read_file(rt_test::data_dir() / c.file));
            fs::resize_file(target, 2ull << 30);
        }
        const check_run r = run_check(dir.path, dir.path / "err.txt");
        EXPECT_EQ(r.status, 2) << c.file << ": " << r.err;
        EXPECT_NE(r.err.find("1 problem with"), std::string::npos) << c.file << ": " << r.err;
        EXPECT_NE(r.err.find(std::string("  ./") + c.file + ": "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.file << ": " << r.err;
        EXPECT_LT(r.peak_kb, memory_limit_kb) << c.file;
        fs::remove(target);
        fs::create_symlink(rt_test::data_dir() / c.file, target);
    }
}

// The program itself, not only its sinks: a capture that cannot be written
// ends with exit status 1 and the reason, whatever stops it.
TEST_F(AppShow, ACaptureThatFailsExitsWithStatus1AndItsReason) {
    if (!rt_test::have_data())
        GTEST_SKIP() << "no generated data in " << rt_test::data_dir();
    rt_test::temp_dir dir("rt-fail");
    const std::string data = rt_test::data_dir().string();
    const std::string err = (dir.path / "err.txt").string();
    std::ofstream(dir.path / "plain") << "x";
    const std::string bin = OSTRA_SHOW_BIN;
    struct failure {
        std::string how;  // what goes before the program on its shell line
        std::string target;
        std::string says;
    };
    const std::string full = "ulimit -f 4; trap '' XFSZ; ";  // files of a few kB at most: a full disk
    std::vector<failure> cases = {
        {"", (dir.path / "plain" / "cap").string(), "cannot create the capture folder"},
        {full, (dir.path / "full").string(), (dir.path / "full").string() + "/"},
        {"PATH='" + (dir.path / "none").string() + "' ", (dir.path / "v.mp4").string(), "needs the ffmpeg program"},
    };
    if (std::system("ffmpeg -version >/dev/null 2>&1") == 0) {
        cases.push_back({"", (dir.path / "plain" / "v.mp4").string(), "ffmpeg"});
        cases.push_back({full, (dir.path / "full.mp4").string(), "ffmpeg"});
    }
    for (const failure& c : cases) {
        const std::string cmd = "(" + c.how + "exec /usr/bin/timeout 300 '" + bin + "' -w --data '" + data +
                                "' --quit-at 300 --capture '" + c.target + "') >/dev/null 2>'" + err + "'";
        const int status = std::system(cmd.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << c.how << c.target << ": " << status;
        const std::string printed = read_file(err);
        EXPECT_NE(printed.find(c.target), std::string::npos) << printed;
        EXPECT_NE(printed.find(c.says), std::string::npos) << printed;
        EXPECT_EQ(printed.find("captured"), std::string::npos) << "no success line: " << printed;
        EXPECT_FALSE(fs::exists(c.target) && !fs::is_directory(c.target)) << c.target;
    }
}
