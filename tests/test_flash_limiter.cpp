// The flash limiter on the sequences the analysis fails: what it shows must
// pass the analysis, frames that need nothing stay exact, only the fields
// over the limit change, and the finished frame comes back afterwards.
#include "test_flash_util.h"

#include "limiter.h"

#include <gtest/gtest.h>

using namespace flash_test;

namespace {
constexpr int pitch = W + 3;          // rows padded, as a screen surface may be
constexpr std::uint16_t pad = 0x1234;  // the padding must never change

struct limited_run {
    std::vector<frame> shown;
    std::vector<bool> changed;
};

// Runs s through a limiter the way the display does, checking that the
// padding stays and that restore() gives the finished frame back.
limited_run limit(const sequence& s) {
    flash::limiter lim(W, H);
    limited_run out;
    std::vector<std::uint16_t> buf(static_cast<size_t>(pitch) * H, pad);
    for (size_t i = 0; i < s.frames.size(); ++i) {
        for (int y = 0; y < H; ++y) std::copy_n(&s.frames[i][y * W], W, &buf[y * pitch]);
        const bool changed = lim.apply(buf.data(), pitch, s.ticks[i]);
        frame shown(W * H);
        for (int y = 0; y < H; ++y) {
            std::copy_n(&buf[y * pitch], W, &shown[y * W]);
            for (int x = W; x < pitch; ++x) EXPECT_EQ(buf[y * pitch + x], pad);
        }
        if (changed)
            lim.restore(buf.data(), pitch);
        for (int y = 0; y < H; ++y)
            EXPECT_TRUE(std::equal(&buf[y * pitch], &buf[y * pitch] + W, &s.frames[i][y * W])) << "frame " << i;
        if (!changed) {
            EXPECT_EQ(shown, s.frames[i]) << "frame " << i << " needed nothing";
        }
        out.shown.push_back(std::move(shown));
        out.changed.push_back(changed);
    }
    return out;
}

worst analyse_shown(const sequence& s, const limited_run& r) {
    return analyse({r.shown, s.ticks});
}
}  // namespace

TEST(FlashLimiter, BlendMovesEachChannelIn64ths) {
    EXPECT_EQ(flash::limiter::blend(0x1234, 0xFEDC, 64), 0xFEDC);
    EXPECT_EQ(flash::limiter::blend(0x1234, 0xFEDC, 0), 0x1234);
    // half way from black to white: 31*32/64 -> 16 (rounded), 63*32/64 -> 32
    EXPECT_EQ(flash::limiter::blend(black, white, 32), 16 << 11 | 32 << 5 | 16);
    EXPECT_EQ(flash::limiter::blend(white, black, 32), 16 << 11 | 32 << 5 | 16);
    EXPECT_EQ(flash::limiter::blend(black, white, 8), 4 << 11 | 8 << 5 | 4);
    EXPECT_EQ(flash::limiter::blend(black, white, 63), 31 << 11 | 62 << 5 | 31);
    int w = flash::limiter::full, steps = 0;
    for (; w > 0; ++steps) w = flash::limiter::weaker(w);
    EXPECT_EQ(steps, 6) << "8 6 4 3 2 1 0";
    EXPECT_EQ(flash::limiter::weaker(0), 0);
}

