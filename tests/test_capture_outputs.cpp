// What a capture leaves behind, read back by its content and held to figures
// made here: frames.csv's rows, each PNG against its row's hash, audio.wav's
// header and samples against libopenmpt's own rendering of the song, the
// MP4's streams, packet times and decoded pictures, and every way a capture
// can fail (no ffmpeg, a full disk, a place that cannot be written) ending
// in an error, never a success.
#include "bench.h"
#include "decode_image.h"
#include "folder_sink.h"
#include "test_process.h"
#include "test_rt_util.h"
#include "test_sound_xm.h"
#include "video_sink.h"

#include <libopenmpt/libopenmpt.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int W = 640, H = 480;

std::string read_file(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Picture k: red steps with k, green down the rows, blue across the columns,
// so a row or a column out of place, or a row of another picture, shows.
Uint16 pixel_of(int k, int x, int y) {
    return static_cast<Uint16>(((k * 3) & 31) << 11 | (y * 63 / (H - 1)) << 5 | (x * 31 / (W - 1)));
}

void draw(SDL_Surface* s, int k) {
    SDL_LockSurface(s);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            static_cast<Uint16*>(s->pixels)[y * (s->pitch / 2) + x] = pixel_of(k, x, y);
    SDL_UnlockSurface(s);
}

// FNV-1a 64 over the 16-bit pixels, low byte first, rows top to bottom.
std::string fnv_text(const std::vector<Uint16>& px) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (Uint16 p : px)
        for (int b = 0; b < 2; ++b) {
            h ^= (p >> (8 * b)) & 0xFF;
            h *= 0x100000001b3ull;
        }
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

std::vector<Uint16> picture(int k) {
    std::vector<Uint16> px(static_cast<size_t>(W) * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) px[static_cast<size_t>(y) * W + x] = pixel_of(k, x, y);
    return px;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, sep)) out.push_back(part);
    if (!s.empty() && s.back() == sep)
        out.emplace_back();
    return out;
}

std::uint32_t le(const std::string& s, size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}

// A tone that is loud for four rows and silent for four (speed 3 at 125
// BPM: a row every 60 ms), so where the sound sits in time shows.
test_xm::song pulse_song() {
    test_xm::song s;
    s.orders = {0};
    s.speed = 3;
    s.bpm = 125;
    test_xm::pattern p;
    p.rows.resize(64);
    for (int r = 0; r < 64; r += 8) {
        p.rows[r] = {49, 1, 0x0C, 64};
        p.rows[r + 4] = {0, 0, 0x0C, 0};
    }
    s.patterns.push_back(p);
    s.sample.resize(32);
    for (int i = 0; i < 32; ++i)
        s.sample[i] = static_cast<std::int16_t>(std::lround(12000 * std::sin(2 * M_PI * i / 32)));
    return s;
}

// libopenmpt on its own, set up as the sound layer plays: `frames` sample
// frames of the song from its start.
std::vector<std::int16_t> song_rendering(const test_xm::song& s, std::int64_t frames) {
    const std::vector<std::uint8_t> bytes = test_xm::build(s);
    openmpt_module* m = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent,
                                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    std::vector<std::int16_t> out(static_cast<size_t>(frames) * 2);
    if (!m)
        return {};
    openmpt_module_set_repeat_count(m, -1);
    openmpt_module_ctl_set_integer(m, "dither", 0);
    for (std::int64_t done = 0; done < frames;) {
        const size_t n = static_cast<size_t>(std::min<std::int64_t>(4096, frames - done));
        openmpt_module_read_interleaved_stereo(m, 44100, n, out.data() + done * 2);
        done += static_cast<std::int64_t>(n);
    }
    openmpt_module_destroy(m);
    return out;
}

