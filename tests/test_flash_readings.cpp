// The second reading and the fields on a step of a twelfth: sequences where
// the readings disagree (a change over a fifth of a field, a patch across
// the sixth's fields, a ramp with wobbles), each reading's own count of
// them, and the limiter keeping every check at 5 or fewer.
#include "test_flash_util.h"

#include "cross_check.h"
#include "limiter.h"

#include <gtest/gtest.h>

#include <array>

using namespace flash_test;

namespace {
// The worst count of each check over a sequence: the first reading on a
// sixth, on a twelfth, the second on a sixth, on a twelfth.
using counts = std::array<int, 4>;

counts all_checks(const std::vector<frame>& frames, const std::vector<std::uint32_t>& ticks) {
    flash::analysis first(W, H);
    flash::cross_check cross(W, H);
    counts c{};
    for (size_t i = 0; i < frames.size(); ++i) {
        const flash::frame_ref f{frames[i].data(), W};
        const flash::frame_verdict a = first.feed(f, ticks[i]);
        const flash::cross_verdict b = cross.feed(f, ticks[i]);
        c = {std::max(c[0], std::max(a.general, a.red)), std::max(c[1], b.first_twelfth.worst()),
             std::max(c[2], b.second_sixth.worst()), std::max(c[3], b.second_twelfth.worst())};
    }
    return c;
}

std::vector<frame> limited(const sequence& s, long* changed = nullptr) {
    flash::limiter lim(W, H);
    std::vector<frame> out;
    for (size_t i = 0; i < s.frames.size(); ++i) {
        frame f = s.frames[i];
        const bool c = lim.apply(f.data(), W, s.ticks[i]);
        if (changed)
            *changed += c;
        out.push_back(std::move(f));
    }
    return out;
}

// Applies each change at 100 ms steps; the transitions each track counts.
std::pair<int, int> tracks(const std::vector<std::int64_t>& changes) {
    flash::field_track first(flash::lum_step);
    flash::run_track second(flash::lum_step);
    std::uint32_t tick = 0;
    for (const std::int64_t d : changes) {
        first.step(d, tick);
        second.step(d, tick);
        tick += 100;
    }
    return {first.count(tick - 100), second.count(tick - 100)};
}
}  // namespace

TEST(FlashReadings, SecondReadingCountsRunsOfOneSign) {
    using p = std::pair<int, int>;
    EXPECT_EQ(tracks({1000}), p(1, 1)) << "a step exactly";
    EXPECT_EQ(tracks({999}), p(0, 0));
    EXPECT_EQ(tracks({-1000}), p(1, 1)) << "the first may go down";
    EXPECT_EQ(tracks({600, 0, 400}), p(1, 1)) << "no change leaves a run going";
    EXPECT_EQ(tracks({600, -100, 600}), p(1, 0)) << "a wobble ends the run, not the level's rise";
    EXPECT_EQ(tracks({1000, 3000, -1000}), p(2, 2)) << "up once, then down a step";
    EXPECT_EQ(tracks({1000, -600, -400}), p(2, 2)) << "a run of two";
    EXPECT_EQ(tracks({1000, -600, 100, -500}), p(2, 1)) << "the level falls a step, no run does";
    EXPECT_EQ(tracks({-400, -700, 200, 900}), p(2, 2));
    EXPECT_EQ(tracks({-1200, -1200, 1200, 1200, -1200}), p(3, 3)) << "same direction twice counts once";
    EXPECT_EQ(tracks({1000, -100, 1000}), p(1, 2)) << "a wobble between two rises makes them two runs";
    EXPECT_EQ(tracks({1000, 0, 1000}), p(1, 1)) << "no change is no wobble";
    EXPECT_EQ(tracks({600, -100, 500, 500}), p(1, 1));

    // the window holds ticks in (tick - 1000, tick]
    flash::run_track t(flash::lum_step);
    t.step(1000, 0);
    t.step(-1000, 500);
    EXPECT_EQ(t.count(999), 2);
    EXPECT_EQ(t.count(1000), 1);
    EXPECT_EQ(t.count(1499), 1);
    EXPECT_EQ(t.count(1500), 0);
    EXPECT_EQ(t.direction(), -1);
    EXPECT_EQ(t.turn(999), 0);
    EXPECT_EQ(t.turn(1000), 1);
    EXPECT_EQ(t.turn(-5000), 0) << "down already";
    // more turns in a window than the ring keeps count what it keeps
    flash::run_track many(flash::lum_step);
    for (int i = 0; i < 100; ++i) many.step(i % 2 ? -1000 : 1000, 5000 + i);
    EXPECT_EQ(many.count(5099), 64);

    // the second reading's field change: a quarter of the pixels or nothing
    flash::rule_sums s;
    s.step = 4 * 3000;
    s.step_count = 4;
    s.eligible = 1000000;
    EXPECT_EQ(flash::second_change(s, 16), 3000);
    EXPECT_EQ(flash::second_change(s, 17), 0);
    EXPECT_EQ(flash::first_change(s, 17), 1000000 / 17);
    EXPECT_EQ(flash::second_change(flash::rule_sums{}, 0), 0);
}