TEST(FlashLimiter, FailingSequencesPassOnceLimited) {
    const auto ticks = at_60fps(3000);
    const std::uint16_t dark_red = 16 << 11;
    const std::uint16_t lo = find_pixel([](std::uint32_t e) { return flash::lum_of(e) == 3000; });
    const std::uint16_t hi = find_pixel([](std::uint32_t e) { return flash::lum_of(e) == 5000; });
    // a slow drift in the top-left cell, to see that unlimited fields pass exactly
    const auto drift = [&](int x, int y, int i) { return x < 20 && y < 15 ? grey((i / 6 + x) % 32) : black; };
    const struct {
        const char* name;
        painter paint;
    } cases[] = {
        {"full strobe", [&](int, int, int i) { return strobe_on(ticks[i], 4) ? white : black; }},
        {"block strobe",
         [&](int x, int y, int i) {
             return x >= 62 && x < 78 && y >= 32 && y < 47 && strobe_on(ticks[i], 4) ? white : drift(x, y, i);
         }},
        {"red strobe", [&](int, int, int i) { return strobe_on(ticks[i], 4) ? dark_red : black; }},
        {"corner strobe",  // the top-right cell: the right column of one field only
         [&](int x, int y, int i) { return x >= 100 && y < 15 && strobe_on(ticks[i], 4) ? white : black; }},
        {"quarter strobe",
         [&](int x, int y, int i) { return x >= 40 && x < 60 && y >= 30 && y < 45 && strobe_on(ticks[i], 4) ? hi : lo; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const sequence s = make(ticks, c.paint);
        ASSERT_GT(analyse(s).failing, 0);
        const limited_run r = limit(s);
        const worst w = analyse_shown(s, r);
        EXPECT_EQ(w.failing, 0);
        // the margin is used, not undercut: five transitions get through
        EXPECT_EQ(std::max(w.verdict.general, w.verdict.red), flash::limiter::margin);
        // nothing is changed before the sixth transition (at 750 ms), which is
        for (size_t i = 0; ticks[i] < 750; ++i) ASSERT_FALSE(r.changed[i]) << i;
        EXPECT_TRUE(r.changed[45]) << "at 750 ms";
        // a field over the limit is softened, not only held: some shown
        // pixels lie between the last shown and the finished picture
        bool blended = false;
        for (size_t i = 1; i < s.frames.size() && !blended; ++i)
            for (size_t p = 0; p < r.shown[i].size() && !blended; ++p)
                blended = r.shown[i][p] != s.frames[i][p] && r.shown[i][p] != r.shown[i - 1][p];
        EXPECT_TRUE(blended);
    }

    // only the fields around the block change (cells 2..4 across, 1..4
    // down), and their ramps reach no further than 5 pixels (under a third
    // of a 20 x 15 cell) beyond
    const sequence s = make(ticks, cases[1].paint);
    const limited_run r = limit(s);
    long changed = 0;
    for (size_t i = 0; i < s.frames.size(); ++i) {
        changed += r.changed[i];
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const bool differs = r.shown[i][y * W + x] != s.frames[i][y * W + x];
                if (x < 35 || x >= 105 || y < 10 || y >= 80) {
                    ASSERT_FALSE(differs) << i << " " << x << "," << y;
                }
            }
    }
    EXPECT_GT(changed, 0);

}

TEST(FlashLimiter, PassingSequencesPassUntouched) {
    const auto ticks = at_60fps(2000);
    const std::uint16_t bright = find_pixel([](std::uint32_t e) { return flash::lum_of(e) >= 8500; });
    const std::uint16_t brighter = find_pixel([](std::uint32_t e) { return flash::lum_of(e) >= 9500; });
    const painter cases[] = {
        // a turn every 200 ms: five within any second, the margin
        [&](int, int, int i) { return (ticks[i] / 200) % 2 ? white : black; },
        [&](int x, int y, int i) { return x % 10 == 3 && y % 5 == 1 && strobe_on(ticks[i], 6) ? white : black; },
        [&](int, int, int i) { return grey(static_cast<int>(ticks[i] * 31 / 2000)); },
        [&](int, int, int i) { return strobe_on(ticks[i], 6) ? brighter : bright; },
    };
    for (const auto& paint : cases) {
        const sequence s = make(ticks, paint);
        const limited_run r = limit(s);
        EXPECT_EQ(std::count(r.changed.begin(), r.changed.end(), true), 0);
    }
}

TEST(FlashLimiter, ASavedHistoryCarriesOnAsTheRunDid) {
    // a full strobe past the limit: save half way, go on; a fresh limiter
    // given that history shows the very same frames from there
    const auto ticks = at_60fps(2000);
    const sequence s = make(ticks, [&](int, int, int i) { return strobe_on(ticks[i], 5) ? white : black; });
    flash::limiter a(W, H);
    const size_t half = 50;
    std::vector<frame> shown;
    for (size_t i = 0; i < half; ++i) {
        frame f = s.frames[i];
        a.apply(f.data(), W, ticks[i]);
    }
    const flash::limiter::history saved = a.state();
    for (size_t i = half; i < s.frames.size(); ++i) {
        frame f = s.frames[i];
        a.apply(f.data(), W, ticks[i]);
        shown.push_back(f);
    }
    flash::limiter b(W, H);
    b.set_state(saved);
    EXPECT_EQ(b.limited_frames(), saved.limited);
    long differ = 0, limited = 0;
    for (size_t i = half; i < s.frames.size(); ++i) {
        frame f = s.frames[i];
        limited += b.apply(f.data(), W, ticks[i]);
        differ += f != shown[i - half];
    }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(limited, 0);
    EXPECT_EQ(b.limited_frames(), a.limited_frames());
    // a fresh limiter without the history limits differently
    flash::limiter c(W, H);
    long fresh_differ = 0;
    for (size_t i = half; i < s.frames.size(); ++i) {
        frame f = s.frames[i];
        c.apply(f.data(), W, ticks[i]);
        fresh_differ += f != shown[i - half];
    }
    EXPECT_GT(fresh_differ, 0);
    flash::limiter other(W + 2, H);
    EXPECT_THROW(other.set_state(saved), std::invalid_argument);
}
