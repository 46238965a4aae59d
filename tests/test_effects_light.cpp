// Light sprites: point lists, centre offsets, keys, weights, clipping,
// against the point-by-point blend rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "light.h"
#include "pixel.h"
#include "test_effects_util.h"

namespace {
class Light : public testing::Test {
protected:
    void SetUp() override { fill_pre_RGB_tab(); }
};

// out.c = min(31, trunc(C.c * s * 0.034) + trunc(D.c * b * 0.034))
Uint16 blend(Uint16 c, Uint16 d, int s, int b) {
    auto ch = [&](int cc, int dc) {
        return std::min(31, static_cast<int>(cc * s * 0.034) + static_cast<int>(dc * b * 0.034));
    };
    return px::pack(ch(px::red(c), px::red(d)), ch(px::green(c), px::green(d)), ch(px::blue(c), px::blue(d)));
}
}  // namespace

TEST_F(Light, OffsetsFromTheCentreForOddAndEvenSizes) {
    auto src = make_surface(640, 480, 0x1111);
    light l;
    l.set_sprite(src.get(), 10, 30, 21, 32, 0, 1);  // 11 x 2
    ASSERT_EQ(l.count, 22);
    EXPECT_EQ(l.x_offsets[0], -5);
    EXPECT_EQ(l.x_offsets[10], 5);
    EXPECT_EQ(l.y_offsets[0], -1);
    EXPECT_EQ(l.y_offsets[21], 0);
    l.set_sprite(src.get(), 10, 30, 20, 33, 0, 1);  // 10 x 3, replaces the list
    ASSERT_EQ(l.count, 30);
    EXPECT_EQ(l.x_offsets[0], -5);
    EXPECT_EQ(l.x_offsets[9], 4);
    EXPECT_EQ(l.y_offsets[0], -1);
    EXPECT_EQ(l.y_offsets[29], 1);
    EXPECT_EQ(l.colours[29], 0x1111);
}

TEST_F(Light, KeyedPixelsAreLeftOutOnlyWithTheFlag) {
    auto src = make_surface(64, 64, 0);
    at(src.get(), 5, 5) = 0xF800;
    light l;
    auto dst = make_surface(640, 480, 0x4321);
    l.target = dst.get();
    l.set_sprite(src.get(), 0, 0, 4, 4, 0, 1);  // all black, black is the key
    EXPECT_EQ(l.count, 0);
    l.plot_light(100, 100, 30, 30, 30, 0, 0, 0);
    EXPECT_EQ(at(dst.get(), 100, 100), 0x4321);
    l.set_sprite(src.get(), 0, 0, 4, 4, 0, 0);  // flag 0: black points too
    EXPECT_EQ(l.count, 16);
    l.set_sprite(src.get(), 0, 0, 10, 10, 0xFFFF, 1);
    EXPECT_EQ(l.count, 100);
    l.set_sprite(src.get(), 0, 0, 10, 10, 0, 1);
    ASSERT_EQ(l.count, 1);
    EXPECT_EQ(l.x_offsets[0], 0);
    EXPECT_EQ(l.colours[0], 0xF800);

    // A kept pixel just right of a keyed cut is not part of it: the list and
    // its extent stay empty (no runs, nothing left of an earlier cut).
    at(src.get(), 4, 0) = 0x07E0;
    l.set_sprite(src.get(), 0, 0, 4, 4, 0, 1);
    EXPECT_EQ(l.count, 0);
    EXPECT_EQ(l.run_count, 0);
    EXPECT_EQ(l.left_dx, 0);
    EXPECT_EQ(l.right_dx, 0);
    EXPECT_EQ(l.top_dy, 0);
    EXPECT_EQ(l.bottom_dy, 0);
    // The whole source, its last row and column included.
    at(src.get(), 63, 63) = 0x001F;
    l.set_sprite(src.get(), 0, 0, 64, 64, 0, 1);
    ASSERT_EQ(l.count, 3);
    EXPECT_EQ(l.run_count, 3);
    EXPECT_EQ(l.colours[2], 0x001F);
    EXPECT_EQ(l.x_offsets[2], 31);
    EXPECT_EQ(l.right_dx, 32);
    EXPECT_EQ(l.bottom_dy, 31);
}