// Runs body in a child process with files limited to `max_bytes` (a full
// disk: writes past it fail with EFBIG) and returns its exit status.
int with_file_limit(rlim_t max_bytes, const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);  // inherited by ffmpeg too
        rlimit r{max_bytes, max_bytes};
        setrlimit(RLIMIT_FSIZE, &r);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

bool have_ffmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

}  // namespace

class CaptureOutputs : public rt_test::runtime_fixture {};

TEST_F(CaptureOutputs, AFolderCaptureListsEveryFrameKeepsItsPicturesAndTheSongsSamples) {
    rt_test::temp_dir dir("rec-out-folder");
    const test_xm::song song = pulse_song();
    ASSERT_TRUE(test_xm::write((dir.path / "s.xm").string(), song));
    FMUSIC_MODULE* m = FMUSIC_LoadSong((dir.path / "s.xm").string().c_str());
    ASSERT_NE(m, nullptr);
    clk::advance_to(100);
    FMUSIC_PlaySong(m);  // the song's frame 0 is at tick 100
    const fs::path out = dir.path / "cap";
    SDL_Surface* shown = SDL_CreateRGBSurface(0, W, H, 16, 0xF800, 0x07E0, 0x001F, 0);
    struct row {
        long index;
        Uint32 tick;
        bool music;
        int pattern;
    };
    const std::vector<row> rows = {{7, 300, false, -1}, {8, 333, true, 0}, {9, 367, true, 2},
                                   {10, 400, true, 3},  {11, 433, true, 4}, {12, 1299, true, 63}};
    {
        folder_sink sink(out.string(), 2, 0);
        std::string error;
        ASSERT_TRUE(sink.open(error)) << error;
        for (size_t k = 0; k < rows.size(); ++k) {
            clk::advance_to(rows[k].tick);
            draw(shown, static_cast<int>(k));
            flip_info f;
            f.index = rows[k].index;
            f.tick = rows[k].tick;
            f.music_playing = rows[k].music;
            if (f.music_playing) {
                f.music_ms = rows[k].tick - 100;
                f.order = static_cast<int>(k) + 20;
                f.pattern = rows[k].pattern;
                f.row = static_cast<int>(k) * 5;
            }
            f.scene = k < 3 ? "title" : "beat";
            sink.frame(shown, f);
        }
        clk::advance_to(1300);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(sink.finish(1300, 6, error)) << error;
        testing::internal::GetCapturedStderr();
    }
    SDL_FreeSurface(shown);
    FMUSIC_FreeSong(m);

    // frames.csv: a header and one row per frame, every field as flipped,
    // the hash that of the picture drawn.
    const std::vector<std::string> lines = split(read_file(out / "frames.csv"), '\n');
    ASSERT_EQ(lines.size(), rows.size() + 2) << "a header, the rows, and the final newline";
    EXPECT_EQ(lines[0], "frame,tick_ms,music_ms,order,pattern,row,scene,hash");
    EXPECT_EQ(lines.back(), "");
    for (size_t k = 0; k < rows.size(); ++k) {
        const std::vector<std::string> f = split(lines[k + 1], ',');
        ASSERT_EQ(f.size(), 8u) << lines[k + 1];
        const row& r = rows[k];
        EXPECT_EQ(f[0], std::to_string(r.index));
        EXPECT_EQ(f[1], std::to_string(r.tick));
        EXPECT_EQ(f[2], r.music ? std::to_string(r.tick - 100) : "");
        EXPECT_EQ(f[3], r.music ? std::to_string(k + 20) : "");
        EXPECT_EQ(f[4], r.music ? std::to_string(r.pattern) : "");
        EXPECT_EQ(f[5], r.music ? std::to_string(k * 5) : "");
        EXPECT_EQ(f[6], k < 3 ? "title" : "beat");
        const std::string hash = fnv_text(picture(static_cast<int>(k)));
        EXPECT_EQ(f[7], hash) << "frame " << r.index;

        // Every second frame (by index) as a PNG whose pixels give that hash.
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06ld.png", r.index);
        ASSERT_EQ(fs::exists(out / name), r.index % 2 == 0) << name;
        if (r.index % 2 != 0)
            continue;
        std::string error;
        SDL_Surface* png = decode_image((out / name).string().c_str(), error);
        ASSERT_NE(png, nullptr) << name << ": " << error;
        ASSERT_EQ(png->w, W);
        ASSERT_EQ(png->h, H);
        ASSERT_EQ(png->format->BytesPerPixel, 3);
        std::vector<Uint16> px(static_cast<size_t>(W) * H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const auto* p = static_cast<const std::uint8_t*>(png->pixels) + y * png->pitch + x * 3;
                px[static_cast<size_t>(y) * W + x] =
                    static_cast<Uint16>((p[0] >> 3) << 11 | (p[1] >> 2) << 5 | p[2] >> 3);
            }
        SDL_FreeSurface(png);
        EXPECT_EQ(fnv_text(px), f[7]) << name;
    }

    // audio.wav: the header field by field, then the song from the first
    // frame's tick (300: 200 ms into the song) to the end (1300).
    const std::string wav = read_file(out / "audio.wav");
    const std::int64_t first = 200 * 441 / 10, last = 1200 * 441 / 10;
    const std::uint32_t data_bytes = static_cast<std::uint32_t>((last - first) * 4);
    ASSERT_EQ(wav.size(), 44u + data_bytes);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(le(wav, 4, 4), 36 + data_bytes);
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le(wav, 16, 4), 16u) << "fmt chunk size";
    EXPECT_EQ(le(wav, 20, 2), 1u) << "PCM";
    EXPECT_EQ(le(wav, 22, 2), 2u) << "channels";
    EXPECT_EQ(le(wav, 24, 4), 44100u) << "sample rate";
    EXPECT_EQ(le(wav, 28, 4), 44100u * 4) << "bytes a second";
    EXPECT_EQ(le(wav, 32, 2), 4u) << "bytes a frame";
    EXPECT_EQ(le(wav, 34, 2), 16u) << "bits a sample";
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(le(wav, 40, 4), data_bytes);
    const std::vector<std::int16_t> ref = song_rendering(song, last);
    ASSERT_EQ(ref.size(), static_cast<size_t>(last) * 2);
    EXPECT_EQ(std::memcmp(wav.data() + 44, ref.data() + first * 2, data_bytes), 0)
        << "the samples are the song's own from 200 ms on";
    int loud = 0;
    for (std::int64_t i = first * 2; i < last * 2; ++i) loud += std::abs(ref[static_cast<size_t>(i)]) > 1000;
    EXPECT_GT(loud, 1000) << "the test song is not silent";
}

