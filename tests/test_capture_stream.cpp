// The video path of a capture: RGB565 to YUV 4:2:0 against a literal
// double-precision reference, Matroska element sizes that nest exactly (and
// a stream ffmpeg reads back with its times), and the writer thread's order,
// conversion and failure handling.
#include "mkv_stream.h"
#include "pipe_writer.h"
#include "test_process.h"
#include "yuv420.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---- YUV ----

struct yuv {
    int y, u, v;
};

// One pixel's colour, the whole picture this colour (even size, padded rows).
yuv convert_flat(std::uint16_t p) {
    const int w = 4, h = 2, pitch = 6;
    std::vector<std::uint16_t> px(static_cast<size_t>(pitch) * h, p);
    std::vector<std::uint8_t> out(yuv420::size(w, h));
    yuv420::from_rgb565(px.data(), w, h, pitch, out.data());
    return {out[0], out[w * h], out[w * h + 2]};
}

double widen(int v, int bits) { return (v << (8 - bits)) | (v >> (2 * bits - 8)); }

TEST(CaptureYuv, KnownColoursInLimitedRange) {
    const yuv black = convert_flat(0x0000), white = convert_flat(0xFFFF);
    EXPECT_EQ(black.y, 16);
    EXPECT_EQ(black.u, 128);
    EXPECT_EQ(black.v, 128);
    EXPECT_EQ(white.y, 235);
    EXPECT_EQ(white.u, 128);
    EXPECT_EQ(white.v, 128);
    const yuv red = convert_flat(0xF800), green = convert_flat(0x07E0), blue = convert_flat(0x001F);
    EXPECT_EQ(red.y, 81);  // 16 + 65.481 = 81.48
    EXPECT_EQ(red.u, 90);
    EXPECT_EQ(red.v, 240);
    EXPECT_EQ(green.y, 145);
    EXPECT_EQ(green.u, 54);
    EXPECT_EQ(green.v, 34);
    EXPECT_EQ(blue.y, 41);
    EXPECT_EQ(blue.u, 240);
    EXPECT_EQ(blue.v, 110);
}

TEST(CaptureYuv, EveryPlaneMatchesALiteralReference) {
    const int w = 10, h = 6, pitch = 13;
    std::mt19937 rng(7);
    std::vector<std::uint16_t> px(static_cast<size_t>(pitch) * h);
    for (auto& p : px) p = static_cast<std::uint16_t>(rng());
    std::vector<std::uint8_t> out(yuv420::size(w, h), 0xAA);
    yuv420::from_rgb565(px.data(), w, h, pitch, out.data());

    auto rgb_at = [&](int x, int y, double* c) {
        const std::uint16_t p = px[static_cast<size_t>(y) * pitch + x];
        c[0] = widen(p >> 11, 5);
        c[1] = widen((p >> 5) & 63, 6);
        c[2] = widen(p & 31, 5);
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double c[3];
            rgb_at(x, y, c);
            const double ref = 16 + (65.481 * c[0] + 128.553 * c[1] + 24.966 * c[2]) / 255;
            EXPECT_LE(std::abs(out[static_cast<size_t>(y) * w + x] - ref), 0.51) << x << "," << y;
        }
    const std::uint8_t* u = out.data() + w * h;
    const std::uint8_t* v = u + (w / 2) * (h / 2);
    for (int by = 0; by < h / 2; ++by)
        for (int bx = 0; bx < w / 2; ++bx) {
            double m[3] = {0, 0, 0};
            for (int k = 0; k < 4; ++k) {
                double c[3];
                rgb_at(2 * bx + k % 2, 2 * by + k / 2, c);
                for (int i = 0; i < 3; ++i) m[i] += c[i] / 4;
            }
            const double ru = 128 + (-37.797 * m[0] - 74.203 * m[1] + 112.0 * m[2]) / 255;
            const double rv = 128 + (112.0 * m[0] - 93.786 * m[1] - 18.214 * m[2]) / 255;
            EXPECT_LE(std::abs(u[by * (w / 2) + bx] - ru), 0.51) << "U " << bx << "," << by;
            EXPECT_LE(std::abs(v[by * (w / 2) + bx] - rv), 0.51) << "V " << bx << "," << by;
        }
}

