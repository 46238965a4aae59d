// Effect kernels beside a memcpy of one 640 x 480 x 16-bit frame, the
// yardstick: each reports ns per pixel (or point) it touches.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "bitmap.h"
#include "fade.h"
#include "flame.h"
#include "light.h"
#include "noise.h"
#include "pixel.h"
#include "scope.h"
#include "sound_layer.h"
#include "sound_layer_testing.h"

namespace {
void random_fill(SDL_Surface* s, unsigned seed) {
    std::mt19937 rng(seed);
    auto* p = static_cast<Uint16*>(s->pixels);
    for (int i = 0; i < (s->pitch / 2) * s->h; ++i) p[i] = static_cast<Uint16>(rng());
}

// Seconds per pixel (or point) touched, shown with an SI prefix: "sec_per_px=2.1n" is 2.1 ns.
void per_pixel(benchmark::State& state, double pixels) {
    state.counters["sec_per_px"] =
        benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_memcpy_frame(benchmark::State& state) {
    std::vector<Uint16> a(640 * 480, 1), b(640 * 480, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size() * 2);
        benchmark::ClobberMemory();
    }
    per_pixel(state, 640 * 480);
}
BENCHMARK(BM_memcpy_frame);

void BM_blank(benchmark::State& state) {
    bitmap b;
    for (auto _ : state) {
        b.blank(0);
        benchmark::ClobberMemory();
    }
    per_pixel(state, 640 * 480);
}
BENCHMARK(BM_blank);

// The cross-fade of a frame onto another through the per-weight tables,
// sequential pixels (the textured fill adds the texel addressing to this),
// one pixel at a time as the renderer's span loop runs it.
[[gnu::noinline, gnu::optimize("no-tree-vectorize")]] void cross_fade_pixels(Uint16* d, const Uint16* s, int n,
                                                                             const cross_fade& mix) {
    for (int k = 0; k < n; ++k) d[k] = mix(s[k], d[k]);
}

void BM_cross_fade_frame(benchmark::State& state) {
    fill_pre_RGB_tab();
    std::vector<Uint16> a(640 * 480), b(640 * 480);
    std::mt19937 rng(5);
    for (auto& p : a) p = static_cast<Uint16>(rng());
    for (auto& p : b) p = static_cast<Uint16>(rng());
    auto mix = std::make_unique<cross_fade>();
    mix->set(12, 20, 28, 18, 10, 2);
    for (auto _ : state) {
        cross_fade_pixels(b.data(), a.data(), static_cast<int>(a.size()), *mix);
        benchmark::ClobberMemory();
    }
    per_pixel(state, 640 * 480);
}
BENCHMARK(BM_cross_fade_frame);

void BM_fade_step(benchmark::State& state) {
    bitmap src, dst;
    random_fill(src.surface, 1);
    fade f;
    f.target = dst.surface;
    f.set_area("in", src.surface, 0, 0, 640, 480);
    int n = 0;
    for (auto _ : state) {
        const int d = (n++ / 32) % 2 ? -1 : 1;  // runs in and out
        f.add_RGB(d, d, d);
        benchmark::ClobberMemory();
    }
    per_pixel(state, 640 * 480);
}
BENCHMARK(BM_fade_step);

void BM_ripple(benchmark::State& state) {
    bitmap src, dst;
    random_fill(src.surface, 2);
    noise w;
    w.source = src.surface;
    w.destination = dst.surface;
    float phase = 0.0f;
    for (auto _ : state) {
        w.wave(0, 10, 640, 450, phase, 0.0013f, 8);
        phase += 0.05f;
        benchmark::ClobberMemory();
    }
    per_pixel(state, 640 * 450);
}
BENCHMARK(BM_ripple);

void BM_two_flames(benchmark::State& state) {
    bitmap b;
    b.blank(0);
    flame f;
    f.set_target(b.surface);
    for (int k = 0; k < 200; ++k) f.palette[k] = 0xFFFF;
    // Pixels touched: those a white flame lights on black.
    f.plot(200, 479, 30, 85.0f, 0.0f, 0.4f);
    f.plot(400, 479, 30, 85.0f, 0.0f, 0.4f);
    double touched = 0;
    for (int i = 0; i < 640 * 480; ++i) touched += static_cast<Uint16*>(b.surface->pixels)[i] != 0;
    for (int k = 0; k < 200; ++k) f.palette[k] = static_cast<Uint16>(k * 327);
    float phase = 0.0f;
    for (auto _ : state) {
        f.plot(200, 479, 30, 85.0f, phase, 0.4f);
        f.plot(400, 479, 30, 85.0f, phase + 1.0f, 0.4f);
        phase += 0.1f;
        benchmark::ClobberMemory();
    }
    per_pixel(state, touched);
}
BENCHMARK(BM_two_flames);

void BM_scope_full_width(benchmark::State& state) {
    // Every bar 200 pixels tall after weighting at scale 100.
    std::vector<float> v(512);
    for (int k = 0; k < 512; ++k) v[k] = 2.0f / ((k + 40) / 64.0f) + 0.001f;
    sound_layer::set_test_spectrum(v.data(), 512);
    bitmap b;
    scope s;
    s.target = b.surface;
    for (auto _ : state) {
        s.plot(17, 17, 0);
        benchmark::ClobberMemory();
    }
    sound_layer::clear_test_spectrum();
    per_pixel(state, 640 * 200);
}
BENCHMARK(BM_scope_full_width);

void BM_plot_light_full_sprite(benchmark::State& state) {
    fill_pre_RGB_tab();
    bitmap picture, work;
    random_fill(picture.surface, 3);
    random_fill(work.surface, 4);
    light l;
    l.set_sprite(picture.surface, 0, 0, 639, 479, 0, 0);
    l.target = work.surface;
    for (auto _ : state) {
        l.plot_light(320, 240, 10, 10, 10, 30, 30, 30);
        benchmark::ClobberMemory();
    }
    per_pixel(state, l.count);  // per point: 306,081
}
BENCHMARK(BM_plot_light_full_sprite);
}  // namespace

BENCHMARK_MAIN();
