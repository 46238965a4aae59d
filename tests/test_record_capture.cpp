// Captures in this process: a folder (frames.csv's rows before and during
// the song, every Nth frame as PNG, audio.wav, the closing message, a folder
// that cannot be made) and an MP4 with the song's sound beside the pictures.
#include "folder_sink.h"
#include "test_process.h"
#include "test_rt_util.h"
#include "test_sound_xm.h"
#include "video_sink.h"

#include <fstream>
#include <iterator>

class record_capture : public rt_test::runtime_fixture {};

TEST_F(record_capture, lists_every_frame_writes_every_nth_picture_and_closes_cleanly) {
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
        f = {1, 30, true, 40, 0, 1, 2, "title"};
        sink.frame(shown, f);
        f = {2, 60, true, 70, 0, 1, 3, "title"};
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

TEST_F(record_capture, an_mp4_holds_the_pictures_and_the_song_from_the_first_frame) {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no ffmpeg";
    rt_test::temp_dir dir("rec-mp4");
    test_xm::song song;
    song.orders = {0};
    song.patterns.resize(1);
    song.patterns[0].rows.resize(64);
    const std::string xm = (dir.path / "s.xm").string();
    ASSERT_TRUE(test_xm::write(xm, song));
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
    for (const char* stream : {"v", "a"}) {
        const double s = std::atof(test_process::output_of(
            std::string("ffprobe -v error -select_streams ") + stream +
            " -show_entries stream=duration -of csv=p=0 " + q).c_str());
        EXPECT_NEAR(s, 1.2, 0.05) << stream << ": from the first frame at 200 ms to the end at 1400 ms";
    }
}
