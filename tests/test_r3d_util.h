// Helpers of the renderer tests: temporary .3D files, a texture filler and
// an SDL set-up that runs headless. Draws nothing itself.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

inline std::string r3d_temp_file(const std::string& text, const std::string& tag = "m") {
    static int serial = 0;
    const std::string path = "/tmp/r3d_test_" + std::to_string(getpid()) + "_" + tag + "_" +
                             std::to_string(serial++) + ".3D";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    return path;
}

inline Uint16* r3d_pixel(SDL_Surface* s, int x, int y) {
    return static_cast<Uint16*>(s->pixels) + y * (s->pitch >> 1) + x;
}
