// Pictures larger than the show can use are refused whichever side is too
// long: a PNG one pixel tall but wider than any screen or texture, and one
// one pixel wide but taller, give no surface.
#include <SDL.h>
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "decode_image.h"

namespace {
// A w x h grey PNG.
std::string write_grey_png(const std::string& name, int w, int h) {
    const std::string path = "/tmp/ostra_size_" + std::to_string(getpid()) + "_" + name + ".png";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return "";
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<unsigned char> row(static_cast<size_t>(w), 128);
    for (int y = 0; y < h; ++y) png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return path;
}
}  // namespace

TEST(DecodeImageSize, APictureTooLongOnEitherSideIsRefused) {
    for (const auto& [name, w, h] : {std::tuple{"wide", 20000, 1}, {"tall", 1, 20000}}) {
        const std::string path = write_grey_png(name, w, h);
        ASSERT_FALSE(path.empty());
        std::string error;
        SDL_Surface* s = decode_image(path.c_str(), error);
        EXPECT_EQ(s, nullptr) << name;
        EXPECT_FALSE(error.empty()) << name;
        if (s)
            SDL_FreeSurface(s);
        std::remove(path.c_str());
    }
    // The same picture at a size the show uses decodes.
    const std::string path = write_grey_png("fits", 640, 1);
    std::string error;
    SDL_Surface* s = decode_image(path.c_str(), error);
    ASSERT_NE(s, nullptr) << error;
    EXPECT_EQ(s->w, 640);
    SDL_FreeSurface(s);
    std::remove(path.c_str());
}