TEST(FlashReadings, TwelfthGridRefinesTheSixth) {
    const flash::fine_grid g(640, 480);
    const flash::grid coarse(640, 480);
    for (int k = 0; k <= flash::grid_cells; ++k) {
        EXPECT_EQ(g.x[2 * k], coarse.x[k]);
        EXPECT_EQ(g.y[2 * k], coarse.y[k]);
    }
    EXPECT_EQ(g.x[1], 53);
    EXPECT_EQ(g.field_pixels(0), 213 * 160);
    EXPECT_EQ(g.field_pixels(80), (640 - 426) * 160);
    EXPECT_EQ(g.field_pixels(10), (266 - 53) * (200 - 40));
    // fields on even cells both ways are the sixth's, in its order
    EXPECT_EQ(flash::fine_grid::sixth_index(0), 0);
    EXPECT_EQ(flash::fine_grid::sixth_index(2), 1);
    EXPECT_EQ(flash::fine_grid::sixth_index(8), 4);
    EXPECT_EQ(flash::fine_grid::sixth_index(18), 5);
    EXPECT_EQ(flash::fine_grid::sixth_index(80), 24);
    EXPECT_EQ(flash::fine_grid::sixth_index(1), -1);
    EXPECT_EQ(flash::fine_grid::sixth_index(9), -1);
    EXPECT_EQ(flash::fine_grid::first_cell(10), 13);
    EXPECT_EQ(flash::fine_grid::first_cell(80), 8 * 12 + 8);
    // red-only strobes: dark red over the whole frame (both readings' red
    // rule), bright red on every fifth column (a fifth of each field: the
    // first reading's spread red change only); every field goes over
    const std::uint16_t dark_red = 16 << 11, red = 31 << 11;
    for (const bool stripes : {false, true})
        for (const int limit : {flash::limiter::margin, flash::max_transitions}) {
            SCOPED_TRACE(stripes);
            flash::cross_check c(W, H);
            std::vector<std::uint16_t> f(W * H);
            flash::cell_sums cells[flash::fine_cell_count];
            int first_over = -1;
            for (std::uint32_t i = 0; i < 10 && first_over < 0; ++i) {
                for (int p = 0; p < W * H; ++p)
                    f[static_cast<size_t>(p)] = i % 2 == 0 ? black : !stripes ? dark_red : p % 5 == 0 ? red : black;
                c.measure({f.data(), W}, cells);
                const flash::field_set over = c.over_limit(cells, i * 100, limit);
                if (!over.empty()) {
                    first_over = static_cast<int>(i);
                    for (int k = 0; k < flash::fine_field_count; ++k) EXPECT_TRUE(over.has(k)) << k;
                }
                const flash::cross_verdict v = c.commit({f.data(), W}, cells, i * 100);
                EXPECT_EQ(v.first_twelfth.general, 0);
                EXPECT_EQ(v.second_twelfth.red, stripes ? 0 : v.first_twelfth.red);
            }
            EXPECT_EQ(first_over, limit + 1) << "the first frame is no change, then a turn every frame";
        }
    EXPECT_THROW(flash::cross_check(5, 100), std::invalid_argument);
    EXPECT_THROW(flash::cross_check(100, 5), std::invalid_argument);
}

