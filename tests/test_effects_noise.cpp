// The ripple: literal per-pixel reference, phase stepping, source clipping;
// and the float accumulator jump it relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "float_steps.h"
#include "noise.h"
#include "test_effects_util.h"

namespace {
// The wave written straight from its rules, one phase addition per on-screen
// pixel; pixels outside either surface (or whose source row is) are skipped.
void reference_wave(SDL_Surface* src, SDL_Surface* dst, Uint16 key, int x, int y, int w, int h, float phase,
                    float step, int amplitude) {
    // Loops start and end at the screen edges: pixels beyond them do nothing.
    const long long ye = std::min<long long>(static_cast<long long>(y) + h, 481);
    const long long xe = std::min<long long>(static_cast<long long>(x) + w, 641);
    for (long long yy = std::max(y, -1); yy < ye; ++yy) {
        const int shift = static_cast<int>(std::sin(static_cast<double>(phase)) * amplitude);
        for (long long xx = std::max(x, -1); xx < xe; ++xx) {
            if (xx < 0 || xx > 639 || yy < 0 || yy > 479) continue;
            const long long sy = yy + shift;
            if (xx < src->w && sy >= 0 && sy < src->h && xx < dst->w && yy < dst->h) {
                const Uint16 p = at(src, xx, sy);
                if (p != key) at(dst, xx, yy) = p;
            }
            phase = phase + step;
        }
    }
}

void expect_same(SDL_Surface* a, SDL_Surface* b) {
    ASSERT_EQ(a->h, b->h);
    for (int y = 0; y < a->h; ++y)
        ASSERT_EQ(0, std::memcmp(&at(a, 0, y), &at(b, 0, y), a->w * 2)) << "row " << y;
}

struct wave_case {
    int x, y, w, h;
    float phase, step;
    int amplitude;
};

void run_case(int sw, int sh, int dw, int dh, const wave_case& c, Uint16 key) {
    auto src = make_surface(sw, sh);
    fill_random(src.get(), 11);
    for (int y = 0; y < sh; y += 3) at(src.get(), (y * 7) % sw, y) = key;  // some key pixels
    auto got = make_surface(dw, dh, 0x4242);
    auto want = make_surface(dw, dh, 0x4242);
    noise n;
    n.source = src.get();
    n.destination = got.get();
    n.key = key;
    n.wave(c.x, c.y, c.w, c.h, c.phase, c.step, c.amplitude);
    reference_wave(src.get(), want.get(), key, c.x, c.y, c.w, c.h, c.phase, c.step, c.amplitude);
    SCOPED_TRACE(testing::Message() << "wave(" << c.x << "," << c.y << "," << c.w << "," << c.h << ","
                                    << c.phase << "," << c.step << "," << c.amplitude << ") on " << sw << "x"
                                    << sh << " -> " << dw << "x" << dh);
    expect_same(got.get(), want.get());
}
}  // namespace

TEST(Noise, ZeroAmplitudeCopiesTheBandKeepingKeyHoles) {
    auto src = make_surface(640, 480);
    fill_random(src.get(), 5);
    at(src.get(), 100, 200) = 0;
    auto dst = make_surface(640, 480, 0x9999);
    noise n;
    n.source = src.get();
    n.destination = dst.get();
    n.wave(0, 150, 640, 200, 1.3f, 0.01f, 0);
    EXPECT_EQ(at(dst.get(), 100, 200), 0x9999);  // under a key pixel
    EXPECT_EQ(at(dst.get(), 101, 200), at(src.get(), 101, 200));
    EXPECT_EQ(at(dst.get(), 5, 349), at(src.get(), 5, 349));
    EXPECT_EQ(at(dst.get(), 5, 350), 0x9999);
    EXPECT_EQ(at(dst.get(), 5, 149), 0x9999);
}

