// The flame: literal per-column reference, tent shape, palette index range,
// intensity 0, clipping to the target.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "flame.h"
#include "pixel.h"
#include "test_effects_util.h"

namespace {
// The flame written straight from its rules; pixels outside the surface are
// skipped but still advance the palette position. Records the highest
// palette index used.
int reference_flame(SDL_Surface* s, const Uint16* palette, int x, int y, int width, float height, float phase,
                    float intensity, std::vector<int>* heights = nullptr) {
    int max_index = -1;
    const float dphi = 20.0f / width;
    const float dh = 2.0f * height / width;
    float g = 0.0f, phi = 0.0f;
    for (int i = x; i < x + width; ++i) {
        g = i < x + (width >> 1) ? g + dh : g - dh;
        const float h = static_cast<float>(g + (g / 10.0f) * std::sin(static_cast<double>(phase + phi)));
        const int H = static_cast<int>(h);
        if (heights) heights->push_back(std::max(H, 0));
        if (H > 0) {
            const float step = 200.0f / h;
            float p = 0.0f;
            for (int j = y; j > y - H; --j) {
                const int k = static_cast<int>(p);
                max_index = std::max(max_index, k);
                if (i >= 0 && i < s->w && j >= 0 && j < s->h) {
                    const Uint16 bg = at(s, i, j), pal = palette[k];
                    const int r = std::min(31, px::red(bg) + static_cast<int>(px::red(pal) * intensity));
                    const int gr = std::min(31, px::green(bg) + static_cast<int>(px::green(pal) * intensity));
                    const int b = std::min(31, static_cast<int>(px::blue(bg) * 0.5) +
                                                   static_cast<int>(px::blue(pal) * intensity));
                    at(s, i, j) = px::pack(r, gr, b);
                }
                p = p + step;
            }
        }
        phi = phi + dphi;
    }
    return max_index;
}

void set_palette(flame& f) {
    for (int k = 0; k < 200; ++k) f.palette[k] = px::pack(31 - k / 7, k / 7, (k * 3) % 32);
}

void expect_same(SDL_Surface* a, SDL_Surface* b) {
    for (int y = 0; y < a->h; ++y)
        ASSERT_EQ(0, std::memcmp(&at(a, 0, y), &at(b, 0, y), a->w * 2)) << "row " << y;
}
}  // namespace

