// The canvas form of a frame: every RGB565 value widens as a captured PNG
// widens it, in red, green, blue, alpha byte order with alpha opaque, and the
// row pitch of the source is honoured while padding never reaches the output;
// and the desktop's window scaling and fullscreen, which a headless run
// leaves alone.
#include "canvas_rgba.h"
#include "frame_read_lock.h"
#include "platform.h"
#include "png_write.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

TEST(RtRgba, EveryPixelValueWidensAsCapturesDoAndRowsFollowThePitch) {
    // Every RGB565 value once, in 256 rows of 256 pixels each followed by two
    // padding pixels that must stay out: the canvas shows the colours a
    // captured PNG holds.
    constexpr int w = 256, h = 256, pitch = w + 2;
    std::vector<std::uint16_t> frame(static_cast<size_t>(pitch) * h, 0xFFFF);
    std::vector<Uint16> all(65536);
    for (int p = 0; p < 65536; ++p) {
        all[static_cast<size_t>(p)] = static_cast<Uint16>(p);
        frame[static_cast<size_t>(p / w * pitch + p % w)] = static_cast<std::uint16_t>(p);
    }
    std::vector<std::uint8_t> rgb(3 * 65536);
    rgb565_to_rgb24(all.data(), 65536, rgb.data());
    std::vector<std::uint32_t> out(65536 + 1, 0x12345678u);
    canvas_rgba::convert(frame.data(), pitch, w, h, out.data());
    int wrong = 0;
    for (size_t p = 0; p < 65536 && wrong < 5; ++p) {
        std::uint8_t bytes[4];
        std::memcpy(bytes, &out[p], 4);
        if (bytes[0] != rgb[3 * p] || bytes[1] != rgb[3 * p + 1] || bytes[2] != rgb[3 * p + 2] || bytes[3] != 0xFF) {
            ADD_FAILURE() << "pixel " << p << ": canvas word " << std::hex << out[p];
            ++wrong;
        }
    }
    EXPECT_EQ(out[65536], 0x12345678u) << "nothing is written past w * h words";
}

TEST(RtPlatform, OnlyAShownWindowIsScaledOrFullscreen) {
#if SDL_MAJOR_VERSION >= 2
    GTEST_SKIP() << "the SDL2 platform sizes its window itself";
#endif
    // sdl12-compat reads its window scaling when video starts; SDL's video
    // stays started, as the tests' shared display keeps it.
    unsetenv("SDL12COMPAT_WINDOW_SCALING");
    std::string error;
    platform::screen_request r;
    for (auto [headless, scale, expected] : {std::tuple{true, 3, ""}, {false, 0, ""}, {false, 2, "2"}}) {
        r.headless = headless;
        r.scale = scale;
        ASSERT_TRUE(platform::init_video(r, error)) << error;
        const char* set = std::getenv("SDL12COMPAT_WINDOW_SCALING");
        EXPECT_STREQ(set ? set : "", expected) << "headless " << headless << ", scale " << scale;
    }
#if SDL_MAJOR_VERSION < 2
    // Only a shown display goes fullscreen; a headless one stays a plain
    // surface. In a child process: SDL leaks a little on each new mode.
    const pid_t pid = fork();
    if (pid == 0) {
        int fullscreen_seen = 0, bit = 1;
        for (auto [headless, fullscreen] : {std::pair{true, true}, {false, false}, {false, true}}) {
            r.headless = headless;
            r.fullscreen = fullscreen;
            SDL_Surface* s = platform::open_screen(r, error);
            fullscreen_seen |= !s ? 8 : (s->flags & SDL_FULLSCREEN) != 0 ? bit : 0;
            bit <<= 1;
        }
        _exit(fullscreen_seen);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 4) << "fullscreen only when shown and asked for";
#endif
}

// A frame reader's lock: a surface that must be locked (run-length encoded)
// is locked for the reader's scope and unlocked after it, so the show can
// draw into it again; one that needs no lock is left alone.
TEST(RtRgba, AFrameReadLockUnlocksWhatItLocked) {
    SDL_Surface* s = SDL_CreateRGBSurface(0, 64, 8, 16, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_NE(s, nullptr);
    {
        frame_read_lock plain(s);
        EXPECT_EQ(s->locked, 0);
    }
#if SDL_MAJOR_VERSION >= 2
    ASSERT_EQ(SDL_SetColorKey(s, SDL_TRUE, 0), 0);  // run-length encoding needs a key
    ASSERT_EQ(SDL_SetSurfaceRLE(s, 1), 0);
#else
    ASSERT_EQ(SDL_SetColorKey(s, SDL_SRCCOLORKEY | SDL_RLEACCEL, 0), 0);
#endif
    SDL_Surface* d = SDL_CreateRGBSurface(0, 64, 8, 16, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_EQ(SDL_BlitSurface(s, nullptr, d, nullptr), 0);  // encodes it
    if (!SDL_MUSTLOCK(s)) {
        // SDL 1.2's API over SDL 2 keeps the encoding to itself: no surface
        // of it ever asks to be locked.
        SDL_FreeSurface(d);
        SDL_FreeSurface(s);
        GTEST_SKIP() << "this SDL asks no surface to be locked";
    }
    {
        frame_read_lock rle(s);
        EXPECT_GT(s->locked, 0);
    }
    EXPECT_EQ(s->locked, 0);
    SDL_FreeSurface(d);
    SDL_FreeSurface(s);
}