// ---- Matroska ----

// Reads an EBML variable-length number; `marker` keeps the length bit (ids).
std::uint64_t read_vint(const std::string& s, size_t& at, bool marker) {
    const auto first = static_cast<unsigned char>(s.at(at));
    int len = 1;
    while (len <= 8 && !(first & (0x80 >> (len - 1)))) ++len;
    std::uint64_t v = marker ? first : first & ((0x80 >> (len - 1)) - 1);
    for (int i = 1; i < len; ++i) v = (v << 8) | static_cast<unsigned char>(s.at(at + i));
    at += static_cast<size_t>(len);
    return v;
}

constexpr std::uint64_t unknown_size = (1ull << 56) - 1;

// Walks elements in [at, end): every size must land exactly on `end`.
// Master elements (whose ids are listed) are walked inside. Records the ids
// seen, in order.
void walk(const std::string& s, size_t at, size_t end, std::vector<std::uint64_t>& ids) {
    static const std::vector<std::uint64_t> masters = {0x1A45DFA3, 0x18538067, 0x1549A966,
                                                       0x1654AE6B, 0xAE, 0xE0, 0xE1, 0x1F43B675};
    while (at < end) {
        const std::uint64_t id = read_vint(s, at, true);
        std::uint64_t size = read_vint(s, at, false);
        ids.push_back(id);
        if (size == unknown_size)
            size = end - at;
        ASSERT_LE(at + size, end) << std::hex << "element " << id << " overruns its parent";
        if (std::find(masters.begin(), masters.end(), id) != masters.end())
            walk(s, at, at + size, ids);
        at += size;
    }
    ASSERT_EQ(at, end);
}

std::string block(int track, std::uint64_t ts, const std::string& payload) {
    return mkv::block_prefix(track, ts, payload.size()) + payload;
}

TEST(CaptureMkv, ElementSizesNestExactlyAndBlocksCarryTheirTrackAndTime) {
    mkv::stream_format f;
    f.width = 4;
    f.height = 2;
    f.audio_rate = 44100;
    std::string s = mkv::header(f);
    const std::string picture(yuv420::size(4, 2), 'p');
    s += block(mkv::video_track, 0, picture);
    s += block(mkv::audio_track, 0, std::string(16, 'a'));
    s += block(mkv::video_track, 1234567, picture);
    std::vector<std::uint64_t> ids;
    walk(s, 0, s.size(), ids);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 0xAEu), 2) << "two tracks";
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 0x1F43B675u), 3) << "a cluster per block";
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 0xA3u), 3);

    // The last block: its cluster time, then track 1 with relative time 0, key frame.
    const std::string last = mkv::block_prefix(mkv::video_track, 1234567, 6);
    EXPECT_EQ(last.substr(last.size() - 4), std::string("\x81\x00\x00\x80", 4));
    size_t at = last.find(std::string("\xE7", 1));
    ASSERT_NE(at, std::string::npos);
    ++at;
    EXPECT_EQ(read_vint(last, at, false), 8u);
    std::uint64_t t = 0;
    for (int i = 0; i < 8; ++i) t = (t << 8) | static_cast<unsigned char>(last[at + i]);
    EXPECT_EQ(t, 1234567u);

    // Without a sound rate there is one track only.
    mkv::stream_format silent = f;
    silent.audio_rate = 0;
    ids.clear();
    const std::string h = mkv::header(silent);
    walk(h, 0, h.size(), ids);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 0xAEu), 1);
}

bool have_ffmpeg() { return std::system("ffprobe -version >/dev/null 2>&1") == 0; }

std::string run(const std::string& cmd) { return test_process::output_of(cmd); }

