// The flash analysis against sequences with known answers: strobe rates,
// strobe areas, slow ramps, red flashes, uneven frame times and the
// darker-value rule, with the table and the transition counting beneath.
#include "test_flash_util.h"

#include "field_track.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace flash_test;

TEST(FlashLight, TableReadsThePngColourAsLinearLight) {
    const std::uint32_t* t = flash::light_table();
    EXPECT_EQ(t[black], 0u);
    EXPECT_EQ(flash::lum_of(t[white]), 10000u);
    EXPECT_EQ(flash::red_of(t[white]), 0u);
    // primaries: the luminance weights, and red's full value 320
    EXPECT_EQ(t[0xF800], 2126u | 32000u << 16 | flash::saturated_bit);
    EXPECT_EQ(t[0x07E0], 7152u);
    EXPECT_EQ(t[0x001F], 722u);
    // the linear segment ends at 0.04045: 10/255 is on it, 11/255 on the curve
    EXPECT_DOUBLE_EQ(flash::srgb_to_linear(10), 10 / 255.0 / 12.92);
    EXPECT_DOUBLE_EQ(flash::srgb_to_linear(11), std::pow((11 / 255.0 + 0.055) / 1.055, 2.4));
    // 5-bit 1 widens to 8 (1<<3 | 0), 6-bit 33 to 134 (33<<2 | 2)
    EXPECT_EQ(flash::lum_of(t[1 << 11]), std::lround(0.2126 * flash::srgb_to_linear(8) * 10000));
    EXPECT_EQ(flash::lum_of(t[33 << 5]), std::lround(0.7152 * flash::srgb_to_linear(134) * 10000));
    // saturated red: R at 80 % of R+G+B or more, in linear light
    const double r = flash::srgb_to_linear(255), b = flash::srgb_to_linear(16 << 3 | 4);
    ASSERT_GT(r / (r + b), 0.8);
    EXPECT_TRUE(t[0xF800 | 16] & flash::saturated_bit);
    EXPECT_EQ(flash::red_of(t[0xF800 | 16]), std::lround((r - b) * 32000));
    const double b2 = flash::srgb_to_linear(17 << 3 | 4);
    ASSERT_LT(r / (r + b2), 0.8);
    EXPECT_FALSE(t[0xF800 | 17] & flash::saturated_bit);
    EXPECT_EQ(flash::red_of(t[0x07FF]), 0u) << "R - G - B below 0 counts as 0";
}

TEST(FlashTrack, CountsTurnsOfAStepWithinTheWindow) {
    flash::field_track f(1000);
    EXPECT_EQ(f.step(500, 0), 0);
    EXPECT_EQ(f.step(500, 10), 1) << "a step reached exactly";
    EXPECT_EQ(f.step(3000, 20), 0) << "the same direction counts once";
    EXPECT_EQ(f.step(-999, 30), 0);
    EXPECT_EQ(f.step(400, 40), 0);
    EXPECT_EQ(f.step(-400, 50), 0) << "measured from the highest level since the turn";
    EXPECT_EQ(f.step(-1, 999), -1);
    EXPECT_EQ(f.turn(1000), 1);
    EXPECT_EQ(f.turn(999), 0);
    EXPECT_EQ(f.step(-5000, 1009), 0);
    EXPECT_EQ(f.count(1009), 2);
    EXPECT_EQ(f.step(1000, 1010), 1) << "up again from the lowest level";
    EXPECT_EQ(f.direction(), 1);
    // turns at ticks 10, 999, 1010: the window ending at t holds (t - 1000, t]
    EXPECT_EQ(f.count(1010), 2);
    EXPECT_EQ(f.count(1998), 2);
    EXPECT_EQ(f.count(1999), 1);
    EXPECT_EQ(f.count(2010), 0);

    flash::field_track down(1000);
    EXPECT_EQ(down.step(-1000, 0), -1) << "the first turn may go either way";

    // a window holding more turns than the ring keeps counts what it keeps
    flash::field_track many(1000);
    for (int i = 0; i < 300; ++i) many.step(i % 2 ? -1000 : 1000, 5000 + i);
    EXPECT_EQ(many.count(5299), 256);
}

TEST(FlashAnalysis, StrobeRateThreeFlashesPassFourFail) {
    const auto ticks = at_60fps(3000);
    for (const int hz : {3, 4}) {
        const worst w = analyse(make(ticks, [&](int, int, int i) { return strobe_on(ticks[i], hz) ? white : black; }));
        EXPECT_EQ(w.verdict.general, 2 * hz) << hz << " Hz";
        EXPECT_EQ(w.verdict.red, 0);
        EXPECT_EQ(w.failing > 0, hz == 4) << hz << " Hz";
    }
}

