// The spectrum scope: column-to-bin mapping, weighting, silence, clipping,
// base rows and column offsets.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "pixel.h"
#include "scope.h"
#include "sound_layer.h"
#include "sound_layer_testing.h"
#include "test_effects_util.h"

namespace {
// Bin k gets a raw value whose weighted bar at scale 100 is trunc(k * 0.9 + 1.25) pixels.
std::vector<float> ramp_spectrum() {
    std::vector<float> v(512);
    for (int k = 0; k < 512; ++k) v[k] = static_cast<float>((k * 0.9 + 1.25) / 100.0 / ((k + 40) / 64.0));
    return v;
}

// Height of the bar in column x: coloured rows counted upward from base.
int bar_at(SDL_Surface* s, int x, int base, Uint16 colour) {
    int n = 0;
    for (int y = base; y >= 0 && at(s, x, y) == colour; --y) ++n;
    return n;
}

struct spectrum_guard {
    ~spectrum_guard() { sound_layer::clear_test_spectrum(); }
};
}  // namespace

TEST(Scope, ColumnsMapOntoBinsInDoublePrecision) {
    spectrum_guard guard;
    const auto v = ramp_spectrum();
    sound_layer::set_test_spectrum(v.data(), 512);
    auto s = make_surface(640, 480);
    scope sc;
    sc.target = s.get();
    sc.plot(17, 17, 0);
    const Uint16 c = px::pack(17, 17, 0);
    EXPECT_EQ(sc.colour, c);
    for (int i = 0; i < 640; ++i) {
        const int bin = static_cast<int>(i * static_cast<double>(sc.index_step));
        ASSERT_EQ(bar_at(s.get(), i, 479, c), static_cast<int>(bin * 0.9 + 1.25)) << "column " << i;
    }
    EXPECT_EQ(bar_at(s.get(), 0, 479, c), bar_at(s.get(), 1, 479, c));      // both bin 0
    EXPECT_EQ(bar_at(s.get(), 638, 479, c), bar_at(s.get(), 639, 479, c));  // both bin 511
    EXPECT_EQ(bar_at(s.get(), 639, 479, c), static_cast<int>(511 * 0.9 + 1.25));
    // Weighted in place: bin 0 by 0.625, bin 24 by 1, bin 511 by 8.609375.
    EXPECT_EQ(sc.spectrum[0], v[0] * 0.625f);
    EXPECT_EQ(sc.spectrum[24], v[24]);
    EXPECT_EQ(sc.spectrum[511], v[511] * 8.609375f);
}

TEST(Scope, SilenceDrawsNothingAndTallBarsAreClipped) {
    spectrum_guard guard;
    auto s = make_surface(640, 480, 0x0101);
    const auto before = snapshot(s.get());
    scope sc;
    sc.target = s.get();
    sc.plot(20, 20, 20);  // no test spectrum: silent
    for (int i = 0; i < 640 * 480; ++i) ASSERT_EQ(static_cast<Uint16*>(s->pixels)[i], before[i]);

    std::vector<float> loud(512, 1e6f);
    loud[3] = INFINITY;
    loud[4] = NAN;
    sound_layer::set_test_spectrum(loud.data(), 512);
    sc.plot(20, 20, 20);
    const Uint16 c = px::pack(20, 20, 20);
    EXPECT_EQ(bar_at(s.get(), 100, 479, c), 480);  // clipped at row 0
    EXPECT_EQ(at(s.get(), 5, 0), 0x0101);          // NaN bin draws nothing

    // A small target, bars standing below it, offsets either way, steps that
    // would index past bin 511: everything stays inside the surface.
    auto small = make_surface(200, 100, 0);
    sc.target = small.get();
    for (int offset : {-300, -50, 0, 150, 700}) {
        sc.column_offset = offset;
        sc.base_row = 479;
        sc.index_step = offset < 0 ? 3.0f : 0.80125195f;
        sc.plot(1, 2, 3);
        sc.base_row = 60;
        sc.last_column = 100000;
        sc.plot(1, 2, 3);
    }
    EXPECT_EQ(at(small.get(), 199, 99), px::pack(1, 2, 3));
    EXPECT_EQ(at(small.get(), 0, 0), px::pack(1, 2, 3));
    sc.index_step = NAN;
    sc.plot(1, 2, 3);
    sc.index_step = -1e30f;
    sc.plot(1, 2, 3);
}

TEST(Scope, OffsetShiftsBarsAndBaseRowLiftsThem) {
    spectrum_guard guard;
    const auto v = ramp_spectrum();
    sound_layer::set_test_spectrum(v.data(), 512);
    auto s = make_surface(640, 480);
    scope sc;
    sc.target = s.get();
    sc.column_offset = 10;
    sc.base_row = 300;
    sc.last_column = 99;
    sc.plot(31, 0, 31);
    const Uint16 c = px::pack(31, 0, 31);
    EXPECT_EQ(at(s.get(), 9, 300), 0);
    EXPECT_EQ(bar_at(s.get(), 10, 300, c), 1);  // column 0, bin 0
    EXPECT_EQ(bar_at(s.get(), 109, 300, c), static_cast<int>(static_cast<int>(99 * 0.80125195) * 0.9 + 1.25));
    EXPECT_EQ(at(s.get(), 110, 300), 0);  // past the last column
    EXPECT_EQ(at(s.get(), 50, 301), 0);   // below the base row

    // A base row below the screen shows only the bars' upper parts; one far
    // below shows nothing.
    auto t = make_surface(640, 480);
    sc.target = t.get();
    sc.column_offset = 0;
    sc.base_row = 500;
    sc.last_column = 639;
    sc.plot(31, 0, 31);
    const int tall = static_cast<int>(511 * 0.9 + 1.25);
    EXPECT_EQ(bar_at(t.get(), 639, 479, c), tall - 21);
    EXPECT_EQ(at(t.get(), 0, 479), 0);  // bin 0's single pixel stands on row 500
    auto u = make_surface(640, 480);
    sc.target = u.get();
    sc.base_row = 1000000000;
    sc.plot(31, 0, 31);
    sc.base_row = -2000000000;
    sc.plot(31, 0, 31);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) ASSERT_EQ(at(u.get(), x, y), 0) << x << "," << y;
}