TEST(FlashReadings, TwelfthMeasureAddsUpToTheSixth) {
    // The two measures are separate code: on frames of pixels at and around
    // every threshold (0.1 steps, a darker value of 0.8, saturated red, red
    // steps of 20), each sixth's cell must hold the sums of its 2x2 twelfths.
    std::vector<std::uint16_t> palette;
    for (const int l : {0, 2999, 3000, 3999, 4000, 4001, 7000, 7999, 8000, 8001, 9000, 9001, 10000}) {
        const auto p = find_pixel([&](std::uint32_t e) { return std::abs(static_cast<int>(flash::lum_of(e)) - l) <= 2; });
        palette.push_back(p);
    }
    for (unsigned p = 0; p < 65536 && palette.size() < 40; p += 97)
        if (flash::light_table()[p] & flash::saturated_bit)
            palette.push_back(static_cast<std::uint16_t>(p));
    ASSERT_GT(palette.size(), 30u);
    std::uint32_t seed = 29;
    const auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (const auto& [w, h] : {std::pair{W, H}, std::pair{97, 61}, std::pair{640, 480}}) {
        SCOPED_TRACE(w);
        std::vector<std::uint16_t> a(static_cast<size_t>(w * h)), b(a.size());
        for (size_t i = 0; i < a.size(); ++i) {
            a[i] = palette[(next() >> 8) % palette.size()];
            // runs of 5 unchanged pixels every 13, the rest any pair
            b[i] = i % 13 < 5 ? a[i] : palette[(next() >> 8) % palette.size()];
        }
        const flash::grid g(w, h);
        const flash::fine_grid fg(w, h);
        flash::cell_sums coarse[flash::cell_count], fine[flash::fine_cell_count];
        flash::measure_frame(g, {a.data(), w}, {b.data(), w}, coarse);
        flash::measure_fine_frame(fg, {a.data(), w}, {b.data(), w}, fine);
        long steps = 0, reds = 0;
        for (int c = 0; c < flash::cell_count; ++c) {
            const int f0 = (c / 6) * 24 + (c % 6) * 2;
            flash::cell_sums one;
            for (const int f : {f0, f0 + 1, f0 + 12, f0 + 13}) {
                flash::cell_sums cell;
                flash::measure_fine_cell(fg, f, {a.data(), w}, {b.data(), w}, cell);
                EXPECT_EQ(cell.general.step, fine[f].general.step);
                EXPECT_EQ(cell.red.eligible, fine[f].red.eligible);
                for (auto [s, r] : {std::pair{&one.general, &fine[f].general}, std::pair{&one.red, &fine[f].red}}) {
                    s->eligible += r->eligible;
                    s->step += r->step;
                    s->step_count += r->step_count;
                }
            }
            EXPECT_EQ(one.general.eligible, coarse[c].general.eligible) << c;
            EXPECT_EQ(one.general.step, coarse[c].general.step) << c;
            EXPECT_EQ(one.general.step_count, coarse[c].general.step_count) << c;
            EXPECT_EQ(one.red.eligible, coarse[c].red.eligible) << c;
            EXPECT_EQ(one.red.step, coarse[c].red.step) << c;
            EXPECT_EQ(one.red.step_count, coarse[c].red.step_count) << c;
            steps += coarse[c].general.step_count;
            reds += coarse[c].red.step_count;
        }
        EXPECT_GT(steps, 0);
        EXPECT_GT(reds, 0);
    }
}