namespace {
// The MP4's pictures decoded at their own times, as RGB24.
std::vector<std::string> decoded_pictures(const std::string& mp4) {
    const std::string raw = test_process::output_of("ffmpeg -v error -i '" + mp4 +
                                                    "' -map 0:v -fps_mode passthrough -f rawvideo "
                                                    "-pix_fmt rgb24 -");
    std::vector<std::string> out;
    const size_t size = static_cast<size_t>(W) * H * 3;
    for (size_t at = 0; at + size <= raw.size(); at += size) out.push_back(raw.substr(at, size));
    return out;
}

// The MP4's sound decoded to 16-bit stereo at 44.1 kHz.
std::vector<std::int16_t> decoded_sound(const std::string& mp4) {
    const std::string raw = test_process::output_of("ffmpeg -v error -i '" + mp4 +
                                                    "' -map 0:a -f s16le -ac 2 -ar 44100 -");
    std::vector<std::int16_t> out(raw.size() / 2);
    std::memcpy(out.data(), raw.data(), out.size() * 2);
    return out;
}

double rms(const std::vector<std::int16_t>& s, std::int64_t from, std::int64_t frames) {
    double sum = 0;
    for (std::int64_t i = from * 2; i < (from + frames) * 2; ++i)
        sum += double(s[static_cast<size_t>(i)]) * s[static_cast<size_t>(i)];
    return std::sqrt(sum / double(frames * 2));
}
}  // namespace