TEST(FlashAnalysis, StrobeAreaCountsPerField) {
    const auto ticks = at_60fps(2000);
    // 16 x 15 pixels: 20 % of each field that holds it
    const worst block = analyse(make(ticks, [&](int x, int y, int i) {
        return x >= 62 && x < 78 && y >= 32 && y < 47 && strobe_on(ticks[i], 4) ? white : black;
    }));
    EXPECT_EQ(block.verdict.general, 8);
    // 2 % of the pixels everywhere
    const worst specks = analyse(make(ticks, [&](int x, int y, int i) {
        return x % 10 == 3 && y % 5 == 1 && strobe_on(ticks[i], 4) ? white : black;
    }));
    EXPECT_EQ(specks.verdict.general, 0);
    EXPECT_EQ(specks.failing, 0);

    // a change of 0.2 over exactly a quarter of the fields (one cell) flashes;
    // one pixel less is only its share of the fields' mean
    const std::uint16_t lo = find_pixel([](std::uint32_t e) { return flash::lum_of(e) == 3000; });
    const std::uint16_t hi = find_pixel([](std::uint32_t e) { return flash::lum_of(e) == 5000; });
    for (const int missing : {0, 1}) {
        const worst quarter = analyse(make(ticks, [&](int x, int y, int i) {
            const bool in = x >= 40 && x < 60 && y >= 30 && y < 45 && !(missing && x == 40 && y == 30);
            return in && strobe_on(ticks[i], 4) ? hi : lo;
        }));
        EXPECT_EQ(quarter.verdict.general, missing ? 0 : 8) << "missing " << missing;
    }
}

TEST(FlashAnalysis, FieldsLieOnAGridOfASixth) {
    // 640 x 480: cells start at 0, 106, 213, 320, 426, 533 and 0, 80, ..., 400
    const int w = 640, h = 480;
    flash::grid g(w, h);
    EXPECT_EQ(g.x[1], 106);
    EXPECT_EQ(g.x[5], 533);
    EXPECT_EQ(g.y[6], 480);
    EXPECT_EQ(g.field_pixels(0), 213 * 160);
    EXPECT_EQ(g.field_pixels(24), (640 - 426) * 160);
    // a corner cell lies in one field only: row-major, 5 to a row
    for (const auto& [x0, y0, field] :
         {std::tuple{533, 400, 24}, std::tuple{0, 0, 0}, std::tuple{533, 0, 4}, std::tuple{0, 400, 20}}) {
        flash::analysis a(w, h);
        std::vector<std::uint16_t> f(w * h);
        flash::frame_verdict v;
        for (std::uint32_t tick = 0; tick <= 1000; tick += 100) {
            for (int y = y0; y < y0 + 80; ++y)
                for (int x = x0; x < x0 + 106; ++x) f[y * w + x] = (tick / 100) % 2 ? white : black;
            v = a.feed({f.data(), w}, tick);
        }
        EXPECT_EQ(v.general, 10);
        EXPECT_EQ(v.general_field, field);
        EXPECT_EQ(v.red_field, -1) << "no field has a red transition";
    }
    // a cell in two fields (the top row's third): the first of them is named
    flash::analysis a(w, h);
    std::vector<std::uint16_t> f(w * h);
    flash::frame_verdict v;
    for (std::uint32_t tick = 0; tick <= 300; tick += 100) {
        for (int y = 0; y < 80; ++y)
            for (int x = 213; x < 320; ++x) f[y * w + x] = (tick / 100) % 2 ? white : black;
        v = a.feed({f.data(), w}, tick);
    }
    EXPECT_EQ(v.general, 3);
    EXPECT_EQ(v.general_field, 1);
}

TEST(FlashAnalysis, SlowRampIsOneTransition) {
    // black to white in 2 s and back after 2 s: one transition each way,
    // though no frame changes a pixel by 0.1
    const auto ticks = at_60fps(6000);
    const auto level = [&](std::uint32_t t) {
        return t < 2000 ? t * 31 / 2000 : t < 4000 ? 31u : t < 6000 ? 31 - (t - 4000) * 31 / 2000 : 0u;
    };
    flash::analysis a(W, H);
    int most = 0;
    std::vector<std::uint16_t> f(W * H);
    for (const std::uint32_t t : ticks) {
        std::fill(f.begin(), f.end(), grey(static_cast<int>(level(t))));
        most = std::max(most, a.feed({f.data(), W}, t).general);
        if (t == 2000) {
            EXPECT_EQ(most, 1);
        }
    }
    EXPECT_EQ(most, 1) << "the two ramps lie more than a second apart";
    for (std::uint32_t i = 1; i < 3; ++i) ASSERT_LT(lum(grey(i)) - lum(grey(i - 1)), 1000);
}