TEST_F(Light, WeightsBlendThroughTheTable) {
    auto src = make_surface(640, 480);
    fill_random(src.get(), 31);
    auto back = make_surface(640, 480);
    fill_random(back.get(), 32);
    light l;
    l.set_sprite(src.get(), 100, 100, 140, 130, 0, 0);
    const int weights[][2] = {{30, 0}, {0, 30}, {15, 15}, {10, 0}, {20, 15}, {25, 5}, {10, 30}, {22, 0}};
    for (const auto& w : weights) {
        auto dst = make_surface(640, 480);
        std::memcpy(dst->pixels, back->pixels, back->pitch * back->h);
        l.target = dst.get();
        l.plot_light(120, 115, w[0], w[0], w[0], w[1], w[1], w[1]);  // lands where it was cut
        for (int y = 100; y < 130; ++y)
            for (int x = 100; x < 140; ++x)
                ASSERT_EQ(at(dst.get(), x, y), blend(at(src.get(), x, y), at(back.get(), x, y), w[0], w[1]))
                    << w[0] << ";" << w[1] << " at " << x << "," << y;
        if (w[0] == 30) {
            EXPECT_EQ(at(dst.get(), 101, 101), at(src.get(), 101, 101) & 0xFFDF);
        }
        if (w[0] == 0) {
            EXPECT_EQ(at(dst.get(), 101, 101), at(back.get(), 101, 101) & 0xFFDF);
        }
        EXPECT_EQ(at(dst.get(), 99, 101), at(back.get(), 99, 101));
    }
    // White over white at (15; 15): 15 + 15 = 30 per channel.
    auto white = make_surface(64, 64, 0xFFFF);
    l.set_sprite(white.get(), 0, 0, 8, 8, 0, 1);
    l.target = white.get();
    l.plot_light(20, 20, 15, 15, 15, 15, 15, 15);
    EXPECT_EQ(at(white.get(), 20, 20), px::pack(30, 30, 30));
    // Weights outside 0..30 act as the nearest end, never reading past a table row.
    auto dst = make_surface(640, 480);
    std::memcpy(dst->pixels, back->pixels, back->pitch * back->h);
    l.set_sprite(src.get(), 100, 100, 140, 130, 0, 0);
    l.target = dst.get();
    l.plot_light(120, 115, 99, 31, 1000000, -5, -1, -1000000);
    EXPECT_EQ(at(dst.get(), 110, 110), blend(at(src.get(), 110, 110), 0, 30, 0));
    // A new sprite with the same weights draws its own colours, not the last one's.
    auto red = make_surface(64, 64, 0xF800);
    l.set_sprite(red.get(), 0, 0, 8, 8, 0, 1);
    l.plot_light(20, 20, 30, 30, 30, 0, 0, 0);
    EXPECT_EQ(at(dst.get(), 20, 20), 0xF800);
    EXPECT_EQ(at(dst.get(), 23, 23), 0xF800);
    EXPECT_EQ(at(dst.get(), 24, 23), at(back.get(), 24, 23));
}

TEST_F(Light, PointsOutsideTheTargetAreSkipped) {
    auto src = make_surface(640, 480, 0xFFFF);
    light l;
    l.set_sprite(src.get(), 0, 0, 639, 479, 0, 1);
    EXPECT_EQ(l.count, 306081);
    // Half off the left edge: the visible half is drawn.
    auto dst = make_surface(640, 480, 0);
    l.target = dst.get();
    l.plot_light(0, 239, 30, 30, 30, 0, 0, 0);
    EXPECT_EQ(at(dst.get(), 0, 0), 0xFFDF);
    EXPECT_EQ(at(dst.get(), 318, 477), 0xFFDF);
    EXPECT_EQ(at(dst.get(), 320, 100), 0);
    EXPECT_EQ(at(dst.get(), 10, 479), 0);
    // A small target, far positions, and a cut rectangle reaching outside the
    // source (only its inside is read; offsets stay relative to its centre).
    auto small = make_surface(50, 40, 0);
    l.target = small.get();
    for (int x : {-2000000000, -300, 25, 700, 2000000000}) l.plot_light(x, 20, 30, 30, 30, 0, 0, 0);
    EXPECT_EQ(at(small.get(), 49, 39), 0xFFDF);
    l.set_sprite(src.get(), -10, -10, 10, 10, 0, 1);
    ASSERT_EQ(l.count, 100);
    EXPECT_EQ(l.x_offsets[0], 0);
    EXPECT_EQ(l.y_offsets[99], 9);
    l.set_sprite(src.get(), 600, 470, 700, 2000000000, 0, 1);
    EXPECT_EQ(l.count, 400);
    l.set_sprite(nullptr, 0, 0, 10, 10, 0, 1);
    EXPECT_EQ(l.count, 0);
}

