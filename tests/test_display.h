// The dummy display every test program that draws or polls events shares:
// opened once per program and kept open (SDL leaks a little on every
// SDL_Init/SDL_Quit cycle of the video subsystem).
#pragma once

#include "display.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace test_display {

inline void open() {
    static bool opened = false;
    if (opened)
        return;
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::string error;
    platform::screen_request r;
    r.fullscreen = false;
    r.headless = true;
    ASSERT_TRUE(platform::init_video(r, error)) << error;
    screen = platform::open_screen(r, error);
    ASSERT_NE(screen, nullptr) << error;
    opened = true;
}

}  // namespace test_display
