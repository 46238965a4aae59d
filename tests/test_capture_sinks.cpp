// Captures in this process: a folder (frames.csv's rows before and during
// the song, every Nth frame as PNG, audio.wav, the closing message, a folder
// that cannot be made), an MP4 with the song's sound beside the pictures, and
// a PNG's rows and a WAV's samples exactly as written.
#include "folder_sink.h"
#include "png_write.h"
#include "test_process.h"
#include "test_rt_util.h"
#include "test_sound_xm.h"
#include "video_sink.h"
#include "wav_writer.h"

#include <zlib.h>

#include <fstream>
#include <iterator>

class CaptureSinks : public rt_test::runtime_fixture {};

TEST_F(CaptureSinks, ListsEveryFrameWritesEveryNthPictureAndClosesCleanly) {
    rt_test::temp_dir dir("rec-folder");
    const std::string out = (dir.path / "cap").string();
    SDL_Surface* shown = SDL_CreateRGBSurface(0, 8, 4, 16, 0xF800, 0x07E0, 0x001F, 0);
    {
        folder_sink sink(out, 2, 0);
        std::string error;
        ASSERT_TRUE(sink.open(error)) << error;
        flip_info f;
        f.scene = "loading";
        sink.frame(shown, f);
        f = {1, 30, true, 40, 0, 1, 2, "title", {}};
        sink.frame(shown, f);
        f = {2, 60, true, 70, 0, 1, 3, "title", {}};
        sink.frame(shown, f);
        testing::internal::CaptureStderr();
        ASSERT_TRUE(sink.finish(90, 3, error)) << error;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "ostramere: captured 3 frames (90 ms) to " + out + "\n");
    }
    SDL_FreeSurface(shown);
    std::ifstream csv(dir.path / "cap" / "frames.csv");
    const std::string text{std::istreambuf_iterator<char>(csv), std::istreambuf_iterator<char>()};
    const std::string hash = "4f2d9f141eeda325";  // 32 black pixels
    EXPECT_EQ(text, "frame,tick_ms,music_ms,order,pattern,row,scene,hash\n"
                    "0,0,,,,,loading," + hash + "\n"
                    "1,30,40,0,1,2,title," + hash + "\n"
                    "2,60,70,0,1,3,title," + hash + "\n");
    EXPECT_TRUE(std::filesystem::exists(dir.path / "cap" / "frame_000000.png"));
    EXPECT_FALSE(std::filesystem::exists(dir.path / "cap" / "frame_000001.png"));
    EXPECT_TRUE(std::filesystem::exists(dir.path / "cap" / "frame_000002.png"));
    EXPECT_EQ(std::filesystem::file_size(dir.path / "cap" / "audio.wav"), 44u) << "no song, no samples";

    // A folder under a plain file cannot be made: the error names it.
    std::ofstream(dir.path / "file") << "x";
    folder_sink blocked((dir.path / "file" / "cap").string(), 1, 0);
    std::string error;
    EXPECT_FALSE(blocked.open(error));
    EXPECT_EQ(error.rfind((dir.path / "file" / "cap").string() + ": cannot create the capture folder", 0), 0u)
        << error;
}

TEST_F(CaptureSinks, AnMp4HoldsThePicturesAndTheSongFromTheFirstFrame) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no ffmpeg";
    rt_test::temp_dir dir("rec-mp4");
    const std::string xm = test_xm::write_silent((dir.path / "s.xm").string());
    ASSERT_FALSE(xm.empty());
    FMUSIC_MODULE* m = FMUSIC_LoadSong(xm.c_str());
    ASSERT_NE(m, nullptr);
    FMUSIC_PlaySong(m);
    const std::string mp4 = (dir.path / "out.mp4").string();
    SDL_Surface* shown = SDL_CreateRGBSurface(0, 640, 480, 16, 0xF800, 0x07E0, 0x001F, 0);
    {
        video_sink sink(mp4, 30, 0);
        std::string error;
        ASSERT_TRUE(sink.open(error)) << error;
        clk::advance_to(200);  // sound before the first frame is not kept
        // A flip every 40 ms, the picture changing every third one: ten
        // distinct pictures. At 755 ms a white picture is replaced 5 ms later,
        // in the same 30 fps slot, by the picture already up: never shown.
        long index = 0;
        const auto flip = [&](Uint32 tick, Uint32 colour) {
            clk::advance_to(tick);
            SDL_FillRect(shown, nullptr, colour);
            flip_info f;
            f.index = index++;
            f.tick = tick;
            sink.frame(shown, f);
        };
        for (Uint32 i = 0; i < 30; ++i) {
            if (i == 14)
                flip(755, 0xFFFF);
            flip(200 + i * 40, i / 3 * 2000);
        }
        clk::advance_to(1400);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(sink.finish(1400, index, error)) << error;
        testing::internal::GetCapturedStderr();
    }
    SDL_FreeSurface(shown);
    FMUSIC_FreeSong(m);
    const std::string q = "'" + mp4 + "'";
    EXPECT_EQ(test_process::output_of("ffprobe -v error -show_entries stream=codec_name,width,height "
                                      "-of csv=p=0 " + q),
              "h264,640,480\naac\n");
    EXPECT_EQ(test_process::output_of("ffprobe -v error -select_streams v -count_packets -show_entries "
                                      "stream=nb_read_packets -of csv=p=0 " + q),
              "11\n") << "each distinct picture once, and the last once more at the end";
    // From the first frame at 200 ms to the end at 1400 ms: the sound lasts
    // 1.2 s, the pictures to the end of the slot due at 1400 ms.
    for (const auto& [stream, seconds] : {std::pair{"v", 37 / 30.0}, {"a", 1.2}}) {
        const double s = std::atof(test_process::output_of(
            std::string("ffprobe -v error -select_streams ") + stream +
            " -show_entries stream=duration -of csv=p=0 " + q).c_str());
        EXPECT_NEAR(s, seconds, 0.005) << stream;
    }
}