TEST_F(Light, ASpriteOneColumnOrRowOverAnEdgeIsClipped) {
    // 4 x 2 points at offsets -2..1, -1..0 on a 50 x 40 target whose rows lie
    // back to back: a column past either edge would land in the next or the
    // previous row.
    auto src = make_surface(8, 8, 0xF800);
    light l;
    l.set_sprite(src.get(), 0, 0, 4, 2, 0, 1);
    auto dst = make_surface(50, 40, 0);
    l.target = dst.get();
    l.plot_light(49, 10, 30, 30, 30, 0, 0, 0);  // columns 47..50
    EXPECT_EQ(at(dst.get(), 49, 9), 0xF800);
    EXPECT_EQ(at(dst.get(), 0, 10), 0);
    EXPECT_EQ(at(dst.get(), 0, 11), 0);
    l.plot_light(1, 20, 30, 30, 30, 0, 0, 0);  // columns -1..2
    EXPECT_EQ(at(dst.get(), 0, 20), 0xF800);
    EXPECT_EQ(at(dst.get(), 49, 18), 0);
    EXPECT_EQ(at(dst.get(), 49, 19), 0);
    // A target taller than the show's 480 rows: a sprite one row past row
    // 479 leaves row 480 alone.
    auto tall = make_surface(640, 490, 0);
    l.target = tall.get();
    l.plot_light(100, 480, 30, 30, 30, 0, 0, 0);  // rows 479..480
    EXPECT_EQ(at(tall.get(), 100, 479), 0xF800);
    EXPECT_EQ(at(tall.get(), 100, 480), 0);
}

TEST_F(Light, KeyedSpritesMatchThePointByPointRule) {
    // A sprite full of key-coloured holes, drawn at positions on and off the
    // target, against the list drawn point by point with the literal formula.
    auto src = make_surface(200, 150);
    fill_random(src.get(), 41);
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x)
            if ((x * 7 + y * 13) % 5 < 2) at(src.get(), x, y) = 0;
    light l;
    l.set_sprite(src.get(), 20, 10, 181, 131, 0, 1);
    // Uneven weights, then a background weight of 0 in red and blue only.
    const int weights[][6] = {{20, 25, 10, 15, 5, 30}, {20, 25, 10, 0, 12, 0}};
    for (const auto& w : weights) {
        auto got = make_surface(640, 480);
        fill_random(got.get(), 42);
        auto want = make_surface(640, 480);
        std::memcpy(want->pixels, got->pixels, got->pitch * got->h);
        l.target = got.get();
        const int spots[][2] = {{320, 240}, {-30, 5}, {630, 470}, {100, -50}, {50, 530}};
        for (const auto& sp : spots) {
            l.plot_light(sp[0], sp[1], w[0], w[1], w[2], w[3], w[4], w[5]);
            for (int i = 0; i < l.count; ++i) {
                const int x = sp[0] + l.x_offsets[i], y = sp[1] + l.y_offsets[i];
                if (x < 0 || x > 639 || y < 0 || y > 479) continue;
                const Uint16 c = l.colours[i], d = at(want.get(), x, y);
                auto ch = [](int cc, int dc, int s, int b) { return std::min(31, cc * s * 34 / 1000 + dc * b * 34 / 1000); };
                at(want.get(), x, y) = px::pack(ch(px::red(c), px::red(d), w[0], w[3]),
                                                ch(px::green(c), px::green(d), w[1], w[4]),
                                                ch(px::blue(c), px::blue(d), w[2], w[5]));
            }
        }
        for (int y = 0; y < 480; ++y)
            ASSERT_EQ(0, std::memcmp(&at(got.get(), 0, y), &at(want.get(), 0, y), 640 * 2)) << "row " << y << " weights " << w[4];
    }
}