TEST(Noise, ShiftAndPhaseSteppingMatchThePerPixelRule) {
    // Bands of the title cards, bands hanging off each screen edge (their
    // off-screen columns and rows must not advance the phase), big phases.
    const wave_case cases[] = {
        {0, 150, 640, 200, 0.0f, 0.0013f, 29},   {0, 10, 640, 450, 2.0f, 0.00071f, 8},
        {-10, 0, 640, 480, 0.3f, 0.0021f, 20},   {600, -20, 100, 60, 0.1f, 0.05f, 9},
        {5, 470, 630, 40, 1000.5f, 0.37f, 7},     {-700, 0, 100, 480, 0.0f, 1.0f, 5},
        {0, 0, 640, 480, -3.0f, 0.0001f, 15},     {0, 0, 640, 480, 0.5f, -0.00077f, 12},
    };
    for (const auto& c : cases) run_case(640, 480, 640, 480, c, 0);

    // The phase of a band from x = -10 advances 630 steps per row, not 640:
    // with a step of (pi/6) / 630 the second row reads sin(pi/6) * 300 = 150
    // rows down (149 after rounding), where 640 steps would give 152.
    auto src = make_surface(640, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) at(src.get(), x, y) = static_cast<Uint16>(y + 1);
    auto dst = make_surface(640, 480);
    noise n;
    n.source = src.get();
    n.destination = dst.get();
    n.wave(-10, 100, 640, 2, 0.0f, static_cast<float>(M_PI / 6 / 630), 300);
    EXPECT_EQ(at(dst.get(), 0, 100), 101);  // shift 0 on the first row
    const int shift = at(dst.get(), 0, 101) - 102;
    EXPECT_TRUE(shift == 149 || shift == 150) << shift;
    EXPECT_EQ(n.shift, shift) << "the last row drawn's shift";
}

TEST(Noise, SourceRowsAndSurfacesAreClipped) {
    // Cards smaller than the screen, huge amplitudes, a small destination.
    run_case(320, 200, 640, 480, {0, 0, 640, 480, 0.7f, 0.003f, 29}, 0);
    run_case(640, 480, 640, 480, {0, 0, 640, 480, 0.7f, 0.003f, 100000}, 0);
    run_case(640, 480, 100, 50, {-20, -20, 700, 520, 0.2f, 0.01f, 8}, 0x1234);
    run_case(50, 480, 640, 30, {0, 0, 2000000000, 2000000000, 0.0f, 0.0f, -2000000000}, 0);
    // Non-finite phases draw unshifted instead of converting NaN to int.
    auto src = make_surface(640, 480);
    auto dst = make_surface(640, 480);
    noise n;
    n.source = src.get();
    n.destination = dst.get();
    n.wave(0, 0, 640, 480, INFINITY, 1.0f, 29);
    n.wave(0, 0, 640, 480, NAN, 1.0f, 29);
    n.wave(0, 0, 640, 480, -1.5707964f, 0.0f, -2147483647 - 1);  // sin = -1 times INT_MIN
}

TEST(FloatSteps, JumpEqualsRepeatedAddition) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> mag(-8.0f, 8.0f);
    for (int t = 0; t < 4000; ++t) {
        const float a0 = (rng() % 5 == 0 ? 0.0f : 1.0f) * std::ldexp(1.0f, static_cast<int>(rng() % 20) - 10) *
                         mag(rng);
        float s = std::ldexp(1.0f, static_cast<int>(rng() % 24) - 20) * mag(rng);
        if (t % 7 == 0) s = std::ldexp(3.0f, -25);  // exact halves of the grid: ties
        if (t % 11 == 0) s = 1e-12f;                  // vanishes against a
        const int n = static_cast<int>(rng() % 5000);
        float a = a0;
        for (int i = 0; i < n; ++i) a = a + s;
        const float got = repeated_add(a0, s, n);
        ASSERT_EQ(std::memcmp(&a, &got, sizeof a), 0) << a0 << " + " << n << " x " << s << ": " << a << " vs " << got;
    }
    // Opposite signs, crossing zero, and vanishing steps on the way down.
    const float pairs[][2] = {{-3.0f, 0.001f}, {2.5f, -0.0007f}, {0.75f, -1e-9f}, {1.0f, -3e-8f},
                              {-1.0f, 2.9802322e-8f}, {1e-3f, -1e-7f}};
    for (const auto& p : pairs) {
        float a = p[0];
        for (int i = 0; i < 20000; ++i) {
            a = a + p[1];
            if (i % 997 == 0 || i == 19999) {
                const float got = repeated_add(p[0], p[1], i + 1);
                ASSERT_EQ(std::memcmp(&a, &got, sizeof a), 0) << p[0] << " + " << i + 1 << " x " << p[1];
            }
        }
    }
    // Huge counts return at once where the sum settles.
    EXPECT_EQ(repeated_add(1.0f, 0.0f, 1000000000000LL), 1.0f);
    EXPECT_EQ(repeated_add(1.5f, -1e-9f, 1000000000000LL), 1.5f);
    EXPECT_TRUE(std::isnan(repeated_add(NAN, 1.0f, 5)));
}
