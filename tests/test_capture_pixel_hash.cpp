// The frame hash: FNV-1a 64 over the pixels as little-endian 16-bit values,
// rows without padding, whatever the surface's pitch or size.
#include "pixel_hash.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

namespace {
constexpr int w = pixel_hash::width, h = pixel_hash::height;

TEST(PixelHash, KnownValuesLowByteFirst) {
    std::vector<Uint16> frame(static_cast<size_t>(w) * h, 0);
    // Reference values computed independently of this code.
    EXPECT_EQ(pixel_hash::text(pixel_hash::of_pixels(frame.data(), w, h)), "4f2d9f141eeda325");
    frame[0] = 0x1234;
    EXPECT_EQ(pixel_hash::text(pixel_hash::of_pixels(frame.data(), w, h)), "957dc37dc8facfcb");
    // Byte order matters: the swapped pixel is a different frame.
    frame[0] = 0x3412;
    EXPECT_NE(pixel_hash::text(pixel_hash::of_pixels(frame.data(), w, h)), "957dc37dc8facfcb");
    // So does the position: the last pixel is hashed too.
    frame[0] = 0;
    const auto zero = pixel_hash::of_pixels(frame.data(), w, h);
    frame.back() = 1;
    EXPECT_NE(pixel_hash::of_pixels(frame.data(), w, h), zero);
}

TEST(PixelHash, SurfacePaddingAndSizeDoNotCount) {
    // A padded surface: 700 pixels per row, of which the first 640 are the frame.
    constexpr int pitch = 700;
    std::vector<Uint16> padded(static_cast<size_t>(pitch) * h, 0xFFFF);
    std::vector<Uint16> tight(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            padded[static_cast<size_t>(y) * pitch + x] = tight[static_cast<size_t>(y) * w + x] =
                static_cast<Uint16>(x * 31 + y * 7);
    SDL_Surface* s = SDL_CreateRGBSurfaceFrom(padded.data(), w, h, 16, pitch * 2, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(pixel_hash::of(s), pixel_hash::of_pixels(tight.data(), w, h));
    EXPECT_EQ(pixel_hash::of_pixels(padded.data(), pitch, h), pixel_hash::of(s));
    SDL_FreeSurface(s);

    // A smaller surface: the missing pixels count as 0, not the next row's
    // first (nor, after the last row, the spare row below it).
    std::vector<Uint16> small(320 * 241, 7);
    small[319] = 5;
    small[320] = 9;
    std::vector<Uint16> full(static_cast<size_t>(w) * h, 0);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) full[static_cast<size_t>(y) * w + x] = small[static_cast<size_t>(y) * 320 + x];
    SDL_Surface* part = SDL_CreateRGBSurfaceFrom(small.data(), 320, 240, 16, 640, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(pixel_hash::of(part), pixel_hash::of_pixels(full.data(), w, h));
    SDL_FreeSurface(part);

    // No surface, or one that is not 16-bit, is not read: the hash of no pixels.
    SDL_Surface* deep = SDL_CreateRGBSurface(0, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_NE(deep, nullptr);
    SDL_FillRect(deep, nullptr, 0x123456);
    EXPECT_EQ(pixel_hash::text(pixel_hash::of(deep)), "cbf29ce484222325");
    EXPECT_EQ(pixel_hash::text(pixel_hash::of(nullptr)), "cbf29ce484222325");
    SDL_FreeSurface(deep);
}
}  // namespace