TEST_F(CaptureOutputs, AnMp4ShowsEachPictureWholeAtItsTimeWithTheSongInPlace) {
    if (!have_ffmpeg())
        GTEST_SKIP() << "no ffmpeg";
    rt_test::temp_dir dir("rec-out-mp4");
    const test_xm::song song = pulse_song();
    ASSERT_TRUE(test_xm::write((dir.path / "s.xm").string(), song));
    FMUSIC_MODULE* m = FMUSIC_LoadSong((dir.path / "s.xm").string().c_str());
    ASSERT_NE(m, nullptr);
    FMUSIC_PlaySong(m);
    const std::string mp4 = (dir.path / "out.mp4").string();
    SDL_Surface* shown = SDL_CreateRGBSurface(0, W, H, 16, 0xF800, 0x07E0, 0x001F, 0);
    {
        video_sink sink(mp4, 30, 0);
        std::string error;
        ASSERT_TRUE(sink.open(error)) << error;
        // From 200 ms a flip every 40 ms, a new picture every third: ten
        // pictures, on 30 fps slots 0, 4, 8, 11, 15, 18, 22, 26, 29, 33.
        for (int i = 0; i < 30; ++i) {
            clk::advance_to(200 + static_cast<Uint32>(i) * 40);
            draw(shown, i / 3);
            flip_info f;
            f.index = i;
            f.tick = 200 + static_cast<Uint32>(i) * 40;
            sink.frame(shown, f);
        }
        clk::advance_to(1400);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(sink.finish(1400, 30, error)) << error;
        testing::internal::GetCapturedStderr();
    }
    SDL_FreeSurface(shown);
    FMUSIC_FreeSong(m);
    const std::string q = "'" + mp4 + "'";
    EXPECT_EQ(test_process::output_of("ffprobe -v error -show_entries stream=codec_name,width,height,pix_fmt,"
                                      "sample_rate,channels -of csv=p=0 " + q),
              "h264,640,480,yuv420p\naac,44100,2\n");
    // Each picture at its slot's time; the last once more in the last slot
    // before the end (1200 ms after the first frame: slot 36).
    const std::vector<int> slots = {0, 4, 8, 11, 15, 18, 22, 26, 29, 33, 36};
    std::vector<double> times;  // in presentation order (packets come in decoding order)
    for (const std::string& t : split(test_process::output_of("ffprobe -v error -select_streams v -show_entries "
                                                              "packet=pts_time -of csv=p=0 " + q), '\n'))
        if (!t.empty())
            times.push_back(std::atof(t.c_str()));
    std::sort(times.begin(), times.end());
    ASSERT_EQ(times.size(), slots.size()) << "a packet per picture";
    for (size_t i = 0; i < slots.size(); ++i)
        EXPECT_NEAR(times[i], slots[i] / 30.0, 1e-4) << "picture " << i;
    const double video_s = std::atof(test_process::output_of(
        "ffprobe -v error -select_streams v -show_entries stream=duration -of csv=p=0 " + q).c_str());
    EXPECT_NEAR(video_s, 37 / 30.0, 0.005);

    // Each decoded picture is the one drawn, row by row, within the codec's
    // loss: a row left from another picture differs by 24 in red.
    const std::vector<std::string> pics = decoded_pictures(mp4);
    ASSERT_EQ(pics.size(), slots.size());
    for (size_t i = 0; i < pics.size(); ++i) {
        const int k = std::min<int>(static_cast<int>(i), 9);
        double worst_row = 0, sum = 0;
        for (int y = 0; y < H; ++y) {
            double row = 0;
            for (int x = 0; x < W; ++x) {
                const Uint16 p = pixel_of(k, x, y);
                const int want[3] = {(p >> 11) << 3 | (p >> 13), ((p >> 5) & 63) << 2 | ((p >> 9) & 3),
                                     (p & 31) << 3 | ((p >> 2) & 7)};
                for (int c = 0; c < 3; ++c)
                    row += std::abs(static_cast<unsigned char>(pics[i][(static_cast<size_t>(y) * W + x) * 3 + c]) -
                                    want[c]);
            }
            row /= W * 3;
            worst_row = std::max(worst_row, row);
            sum += row;
        }
        EXPECT_LT(worst_row, 6.0) << "picture " << i;
        EXPECT_LT(sum / H, 2.5) << "picture " << i;
    }

    // The sound: 1.2 s from 200 ms into the song, loud and silent where the
    // song is (the encoder's loss allowed for).
    const std::vector<std::int16_t> heard = decoded_sound(mp4);
    const std::int64_t first = 200 * 441 / 10, frames = 1200 * 441 / 10;
    EXPECT_NEAR(static_cast<double>(heard.size() / 2), static_cast<double>(frames), 1024);
    const std::vector<std::int16_t> ref = song_rendering(song, first + frames);
    int windows = 0;
    for (std::int64_t at = 441; at + 2205 < frames && at * 2 + 4410 <= static_cast<std::int64_t>(heard.size());
         at += 2646) {  // 50 ms windows, 60 ms apart: every row
        const double want = rms(ref, first + at, 2205), got = rms(heard, at, 2205);
        EXPECT_NEAR(got, want, 0.1 * want + 60) << "at " << at << " frames";
        ++windows;
    }
    EXPECT_GE(windows, 15);
}

