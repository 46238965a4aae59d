// A capture to a folder in this process: frames.csv's rows before and
// during the song, every Nth frame as PNG, audio.wav, the closing message,
// and a folder that cannot be made.
#include "folder_sink.h"
#include "test_rt_util.h"

#include <fstream>
#include <iterator>

class record_folder : public rt_test::runtime_fixture {};

TEST_F(record_folder, lists_every_frame_writes_every_nth_picture_and_closes_cleanly) {
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
