// fade runs in and out, the mode letter, hand-set maps, clipping;
// black_white fills.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "black_white.h"
#include "fade.h"
#include "pixel.h"
#include "test_effects_util.h"

namespace {
// A pixel through maps map[k] = k + offset, clamped to 0..31.
Uint16 leveled(Uint16 p, int offset) {
    auto c = [&](int v) { return std::clamp(v + offset, 0, 31); };
    return px::pack(c(px::red(p)), c(px::green(p)), c(px::blue(p)));
}

// Every pixel of the rectangle is src through offset; every other one is `before`.
void expect_frame(SDL_Surface* dst, SDL_Surface* src, const Uint16* before, int x0, int y0, int x1, int y1,
                  int offset, const char* what) {
    const int pitch = dst->pitch / 2;
    for (int y = 0; y < dst->h; ++y)
        for (int x = 0; x < dst->w; ++x) {
            const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
            const Uint16 want = inside ? leveled(at(src, x, y), offset) : before[y * pitch + x];
            ASSERT_EQ(at(dst, x, y), want) << what << " at " << x << "," << y;
        }
}
}  // namespace

TEST(Fade, InThenOutWithoutNewArea) {
    auto src = make_surface(640, 480);
    fill_random(src.get(), 1);
    auto dst = make_surface(640, 480, 0x1234);
    const auto before = snapshot(dst.get());
    fade f;
    f.target = dst.get();
    f.set_area("in", src.get(), 10, 20, 110, 70);
    for (int n = 1; n <= 32; ++n) {
        f.add_RGB(1, 1, 1);  // map[k] = k - 31 + n
        expect_frame(dst.get(), src.get(), before.get(), 10, 20, 110, 70, n - 31, "in");
        if (n == 31) {  // the picture itself, green's low bit cleared
            for (int y = 20; y < 70; ++y)
                for (int x = 10; x < 110; ++x) ASSERT_EQ(at(dst.get(), x, y), at(src.get(), x, y) & 0xFFDF);
        }
    }
    // Continuing from the maps the fade in left: map[k] = k + 1 - n.
    for (int n = 1; n <= 32; ++n) {
        f.add_RGB(-1, -1, -1);
        expect_frame(dst.get(), src.get(), before.get(), 10, 20, 110, 70, 1 - n, "out");
    }
    EXPECT_EQ(at(dst.get(), 50, 50), 0);
}

TEST(Fade, ModeFirstLetterAndEmptyRectangle) {
    auto src = make_surface(640, 480);
    fill_random(src.get(), 2);
    auto dst = make_surface(640, 480, 0x5555);
    const auto before = snapshot(dst.get());
    fade f;
    f.target = dst.get();

    f.set_area("orange", src.get(), 0, 0, 64, 48);  // like "out"
    f.add_RGB(-1, -1, -1);
    expect_frame(dst.get(), src.get(), before.get(), 0, 0, 64, 48, -1, "o");
    f.set_area("inside", src.get(), 0, 0, 64, 48);  // like "in"
    f.add_RGB(0, 0, 0);
    expect_frame(dst.get(), src.get(), before.get(), 0, 0, 64, 48, -31, "i");

    // Any other letter starts white and comes down to the picture in 31 steps.
    f.set_area("white", src.get(), 0, 0, 64, 48);
    f.add_RGB(0, 0, 0);
    EXPECT_EQ(at(dst.get(), 5, 5), 0xFFDF);
    for (int n = 0; n < 31; ++n) f.add_RGB(-1, -1, -1);
    expect_frame(dst.get(), src.get(), before.get(), 0, 0, 64, 48, 0, "white");

    // An empty rectangle writes nothing but still shifts the maps.
    auto other = make_surface(640, 480, 0x0F0F);
    const auto other_before = snapshot(other.get());
    f.target = other.get();
    f.set_area("in", src.get(), 30, 30, 30, 40);
    f.add_RGB(1, 2, 3);
    f.set_area("in", src.get(), 40, 40, 20, 50);
    f.add_RGB(1, 2, 3);
    EXPECT_EQ(f.red_map[0], -30);
    EXPECT_EQ(f.green_map[5], -24);
    EXPECT_EQ(f.blue_map[31], 3);
    expect_frame(other.get(), src.get(), other_before.get(), 0, 0, 0, 0, 0, "empty");

    // With no picture, or no target, the maps move and nothing is drawn.
    f.set_area("out", nullptr, 0, 0, 64, 48);
    f.add_RGB(-2, 0, 0);
    EXPECT_EQ(f.red_map[4], 2);
    expect_frame(other.get(), src.get(), other_before.get(), 0, 0, 0, 0, 0, "no picture");
    fade lone;
    lone.set_area("out", src.get(), 0, 0, 64, 48);
    lone.add_RGB(0, 0, -3);
    EXPECT_EQ(lone.blue_map[4], 1);
}