namespace {
std::uint32_t be32(const std::string& s, size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at]) << 24 |
                                      static_cast<unsigned char>(s[at + 1]) << 16 |
                                      static_cast<unsigned char>(s[at + 2]) << 8 |
                                      static_cast<unsigned char>(s[at + 3]));
}
}  // namespace

TEST(CapturePng, AWrittenPictureHoldsExactlyItsRowsAndRefusesOtherSurfaces) {
    rt_test::temp_dir dir("rec-png");
    const std::string path = (dir.path / "p.png").string();
    constexpr int w = 5, h = 3;
    SDL_Surface* s = SDL_CreateRGBSurface(0, w, h, 16, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_NE(s, nullptr);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            static_cast<Uint16*>(s->pixels)[y * (s->pitch / 2) + x] =
                static_cast<Uint16>((y == 1 ? 0x07E0 : y == 2 ? 0xF800 : 0) | x);
    std::string error;
    ASSERT_TRUE(write_png(path, s, 1, error)) << error;
    // The compressed data of every IDAT chunk is one zlib stream of h rows,
    // each a filter byte and w pixels of 8-bit RGB, and nothing after it.
    std::ifstream f(path, std::ios::binary);
    const std::string file{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    std::string idat;
    for (size_t at = 8; at + 8 <= file.size(); at += 12 + be32(file, at))
        if (file.compare(at + 4, 4, "IDAT") == 0)
            idat += file.substr(at + 8, be32(file, at));
    std::vector<unsigned char> rows(static_cast<size_t>(h) * (1 + 3 * w) + 16);
    uLongf made = rows.size();
    uLong used = idat.size();
    ASSERT_EQ(uncompress2(rows.data(), &made, reinterpret_cast<const Bytef*>(idat.data()), &used), Z_OK);
    EXPECT_EQ(used, idat.size()) << "nothing after the picture's rows";
    ASSERT_EQ(made, static_cast<uLongf>(h) * (1 + 3 * w));
    for (int y = 0; y < h; ++y) {
        unsigned char* row = &rows[static_cast<size_t>(y) * (1 + 3 * w)];
        ASSERT_EQ(row[0], 1) << "the Sub filter";
        for (int i = 4; i <= 3 * w; ++i) row[i] = static_cast<unsigned char>(row[i] + row[i - 3]);
        for (int x = 0; x < w; ++x) {
            // blue 0..4 of 31 in every row; full green in row 1, full red in row 2
            const int blue = (x << 3) | (x >> 2);
            EXPECT_EQ(row[1 + 3 * x], y == 2 ? 255 : 0) << x << "," << y;
            EXPECT_EQ(row[2 + 3 * x], y == 1 ? 255 : 0) << x << "," << y;
            EXPECT_EQ(row[3 + 3 * x], blue) << x << "," << y;
        }
    }
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(write_png("/dev/full", s, 1, error)) << "a full disk fails the write";
        EXPECT_EQ(error.rfind("/dev/full: ", 0), 0u) << error;
    }
    SDL_FreeSurface(s);

    SDL_Surface* deep = SDL_CreateRGBSurface(0, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    EXPECT_FALSE(write_png(path, deep, 1, error));
    EXPECT_EQ(error, path + ": not a 16-bit surface");
    SDL_FreeSurface(deep);
    error.clear();
    EXPECT_FALSE(write_png(path, nullptr, 1, error));
    EXPECT_EQ(error, path + ": not a 16-bit surface");
}

TEST(CaptureWav, SamplesFollowTheHeaderWithTheirSizesAndAFailedWriteIsReported) {
    rt_test::temp_dir dir("rec-wav");
    const std::string path = (dir.path / "a.wav").string();
    const std::int16_t samples[] = {1, -1, 0x1234, -32768, 7, 8};
    wav_writer w;
    std::string error;
    ASSERT_TRUE(w.open(path, 44100, 2, error)) << error;
    w.write(samples, 2);
    w.write(samples + 4, 1);
    w.write(samples, 0);
    EXPECT_EQ(w.frames(), 3u);
    ASSERT_TRUE(w.close(error)) << error;
    w.write(samples, 2);  // after the close: nothing more is written or counted
    EXPECT_EQ(w.frames(), 3u);
    std::ifstream f(path, std::ios::binary);
    const std::string file{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    ASSERT_EQ(file.size(), 44u + sizeof samples);
    EXPECT_EQ(file.compare(44, sizeof samples, reinterpret_cast<const char*>(samples), sizeof samples), 0);
    EXPECT_EQ(file.substr(4, 4), std::string("\x30\0\0\0", 4)) << "36 + 12 bytes after RIFF's size";
    EXPECT_EQ(file.substr(40, 4), std::string("\x0C\0\0\0", 4)) << "12 bytes of samples";

    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    wav_writer full;
    ASSERT_TRUE(full.open("/dev/full", 44100, 2, error)) << error;
    std::vector<std::int16_t> many(1 << 16, 1);
    full.write(many.data(), 1 << 15);
    EXPECT_FALSE(full.close(error));
    EXPECT_EQ(error, "/dev/full: writing the audio failed");
}