TEST(CaptureMkv, FfmpegReadsThePicturesTheirTimesAndTheSound) {
    if (!have_ffmpeg())
        GTEST_SKIP() << "no ffmpeg";
    const fs::path file = fs::temp_directory_path() / ("rec-mkv-" + std::to_string(getpid()) + ".mkv");
    mkv::stream_format f;
    f.width = 16;
    f.height = 8;
    f.audio_rate = 44100;
    std::string s = mkv::header(f);
    std::string pictures;
    const std::uint64_t times[] = {0, 40000, 250000, 1000000};  // microseconds
    for (int i = 0; i < 4; ++i) {
        std::string p(yuv420::size(16, 8), static_cast<char>(40 + 50 * i));
        pictures += p;
        s += block(mkv::video_track, times[i], p);
        if (i < 2)
            s += block(mkv::audio_track, 100000 * static_cast<std::uint64_t>(i),
                       std::string(4410 * 4, static_cast<char>(i + 1)));
    }
    std::ofstream(file, std::ios::binary) << s;
    std::string q = "'";
    q.append(file.string()).append("'");

    EXPECT_EQ(run("ffprobe -v error -select_streams v -show_entries frame=pts_time -of csv=p=0 " + q),
              "0.000000\n0.040000\n0.250000\n1.000000\n");
    EXPECT_EQ(run("ffprobe -v error -show_entries stream=codec_name,pix_fmt,width,height,sample_rate,channels "
                  "-of csv=p=0 " + q),
              "rawvideo,16,8,yuv420p\npcm_s16le,44100,2\n");
    EXPECT_EQ(run("ffmpeg -v error -i " + q + " -map 0:v -fps_mode passthrough -f rawvideo -"), pictures);
    EXPECT_EQ(run("ffmpeg -v error -i " + q + " -map 0:a -f s16le -").size(), 2u * 4410 * 4);
    fs::remove(file);
}

// ---- writer thread ----

TEST(CapturePipeWriter, WritesInOrderConvertingWhatIsMarked) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    {
        // Marked buffers are written reversed.
        pipe_writer w(f, 64, [](const pipe_writer::buffer& in, pipe_writer::buffer& out) {
            out.assign(in.rbegin(), in.rend());
        });
        for (int i = 0; i < 200; ++i) {
            pipe_writer::buffer b = w.take();
            EXPECT_TRUE(b.empty());
            b.push_back(static_cast<std::uint8_t>(i));
            b.push_back(static_cast<std::uint8_t>(i % 3 == 0 ? 'r' : 'k'));
            w.push(std::move(b), i % 3 == 0);
        }
        EXPECT_TRUE(w.finish());
        EXPECT_TRUE(w.finish()) << "a second finish changes nothing";
    }
    std::rewind(f);
    std::string got(400, '\0');
    ASSERT_EQ(std::fread(got.data(), 1, got.size(), f), got.size());
    EXPECT_EQ(std::fgetc(f), EOF);
    for (int i = 0; i < 200; ++i) {
        const auto a = static_cast<unsigned char>(got[2 * i]), b = static_cast<unsigned char>(got[2 * i + 1]);
        if (i % 3 == 0) {
            EXPECT_EQ(a, 'r') << i;
            EXPECT_EQ(b, i) << i;
        } else {
            EXPECT_EQ(a, i) << i;
            EXPECT_EQ(b, 'k') << i;
        }
    }
    std::fclose(f);
}

TEST(CapturePipeWriter, AFailingStreamFailsAndNeverBlocksTheDrawing) {
    std::FILE* f = std::fopen("/dev/full", "w");
    if (!f)
        GTEST_SKIP() << "no /dev/full";
    std::setvbuf(f, nullptr, _IONBF, 0);
    pipe_writer w(f, 1000);
    // Far more than the queue holds: once the first write fails the rest is
    // dropped instead of waiting for room.
    for (int i = 0; i < 500; ++i) w.push(pipe_writer::buffer(4096, 1));
    EXPECT_FALSE(w.finish());
    EXPECT_TRUE(w.failed());
    std::fclose(f);
}

}  // namespace
