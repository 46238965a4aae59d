// Decoding gives back what it takes: pictures decoded over and over, and
// files refused part-way, leave the heap as it was. A pixel buffer or a
// surface kept by mistake grows it by a whole picture each time.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decode_image.h"
#include "test_heap_util.h"

namespace fs = std::filesystem;

TEST(DecodeImageRelease, DecodingOverAndOverKeepsNoMemory) {
    const fs::path gfx = fs::path(OSTRA_DATA_DIR) / "gfx";
    std::vector<std::string> paths;
    for (const char* name : {"bakgrunn7.png", "bais.png", "skin.jpg"})
        if (fs::exists(gfx / name))
            paths.push_back((gfx / name).string());
    if (paths.size() < 3)
        GTEST_SKIP() << "no generated pictures in " << gfx;
    // Each cut in half too: refused (or decoded short) after the decoder's
    // buffers are made.
    for (size_t i = 0; i < 3; ++i) {
        std::ifstream in(paths[i], std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const std::string cut = "/tmp/ostra_release_" + std::to_string(getpid()) + "_" + std::to_string(i) +
                                fs::path(paths[i]).extension().string();
        std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
        paths.push_back(cut);
    }
    const auto decode_all = [&] {
        int made = 0;
        for (const std::string& p : paths) {
            std::string error;
            if (SDL_Surface* s = decode_image(p.c_str(), error)) {
                SDL_FreeSurface(s);
                ++made;
            }
        }
        return made;
    };
    EXPECT_GE(decode_all(), 3);  // the libraries' first-use allocations
    const long long before = heap_test::in_use();
    for (int round = 0; round < 8; ++round) decode_all();
    EXPECT_LT(heap_test::in_use() - before, 256 << 10)
        << "eight rounds of 640x480 pictures (900 kB each) keep no memory";
    for (size_t i = 3; i < paths.size(); ++i) std::remove(paths[i].c_str());
}
