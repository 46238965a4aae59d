// Flash safety kernels at 640x480: the analysis and the cross-check (the
// second reading, the twelfth's fields) of a frame whose every pixel
// changed, the limiter on frames that need nothing (its usual case), and the
// limiter on a full-screen strobe past its limit. Figures only.
#include "analysis.h"
#include "cross_check.h"
#include "limiter.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {
constexpr int W = 640, H = 480;

// A moving colour pattern: every pixel differs from the frame before.
std::vector<std::uint16_t> pattern(int i) {
    std::vector<std::uint16_t> f(W * H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            f[y * W + x] = static_cast<std::uint16_t>(((x + i) * 37 + y * 11) ^ (y * 2654435761u >> 9));
    return f;
}

void analysis_every_pixel_changed(benchmark::State& state) {
    const std::vector<std::uint16_t> frames[2] = {pattern(0), pattern(1)};
    flash::analysis a(W, H);
    std::uint32_t tick = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a.feed({frames[tick / 30 % 2].data(), W}, tick));
        tick += 30;
    }
}
BENCHMARK(analysis_every_pixel_changed)->Unit(benchmark::kMillisecond);

void cross_check_every_pixel_changed(benchmark::State& state) {
    const std::vector<std::uint16_t> frames[2] = {pattern(0), pattern(1)};
    flash::cross_check c(W, H);
    std::uint32_t tick = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(c.feed({frames[tick / 30 % 2].data(), W}, tick));
        tick += 30;
    }
}
BENCHMARK(cross_check_every_pixel_changed)->Unit(benchmark::kMillisecond);

void limiter_nothing_to_limit(benchmark::State& state) {
    std::vector<std::uint16_t> frames[2] = {pattern(0), pattern(1)};
    flash::limiter lim(W, H);
    std::uint32_t tick = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(lim.apply(frames[tick / 30 % 2].data(), W, tick));
        tick += 30;
    }
}
BENCHMARK(limiter_nothing_to_limit)->Unit(benchmark::kMillisecond);

void limiter_full_screen_strobe(benchmark::State& state) {
    std::vector<std::uint16_t> frame(W * H);
    flash::limiter lim(W, H);
    std::uint32_t tick = 0;
    long limited = 0;
    for (auto _ : state) {
        std::fill(frame.begin(), frame.end(), tick / 30 % 2 ? 0xFFFF : 0);
        if (lim.apply(frame.data(), W, tick)) {
            lim.restore(frame.data(), W);
            ++limited;
        }
        tick += 30;
    }
    state.counters["limited"] = benchmark::Counter(double(limited) / double(state.iterations()));
}
BENCHMARK(limiter_full_screen_strobe)->Unit(benchmark::kMillisecond);
}  // namespace

BENCHMARK_MAIN();