TEST(FlashReadings, EachReadingGivesItsOwnAnswerAndTheLimiterMeetsAll) {
    // 120 x 90: cells of a twelfth 10 wide, rows cut at 0 7 15 22 30 37 ...
    const auto ticks = at_60fps(2000);
    const std::uint16_t mid = find_pixel([](std::uint32_t e) { return flash::lum_of(e) == 3000; });
    std::vector<std::uint16_t> greys(90);  // levels 0.01 .. 0.9 by 0.01 (the nearest colour)
    std::vector<int> off(90, 1 << 20);
    for (unsigned p = 0; p < 65536; ++p)
        for (size_t k = 0; k < greys.size(); ++k) {
            const int d = std::abs(lum(static_cast<std::uint16_t>(p)) - (100 + 100 * static_cast<int>(k)));
            if (d < off[k]) {
                off[k] = d;
                greys[k] = static_cast<std::uint16_t>(p);
            }
        }
    const auto level = [&](int l) { return greys[static_cast<size_t>((l - 100) / 100)]; };
    // a triangle of 0.3 in 6 frames up and 6 down, 0.05 a frame, with a
    // wobble of 0.17 up and back at the top of every second cycle
    const auto ramp = [&](int i) {
        const int k = i % 12, up = k < 6 ? k : 12 - k;
        const int wobble = (i % 24 == 6) ? 1700 : 0;
        return 2000 + 500 * up + wobble;
    };
    // a slow rise of 0.11 every 100 ms, seven times, with a wobble between
    // rises: half the pixels (even columns, then odd) up 0.11, the other
    // half down 0.13, a mean change of -0.01 over all of them
    std::vector<std::array<int, 2>> rises(ticks.size());  // even, odd columns' level per frame
    std::array<int, 2> l{300, 300};
    for (size_t i = 0; i < ticks.size(); ++i) {
        const size_t cycle = i / 6, at = i % 6;
        if (cycle < 7 && at == 1)
            l = {l[0] + 1100, l[1] + 1100};
        if (cycle < 7 && at == 4)
            l = cycle % 2 ? std::array<int, 2>{l[0] - 1300, l[1] + 1100} : std::array<int, 2>{l[0] + 1100, l[1] - 1300};
        rises[i] = l;
    }
    const struct {
        const char* name;
        painter paint;
        counts want;
    } cases[] = {
        // 40 x 6 = 240 pixels, a fifth of any field: the first reading
        // spreads its change (0.2 a frame), the second sees none
        {"a fifth of a field, every frame",
         [&](int x, int y, int i) { return x >= 40 && x < 80 && y >= 40 && y < 46 && i % 2 ? white : black; },
         {60, 60, 0, 0}},
        // 40 x 8 at (10, 7): 26 % of the twelfth's field there, 20 % of
        // any sixth's; a change of 0.3 spread over a fifth is under a step
        {"a patch across the sixth's fields",
         [&](int x, int y, int i) { return x >= 10 && x < 50 && y >= 7 && y < 15 && i % 2 ? mid : black; },
         {0, 60, 0, 60}},
        // 0.05 a frame is no step's area for the second reading: only the
        // wobbles count there (two every 400 ms: 6 in a second, at the
        // limit); the first counts the ramp's turns (two every 200 ms, a
        // wobble bringing one down turn early: 11)
        {"a ramp with wobbles", [&](int, int, int i) { return level(ramp(i)); }, {11, 11, 6, 6}},
        // each rise after a wobble is a new run for the second reading (7
        // in 0.7 s); the first sees one long rise
        {"a slow rise with wobbles",
         [&](int x, int, int i) { return level(rises[static_cast<size_t>(i)][static_cast<size_t>(x % 2)]); },
         {1, 1, 7, 7}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const sequence s = make(ticks, c.paint);
        EXPECT_EQ(all_checks(s.frames, s.ticks), c.want);
        long changed = 0;
        const counts shown = all_checks(limited(s, &changed), s.ticks);
        EXPECT_GT(changed, 0);
        for (const int n : shown) EXPECT_LE(n, flash::limiter::margin);
        // the margin is used, not undercut, by the check that needs it
        EXPECT_EQ(*std::max_element(shown.begin(), shown.end()), flash::limiter::margin);
    }
}