TEST(Fade, RectangleIsClippedToBothSurfaces) {
    // A 100 x 60 source and a 80 x 90 target, rectangles reaching far outside both.
    auto src = make_surface(100, 60);
    fill_random(src.get(), 3);
    auto dst = make_surface(80, 90, 0x7777);
    const auto before = snapshot(dst.get());
    fade f;
    f.target = dst.get();
    f.set_area("out", src.get(), -50, -50, 640, 480);
    f.add_RGB(0, 0, 0);
    expect_frame(dst.get(), src.get(), before.get(), 0, 0, 80, 60, 0, "clipped");
    f.set_area("out", src.get(), -2000000000, -5, 2000000000, 2000000000);
    f.add_RGB(-2000000000, 0, 2000000000);  // maps saturate instead of wrapping
    f.add_RGB(-2000000000, 0, 2000000000);
    EXPECT_EQ(at(dst.get(), 3, 3), px::pack(0, px::green(at(src.get(), 3, 3)), 31));
}

TEST(Fade, MapsSetByHandGoThroughTables) {
    // Maps that are not a plain shift: inverted red, stepped green, blue as is.
    auto src = make_surface(640, 480);
    fill_random(src.get(), 4);
    auto dst = make_surface(640, 480);
    fade f;
    f.target = dst.get();
    f.set_area("out", src.get(), 0, 0, 640, 480);
    for (int k = 0; k < 32; ++k) {
        f.red_map[k] = 31 - k;
        f.green_map[k] = k * 3 - 20;
    }
    f.add_RGB(0, 0, 1);
    for (int y = 0; y < 480; y += 3)
        for (int x = 0; x < 640; ++x) {
            const Uint16 p = at(src.get(), x, y);
            const Uint16 want = px::pack(31 - px::red(p), std::clamp(px::green(p) * 3 - 20, 0, 31),
                                         std::min(px::blue(p) + 1, 31));
            ASSERT_EQ(at(dst.get(), x, y), want) << x << "," << y;
        }
    // Through the tables too, a smaller rectangle writes its own rows and
    // columns and no other.
    auto small = make_surface(640, 480, 0x7777);
    f.target = small.get();
    f.set_area("out", src.get(), 10, 20, 30, 40);
    f.add_RGB(0, 0, 0);
    int changed = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const bool inside = x >= 10 && x < 30 && y >= 20 && y < 40;
            if (!inside) {
                ASSERT_EQ(at(small.get(), x, y), 0x7777) << x << "," << y;
            }
            changed += inside && at(small.get(), x, y) != 0x7777;
        }
    EXPECT_GT(changed, 300);
}

TEST(Fade, EachChannelFollowsItsOwnMap) {
    // Shifts that differ per channel, small and past the saturation at
    // +-32, over rectangles of many widths, then maps that are no longer
    // plain shifts: every pixel is its channels through their own maps.
    auto src = make_surface(640, 480);
    fill_random(src.get(), 5);
    auto dst = make_surface(640, 480);
    fade f;
    f.target = dst.get();
    std::mt19937 rng(6);
    auto uni = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int step = 0; step < 60; ++step) {
        const int x0 = uni(0, 300), y0 = uni(0, 400), x1 = x0 + uni(1, 340), y1 = y0 + uni(1, 20);
        f.set_area(step % 3 == 0 ? "in" : step % 3 == 1 ? "out" : "white", src.get(), x0, y0, x1, y1);
        const int big = step % 5 == 4 ? 40 : 0;
        const int d[3] = {uni(-9, 9) - big, uni(-9, 9) + big, uni(-9, 9)};
        if (step >= 40)  // one entry off the shift: the maps go through tables
            f.green_map[uni(0, 31)] += uni(1, 9);
        int maps[3][32];
        for (int k = 0; k < 32; ++k) {
            maps[0][k] = f.red_map[k] + d[0];
            maps[1][k] = f.green_map[k] + d[1];
            maps[2][k] = f.blue_map[k] + d[2];
        }
        f.add_RGB(d[0], d[1], d[2]);
        auto level = [&maps](int c, int v) { return std::clamp(maps[c][v], 0, 31); };
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < std::min(x1, 640); ++x) {
                const Uint16 p = at(src.get(), x, y);
                const Uint16 want =
                    px::pack(level(0, px::red(p)), level(1, px::green(p)), level(2, px::blue(p)));
                ASSERT_EQ(at(dst.get(), x, y), want)
                    << "step " << step << " at " << x << "," << y << " shifts " << d[0] << " " << d[1] << " " << d[2];
            }
    }
}

TEST(BlackWhite, FillsWidthByHeightClippedToTheSurface) {
    auto s = make_surface(640, 480, 0x1111);
    black_white::blink(s.get(), 0, 0, 639, 479, 0xFFFF);
    EXPECT_EQ(at(s.get(), 0, 0), 0xFFFF);
    EXPECT_EQ(at(s.get(), 638, 478), 0xFFFF);
    EXPECT_EQ(at(s.get(), 639, 10), 0x1111);
    EXPECT_EQ(at(s.get(), 10, 479), 0x1111);

    auto small = make_surface(30, 20, 0);
    black_white::blink(small.get(), -5, 15, 2000000000, 2000000000, 0xABCD);
    black_white::blink(small.get(), 29, -3, 640, 4, 0x0001);
    black_white::blink(small.get(), 40, 0, 10, 10, 0x0002);  // wholly outside
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const Uint16 want = y >= 15 ? 0xABCD : (x == 29 && y < 1) ? 0x0001 : 0;
            ASSERT_EQ(at(small.get(), x, y), want) << x << "," << y;
        }
}
