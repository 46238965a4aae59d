// Shared set-up of the runtime tests: a dummy display so SDL's event queue
// and surfaces work headless, and a fresh run (clock, frame counter, start
// point) with the sound layer at its start state for every test.
#pragma once

#include "show_run.h"
#include "platform.h"
#include "test_display.h"
#include "sound_layer.h"
#include "sound_layer_testing.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace rt_test {

// Opens the dummy display once per test program; later calls reuse it.
inline void open_display() { test_display::open(); }

inline void drain_events() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
    }
}

// SDL_PushEvent's success value: 0 in SDL 1.2, 1 in SDL2.
#ifdef OSTRA_SDL2
inline constexpr int pushed = 1;
#else
inline constexpr int pushed = 0;
#endif

inline void push_key(int type, decltype(SDL_Event{}.key.keysym.sym) key) {
    SDL_Event e{};
    e.type = static_cast<decltype(e.type)>(type);
    e.key.type = static_cast<decltype(e.key.type)>(type);
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = key;
    ASSERT_EQ(SDL_PushEvent(&e), pushed);
}

inline void push_quit() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&e), pushed);
}

// A fresh simulated run: virtual clock at 0, no injected stop, no sink,
// the sound layer without a device keeping time by the run's clock, an
// empty event queue.
class runtime_fixture : public ::testing::Test {
protected:
    void SetUp() override {
        open_display();
        sound_layer::reset();
        sound_layer::options o;
        o.nosound = true;
        sound_layer::configure(o);
        run = std::make_unique<show_run>();
        run->clock.set_simulated(true);
        sound_layer::set_clock({clk::ticks, clk::simulated});
        drain_events();
    }
    void TearDown() override {
        run.reset();
        drain_events();
    }
    std::unique_ptr<show_run> run;
};

// The generated show data, when the build made it.
inline std::filesystem::path data_dir() { return OSTRA_DATA_DIR; }
inline bool have_data() {
    return std::filesystem::exists(data_dir() / "sfx" / "demomusic.xm") &&
           std::filesystem::exists(data_dir() / "gfx" / "nygris2.3D");
}

// A scratch folder removed at the end of the test.
struct temp_dir {
    std::filesystem::path path;
    explicit temp_dir(const std::string& name) {
        path = std::filesystem::temp_directory_path() /
               (name + "-" + std::to_string(::getpid()) + "-" + std::to_string(std::rand()));
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~temp_dir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

}  // namespace rt_test