TEST_F(CaptureOutputs, EveryFailedCaptureEndsWithItsReasonNeverASuccess) {
    rt_test::temp_dir dir("rec-out-fail");
    // Noise: a picture no encoder can make small.
    SDL_Surface* shown = SDL_CreateRGBSurface(0, W, H, 16, 0xF800, 0x07E0, 0x001F, 0);
    std::uint32_t seed = 12345;
    for (int i = 0; i < W * H; ++i) {
        seed = seed * 1664525u + 1013904223u;
        static_cast<Uint16*>(shown->pixels)[i] = static_cast<Uint16>(seed >> 16);
    }
    // A capture of `frames` flips to `sink`, 33 ms apart; the finish's
    // outcome, its message in `error`.
    const auto capture = [&](capture_sink& sink, int frames, long first_index, std::string& error) {
        if (!sink.open(error))
            return false;
        for (int i = 0; i < frames; ++i) {
            flip_info f;
            f.index = first_index + i;
            f.tick = clk::ticks() + 33;
            clk::advance_to(f.tick);
            sink.frame(shown, f);
        }
        return sink.finish(clk::ticks(), frames, error);
    };
    // The message the child saw, passed back through a file.
    const fs::path said = dir.path / "said";
    const auto tell = [&](bool ok, const std::string& error) {
        std::ofstream(said) << error;
        return ok ? 0 : 1;
    };

    // A full disk under the PNG frames, under frames.csv alone, under the
    // WAV alone: each names its file.
    for (const auto& [png_every, first_index, limit, file] :
         {std::tuple{1, 0L, rlim_t{4096}, "frame_000"}, {1000, 1L, rlim_t{4096}, "frames.csv"}}) {
        const fs::path out = dir.path / ("full-" + std::to_string(png_every));
        const int status = with_file_limit(limit, [&] {
            folder_sink sink(out.string(), png_every, 0);
            std::string error;
            testing::internal::CaptureStderr();
            const bool ok = capture(sink, 200, first_index, error);
            testing::internal::GetCapturedStderr();
            return tell(ok, error);
        });
        EXPECT_EQ(status, 1) << file;
        const std::string error = read_file(said);
        EXPECT_EQ(error.rfind((out / file).string(), 0), 0u) << error;
    }
    {
        const test_xm::song song = pulse_song();
        ASSERT_TRUE(test_xm::write((dir.path / "s.xm").string(), song));
        FMUSIC_MODULE* m = FMUSIC_LoadSong((dir.path / "s.xm").string().c_str());
        ASSERT_NE(m, nullptr);
        FMUSIC_PlaySong(m);
        const fs::path out = dir.path / "full-wav";
        const int status = with_file_limit(64 << 10, [&] {
            folder_sink sink(out.string(), 1000, 0);
            std::string error;
            testing::internal::CaptureStderr();
            const bool ok = capture(sink, 30, 1, error);  // 1 s of sound: 176 kB
            testing::internal::GetCapturedStderr();
            return tell(ok, error);
        });
        FMUSIC_FreeSong(m);
        EXPECT_EQ(status, 1);
        EXPECT_EQ(read_file(said), (out / "audio.wav").string() + ": writing the audio failed");
    }

    // A report that does not fit on the disk is not reported as written.
    {
        const fs::path json = dir.path / "bench.json";
        const int status = with_file_limit(100, [&] {
            bench_sink b(json.string());
            flip_info f;
            f.scene = "beat";
            b.frame(nullptr, f);
            std::string error;
            testing::internal::CaptureStdout();
            const bool ok = b.finish(1000, 1, error);
            testing::internal::GetCapturedStdout();
            return tell(ok, error);
        });
        EXPECT_EQ(status, 1);
        EXPECT_EQ(read_file(said), json.string() + ": writing the bench report failed");
        const fs::path flash = dir.path / "flash.json";
        EXPECT_EQ(with_file_limit(100, [&] {
                      flash_report r(flash.string());
                      flip_info f;
                      f.scene = "beat";
                      r.frame(shown, f);
                      std::string error;
                      return tell(r.write(error), error);
                  }),
                  1);
        EXPECT_EQ(read_file(said), flash.string() + ": writing the flash report failed");
    }

    if (!have_ffmpeg()) {
        SDL_FreeSurface(shown);
        GTEST_SKIP() << "no ffmpeg";
    }
    // ffmpeg missing from PATH: refused before anything is drawn.
    {
        const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", (dir.path / "empty").c_str(), 1);
        video_sink sink((dir.path / "no.mp4").string(), 30, 0);
        std::string error;
        EXPECT_FALSE(sink.open(error));
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(error, (dir.path / "no.mp4").string() +
                             ": writing a video needs the ffmpeg program, which was not found");
    }
    // A video ffmpeg cannot write (below a plain file), one that fills the
    // disk on the way, and a black one that fills it only with the file's
    // end: a failure, no video and no part file left.
    std::ofstream(dir.path / "plain") << "x";
    for (const auto& [name, limit] : {std::pair{"plain/v.mp4", RLIM_INFINITY}, {"full.mp4", rlim_t{16 << 10}},
                                      {"black.mp4", rlim_t{3000}}}) {
        const std::string mp4 = (dir.path / name).string();
        if (std::string(name) == "black.mp4")
            SDL_FillRect(shown, nullptr, 0);
        const int status = with_file_limit(limit, [&] {
            video_sink sink(mp4, 30, 0);
            std::string error;
            testing::internal::CaptureStderr();
            const bool ok = capture(sink, 60, 0, error);
            testing::internal::GetCapturedStderr();
            return tell(ok, error);
        });
        EXPECT_EQ(status, 1) << name;
        const std::string error = read_file(said);
        EXPECT_EQ(error.rfind(mp4 + ": ffmpeg", 0), 0u) << error;
        EXPECT_FALSE(fs::exists(mp4)) << name;
        EXPECT_FALSE(fs::exists(mp4 + ".part")) << name;
    }
    SDL_FreeSurface(shown);
}