TEST(FlashAnalysis, SaturatedRedFlashFailsByTheRedRule) {
    const std::uint16_t red = 16 << 11;  // dark red: luminance 0.05, red value 74
    ASSERT_LT(lum(red), 1000);
    const auto ticks = at_60fps(2000);
    const worst w = analyse(make(ticks, [&](int, int, int i) { return strobe_on(ticks[i], 4) ? red : black; }));
    EXPECT_EQ(w.verdict.general, 0);
    EXPECT_EQ(w.verdict.red, 8);
    EXPECT_GT(w.failing, 0);

    // exactly 20 of red value between two saturated reds is a red step; 19.99 is not
    const std::uint32_t* t = flash::light_table();
    std::vector<std::uint16_t> reds;
    for (unsigned p = 0; p < 65536; ++p)
        if (t[p] & flash::saturated_bit)
            reds.push_back(static_cast<std::uint16_t>(p));
    for (const int want : {2000, 1999}) {
        std::uint16_t a = 0, b = 0;
        for (size_t i = 0; i < reds.size() && !b; ++i)
            for (const std::uint16_t q : reds)
                if (int(flash::red_of(t[q])) - int(flash::red_of(t[reds[i]])) == want &&
                    std::abs(lum(q) - lum(reds[i])) < 500) {
                    a = reds[i];
                    b = q;
                    break;
                }
        ASSERT_NE(b, 0) << want;
        // over one cell: a quarter of each of its fields
        const worst s = analyse(make(ticks, [&](int x, int y, int i) {
            return x >= 40 && x < 60 && y >= 30 && y < 45 && strobe_on(ticks[i], 4) ? b : a;
        }));
        EXPECT_EQ(s.verdict.red, want == 2000 ? 8 : 0) << want;
        EXPECT_EQ(s.verdict.general, 0);
    }
}

TEST(FlashAnalysis, WindowCountsTicksNotFrames) {
    // one frame per transition; eight over 1100 ms never put seven within a
    // window, eight over 990 ms put all eight in one
    for (const auto& [offsets, expect] :
         {std::pair{std::vector<std::uint32_t>{0, 100, 200, 300, 400, 500, 1000, 1100}, 6},
          std::pair{std::vector<std::uint32_t>{0, 90, 180, 270, 360, 450, 900, 990}, 8}}) {
        std::vector<std::uint32_t> ticks{0};
        for (const auto o : offsets) ticks.push_back(10 + o);
        const worst w = analyse(make(ticks, [](int, int, int i) { return i % 2 ? white : black; }));
        EXPECT_EQ(w.verdict.general, expect);
    }
}

TEST(FlashAnalysis, DarkerValueMustBeBelowPointEight) {
    const auto ticks = at_60fps(2000);
    const auto flicker = [&](std::uint16_t a, std::uint16_t b) {
        return analyse(make(ticks, [&](int, int, int i) { return strobe_on(ticks[i], 5) ? b : a; })).verdict.general;
    };
    // a pixel of luminance l, or the nearest above
    const auto with_lum = [](int l) {
        const std::uint32_t* t = flash::light_table();
        for (std::uint32_t want = l;; ++want)
            for (unsigned p = 0; p < 65536; ++p)
                if (flash::lum_of(t[p]) == want)
                    return static_cast<std::uint16_t>(p);
    };
    EXPECT_EQ(flicker(with_lum(8500), with_lum(9500)), 0);
    ASSERT_EQ(lum(with_lum(8000)), 8000);
    ASSERT_EQ(lum(with_lum(7999)), 7999);
    EXPECT_EQ(flicker(with_lum(8000), with_lum(9000)), 0);
    EXPECT_EQ(flicker(with_lum(7999), with_lum(9000)), 10);
    // a step is a change of 0.1 or more: over one cell, a quarter of each of
    // its fields, 0.1 flashes and 0.0999 is only a quarter of that
    ASSERT_EQ(lum(with_lum(3999)), 3999);
    ASSERT_EQ(lum(with_lum(4000)), 4000);
    const auto cell_flicker = [&](std::uint16_t a, std::uint16_t b) {
        return analyse(make(ticks, [&](int x, int y, int i) {
            return x >= 40 && x < 60 && y >= 30 && y < 45 && strobe_on(ticks[i], 5) ? b : a;
        })).verdict;
    };
    EXPECT_EQ(cell_flicker(with_lum(3000), with_lum(3999)).general, 0);
    EXPECT_EQ(cell_flicker(with_lum(3000), with_lum(4000)).general, 10);
}

TEST(FlashAnalysis, RefusesAFrameSmallerThanItsGrid) {
    EXPECT_THROW(flash::analysis(5, 100), std::invalid_argument);
    EXPECT_THROW(flash::analysis(100, 5), std::invalid_argument);
    EXPECT_NO_THROW(flash::analysis(6, 6));
}