TEST(Flame, TentShapeAndPaletteRange) {
    auto got = make_surface(640, 480);
    fill_random(got.get(), 21);
    auto want = make_surface(640, 480);
    std::memcpy(want->pixels, got->pixels, want->pitch * want->h);
    flame f;
    f.set_target(got.get());
    set_palette(f);
    std::vector<int> heights;
    f.plot(300, 400, 30, 40.0f, 0.0f, 0.4f);
    reference_flame(want.get(), f.palette, 300, 400, 30, 40.0f, 0.0f, 0.4f, &heights);
    expect_same(got.get(), want.get());
    // Columns 0..28 draw, the 15th peaks at 40 +- 10 %, the 30th has height 0.
    ASSERT_EQ(heights.size(), 30u);
    for (int i = 0; i < 29; ++i) EXPECT_GT(heights[i], 0) << i;
    EXPECT_EQ(heights[29], 0);
    EXPECT_GE(heights[14], 36);
    EXPECT_LE(heights[14], 44);
    EXPECT_EQ(at(got.get(), 329, 400), at(want.get(), 329, 400));

    // Many heights, widths and phases: same pixels, palette index within 0..199.
    for (int t = 0; t < 60; ++t) {
        const int width = 1 + (t * 7) % 45;
        const float height = 3.0f + t * 7.9f;
        const float phase = t * 0.37f;
        f.plot(20 + t * 9, 470, width, height, phase, 0.4f + t * 0.01f);
        const int max_index = reference_flame(want.get(), f.palette, 20 + t * 9, 470, width, height, phase,
                                              0.4f + t * 0.01f);
        EXPECT_LE(max_index, 199);
    }
    expect_same(got.get(), want.get());
    f.plot(10, 400, 30, 0.0f, 0.0f, 0.4f);  // height 0 draws nothing
    expect_same(got.get(), want.get());
    // A column exactly one pixel high draws its one row: width 2 and height 1
    // make the first column's g exactly 1, where the flicker's sine is 0.
    at(got.get(), 500, 200) = at(want.get(), 500, 200) = 0;
    std::vector<int> one;
    f.plot(500, 200, 2, 1.0f, 0.0f, 0.4f);
    reference_flame(want.get(), f.palette, 500, 200, 2, 1.0f, 0.0f, 0.4f, &one);
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[0], 1);
    EXPECT_NE(at(got.get(), 500, 200), 0);
    expect_same(got.get(), want.get());

    // Low flames, whose outer columns are under a pixel high and draw
    // nothing: the flicker still moves on across those columns.
    int blank_columns = 0;
    for (int t = 0; t < 120; ++t) {
        const int width = 30 + (t * 13) % 121;
        const float height = 0.6f + (t % 24) * 0.45f;
        const float phase = t * 0.61f;
        std::vector<int> h;
        f.plot(t * 4, 300 + t % 7, width, height, phase, 0.5f);
        reference_flame(want.get(), f.palette, t * 4, 300 + t % 7, width, height, phase, 0.5f, &h);
        blank_columns += static_cast<int>(std::count(h.begin(), h.end() - 1, 0));
    }
    EXPECT_GT(blank_columns, 1000);
    expect_same(got.get(), want.get());
}

TEST(Flame, IntensityZeroHalvesBlueOnly) {
    auto s = make_surface(640, 480, px::pack(21, 13, 31) | 0x20);
    flame f;
    f.set_target(s.get());
    set_palette(f);
    f.plot(100, 300, 30, 40.0f, 1.0f, 0.0f);
    EXPECT_EQ(at(s.get(), 114, 300), px::pack(21, 13, 15));  // base of the tallest column
    EXPECT_EQ(at(s.get(), 114, 300 - 30), px::pack(21, 13, 15));
    EXPECT_EQ(at(s.get(), 114, 300 - 50), px::pack(21, 13, 31) | 0x20);  // above the flame
    EXPECT_EQ(at(s.get(), 114, 301), px::pack(21, 13, 31) | 0x20);       // below its base
}

TEST(Flame, NeverWritesOutsideTheTarget) {
    // A small target and flames hanging off every edge.
    auto got = make_surface(100, 50);
    fill_random(got.get(), 22);
    auto want = make_surface(100, 50);
    std::memcpy(want->pixels, got->pixels, want->pitch * want->h);
    flame f;
    f.set_target(got.get());
    set_palette(f);
    const int spots[][2] = {{-15, 40}, {85, 40}, {40, 10}, {40, 70}, {40, 479}, {-40, 20}, {120, 20}};
    for (const auto& sp : spots) {
        f.plot(sp[0], sp[1], 30, 85.0f, 0.5f, 0.4f);
        reference_flame(want.get(), f.palette, sp[0], sp[1], 30, 85.0f, 0.5f, 0.4f);
    }
    expect_same(got.get(), want.get());
    // Absurd arguments finish quickly and stay inside.
    f.plot(0, 2000000000, 30, 3e9f, 0.0f, 0.4f);
    f.plot(-2000000000, 40, 2000000000, 85.0f, 0.0f, 1e30f);
    f.plot(-1500000000, 45, 2000000000, 85.0f, 0.0f, 0.4f);  // 1.5e9 columns left of the target
    f.plot(10, 40, 30, INFINITY, 0.0f, 0.4f);
    f.plot(10, 40, 30, NAN, NAN, -5.0f);
    flame unset;  // no target given: draws nothing
    unset.plot(0, 0, 30, 40.0f, 0.0f, 0.4f);
}
