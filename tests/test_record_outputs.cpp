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

class record_outputs : public rt_test::runtime_fixture {};

TEST_F(record_outputs, a_folder_capture_lists_every_frame_keeps_its_pictures_and_the_songs_samples) {
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

TEST_F(record_outputs, an_mp4_shows_each_picture_whole_at_its_time_with_the_song_in_place) {
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

TEST_F(record_outputs, every_failed_capture_ends_with_its_reason_never_a_success) {
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

namespace {
// Every "key": value of a JSON text in order (a value up to the next comma,
// brace, bracket or line end; "[" for a list, "{" for an object).
std::vector<std::pair<std::string, std::string>> fields(const std::string& json) {
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t at = json.find('"'); at != std::string::npos; at = json.find('"', at)) {
        const size_t end = json.find('"', at + 1);
        if (json.compare(end, 3, "\": ") != 0) {  // a string value: skip it, escapes and all
            size_t close = end;
            while (json[close - 1] == '\\') close = json.find('"', close + 1);
            at = close + 1;
            continue;
        }
        const std::string key = json.substr(at + 1, end - at - 1);
        size_t v = end + 3, stop = v;
        if (json[v] == '[' || json[v] == '{')
            stop = v + 1;
        else if (json[v] == '"') {
            stop = v + 1;
            while (json[stop] != '"' || json[stop - 1] == '\\') ++stop;
            ++stop;
        } else
            stop = json.find_first_of(",}]\n", v);
        out.emplace_back(key, json.substr(v, stop - v));
        at = stop;
    }
    return out;
}

double num(const std::string& v) { return std::atof(v.c_str()); }

// A flip of `scene` whose work took `cost_ms`.
void flip_after(bench_sink& b, const char* scene, double cost_ms, Uint32 tick, SDL_Surface* shown = nullptr) {
    flip_info info;
    info.scene = scene;
    info.tick = tick;
    info.costs.work_ns = static_cast<std::uint64_t>(cost_ms * 1e6);
    b.frame(shown, info);
}
}  // namespace

// Every field of the bench report against figures made here: the planted
// costs' mean, nearest-rank percentiles, largest and sum, per scene and in
// all, the flash summary of a screen flashing every frame, the present costs.
TEST(record_outputs_report, every_field_of_the_bench_report_is_the_figure_planted) {
    show_run run;
    bench_sink b;
    SDL_Surface* s = SDL_CreateRGBSurface(0, 64, 48, 16, 0xF800, 0x07E0, 0x001F, 0);
    // "a": 120 frames costing 10, 20, ... 1200 ms in a scrambled order,
    // black and white in turn every 50 ms; then "b": 2 frames, not analysed.
    for (int i = 0; i < 120; ++i) {
        SDL_FillRect(s, nullptr, i % 2 ? 0xFFFF : 0);
        flip_after(b, "a", 10.0 * ((i * 7) % 120 + 1), static_cast<Uint32>(i) * 50, s);
    }
    flip_after(b, "b", 5, 6000);
    flip_after(b, "b", 15, 6050);
    SDL_FreeSurface(s);
    for (int k = 1; k <= 200; ++k) b.add_present_cost(k);
    const auto f = fields(b.json(7000));
    std::vector<std::string> keys;
    for (const auto& [k, v] : f) keys.push_back(k);
    const std::vector<std::string> scene = {"name", "frames", "mean_ms", "p50_ms", "p99_ms", "max_ms",
                                            "total_ms", "cpu_mean_ms", "cpu_total_ms"};
    // Each of the four checks (two readings, two field steps): its failing
    // frames and worst counts.
    std::vector<std::string> checks = {"checks"};
    for (int c = 0; c < flash_checks; ++c)
        for (const char* k : {flash_check_name(c), "failing_frames", "general", "red"}) checks.push_back(k);
    std::vector<std::string> flash_scene = {"name", "frames", "failing_frames", "worst_general", "worst_red"};
    flash_scene.insert(flash_scene.end(), checks.begin(), checks.end());
    std::vector<std::string> want = {"show_ms", "frames", "render_ms", "render_cpu_ms", "scenes"};
    for (int i = 0; i < 2; ++i) want.insert(want.end(), scene.begin(), scene.end());
    for (const char* k : {"flash", "gentle", "failing_frames", "failing_ms", "analysis_mean_ms",
                          "analysis_cpu_mean_ms"})
        want.push_back(k);
    want.insert(want.end(), checks.begin(), checks.end());
    want.push_back("scenes");
    want.insert(want.end(), flash_scene.begin(), flash_scene.end());
    for (const char* k : {"present", "frames", "mean_ms", "p50_ms", "p99_ms", "max_ms", "song_render_ms",
                          "song_render_cpu_ms"})
        want.push_back(k);
    ASSERT_EQ(keys, want);
    const auto at = [&](size_t i) { return f[i].second; };
    EXPECT_EQ(at(0), "7000");
    EXPECT_EQ(at(1), "122");
    // Each measured cost is the planted one and the few microseconds of the
    // call: well under 1 ms a frame even on a busy machine.
    const auto near = [](const std::string& v, double planted, double frames = 1) {
        return num(v) >= planted && num(v) < planted + 1.0 * frames;
    };
    EXPECT_PRED3(near, at(2), 72600 + 20, 122);  // the sum of every cost
    EXPECT_EQ(at(5), "\"a\"");
    EXPECT_EQ(at(6), "120");
    EXPECT_PRED3(near, at(7), 605, 1);    // mean: 72600 / 120
    EXPECT_PRED3(near, at(8), 600, 1);    // p50: the 60th of 120
    EXPECT_PRED3(near, at(9), 1190, 1);   // p99: the 119th (ceil of 118.8)
    EXPECT_PRED3(near, at(10), 1200, 1);  // the largest
    EXPECT_PRED3(near, at(11), 72600, 120);
    EXPECT_EQ(at(14), "\"b\"");
    EXPECT_EQ(at(15), "2");
    EXPECT_PRED3(near, at(16), 10, 1);
    EXPECT_PRED3(near, at(17), 5, 1);   // p50 of two: the first
    EXPECT_PRED3(near, at(18), 15, 1);  // p99 of two: the second
    EXPECT_PRED3(near, at(19), 15, 1);
    EXPECT_PRED3(near, at(20), 20, 2);
    // CPU: each scene's mean is its sum over its frames, and the whole the
    // sum of the scenes (this thread did little work in these flips).
    for (size_t row : {5u, 14u}) {
        EXPECT_NEAR(num(at(row + 7)) * num(at(row + 1)), num(at(row + 8)), 1e-3 * (1 + num(at(row + 8))));
        EXPECT_GE(num(at(row + 8)), 0.0);
    }
    EXPECT_NEAR(num(at(3)), num(at(13)) + num(at(22)), 1e-3 * (1 + num(at(3))));
    // Flash: frames 7 to 119 hold more than six transitions within a second
    // (each frame one), 112 frames of 50 ms on screen after the first of them.
    EXPECT_EQ(at(24), "false");
    EXPECT_EQ(at(25), "113");
    EXPECT_EQ(at(26), "5600");
    EXPECT_GT(num(at(27)), 0.0) << "the analysis takes time";
    EXPECT_GT(num(at(28)), 0.0);
    // A whole screen turning every frame is the same flash by every check:
    // in all (from 30) and in the scene (from 53).
    for (size_t first : {30u, 53u})
        for (size_t c = 0; c < flash_checks; ++c) {
            EXPECT_EQ(at(first + 4 * c + 1), "113") << "check " << c << " from " << first;
            EXPECT_EQ(at(first + 4 * c + 2), "20");
            EXPECT_EQ(at(first + 4 * c + 3), "0");
        }
    EXPECT_EQ(at(47), "\"a\"");
    EXPECT_EQ(at(48), "120");
    EXPECT_EQ(at(49), "113");
    EXPECT_EQ(at(50), "20") << "20 transitions in a second at most";
    EXPECT_EQ(at(51), "0");
    // Present: 1 to 200 ms.
    EXPECT_EQ(at(70), "200");
    EXPECT_EQ(at(71), "100.5");
    EXPECT_EQ(at(72), "100");
    EXPECT_EQ(at(73), "198");
    EXPECT_EQ(at(74), "200");
    EXPECT_EQ(at(75), "0") << "no song";
    EXPECT_EQ(at(76), "0");
}

// The show's length in the written report: from tick 0, or from the first
// frame measured when the run began at a start point.
TEST(record_outputs_report, the_written_bench_report_counts_the_show_from_its_first_frame_when_asked) {
    rt_test::temp_dir dir("rec-out-bench");
    show_run run;
    for (const bool from_first : {false, true}) {
        const fs::path json = dir.path / (from_first ? "late.json" : "full.json");
        bench_sink b(json.string(), from_first);
        flip_after(b, "beat", 1, 500);
        flip_after(b, "beat", 1, 600);
        std::string error;
        testing::internal::CaptureStdout();
        ASSERT_TRUE(b.finish(2500, 2, error)) << error;
        const std::string table = testing::internal::GetCapturedStdout();
        const auto f = fields(read_file(json));
        ASSERT_FALSE(f.empty());
        EXPECT_EQ(f[0].first, "show_ms");
        EXPECT_EQ(f[0].second, from_first ? "2000" : "2500");
        EXPECT_NE(table.find(from_first ? "the show lasts 2000 ms" : "the show lasts 2500 ms"), std::string::npos)
            << table;
        EXPECT_TRUE(fs::exists(fs::path(json).replace_extension(".svg")));
    }
}

// Every field of the flash report: a screen that turns from black to white
// on every frame, 50 ms apart, before and then with the song.
TEST(record_outputs_report, every_field_of_the_flash_report_is_the_figure_made_here) {
    rt_test::temp_dir dir("rec-out-flash");
    show_run run;
    const fs::path path = dir.path / "flash.json";
    flash_report r(path.string(), true);
    SDL_Surface* s = SDL_CreateRGBSurface(0, 64, 48, 16, 0xF800, 0x07E0, 0x001F, 0);
    for (int i = 0; i < 40; ++i) {
        SDL_FillRect(s, nullptr, i % 2 ? 0xFFFF : 0);
        flip_info info;
        info.index = 100 + i;
        info.tick = static_cast<Uint32>(i) * 50;
        info.music_playing = i >= 10;  // the song starts at tick 500
        info.music_ms = info.music_playing ? info.tick - 500 : 0;
        info.scene = i < 30 ? "flame" : "corner";
        r.frame(s, info);
    }
    SDL_FreeSurface(s);
    std::string error;
    ASSERT_TRUE(r.write(error)) << error;
    const auto f = fields(read_file(path));
    // A whole screen turning every frame is the same flash by every check.
    const auto checks = [](long failing) {
        std::vector<std::string> out = {"checks={"};
        for (int c = 0; c < flash_checks; ++c)
            for (const std::string& k : {std::string(flash_check_name(c)) + "={",
                                         "failing_frames=" + std::to_string(failing), std::string("general=20"),
                                         std::string("red=0")})
                out.push_back(k);
        return out;
    };
    std::vector<std::string> want = {"gentle=true", "frames=40", "failing_frames=33", "failing_ms=1600",
                                     "max_transitions=6", "window_ms=1000"};
    for (const auto& part : {checks(33), std::vector<std::string>{"scenes=[", "name=\"flame\"", "frames=30",
                                                                  "failing_frames=23", "worst_general=20",
                                                                  "worst_red=0"},
                             checks(23), std::vector<std::string>{"name=\"corner\"", "frames=10",
                                                                  "failing_frames=10", "worst_general=20",
                                                                  "worst_red=0"},
                             checks(10)})
        want.insert(want.end(), part.begin(), part.end());
    ASSERT_GE(f.size(), want.size());
    std::vector<std::string> head;
    for (size_t i = 0; i < want.size(); ++i) head.push_back(f[i].first + "=" + f[i].second);
    EXPECT_EQ(head, want);
    const size_t list = want.size(), per = 12;
    ASSERT_EQ(f.size(), list + 1 + 33 * per) << "the failing list: twelve fields for each of frames 7 to 39";
    EXPECT_EQ(f[list].first + f[list].second, "failing[");
    for (int i = 7; i < 40; ++i) {
        const size_t at = list + 1 + static_cast<size_t>(i - 7) * per;
        std::vector<std::string> got;
        for (size_t k = at; k < at + per; ++k) got.push_back(f[k].first + "=" + f[k].second);
        const int transitions = std::min(i, 20);
        EXPECT_EQ(got, (std::vector<std::string>{
                           "frame=" + std::to_string(100 + i), "tick=" + std::to_string(i * 50),
                           "music_ms=" + (i >= 10 ? std::to_string(i * 50 - 500) : std::string("null")),
                           std::string("scene=") + (i < 30 ? "\"flame\"" : "\"corner\""), "kind=\"general\"",
                           "worst=" + std::to_string(transitions), "general=" + std::to_string(transitions),
                           "red=0", "check=\"first_sixth\"", "field=0", "readings=\"first+second\"",
                           "worst_by_check=["}))
            << "frame " << i;
    }
}
