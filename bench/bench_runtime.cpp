// Runtime kernels: one loading-screen frame (nygris2 turned, the loading
// picture blitted, depth cleared, nine meshes drawn), presenting it, and the
// capture's PNG encoding and its RGB565 to YUV 4:2:0 conversion for video.
// Runs on the generated data; figures only.
#include "display.h"
#include "pacing.h"
#include "globals.h"
#include "loading.h"
#include "pixel.h"
#include "platform.h"
#include "png_write.h"
#include "show_objects.h"
#include "yuv420.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

// The show's objects after the start-up loads, on a dummy display.
show_objects* loaded_show() {
    static std::unique_ptr<show_objects> show;
    if (show)
        return show.get();
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::string error;
    platform::screen_request r;
    r.fullscreen = false;
    r.headless = true;
    if (!platform::init_video(r, error))
        return nullptr;
    screen = platform::open_screen(r, error);
    if (!screen)
        return nullptr;
    const auto old = std::filesystem::current_path();
    std::error_code ec;
    std::filesystem::current_path(OSTRA_DATA_DIR, ec);
    if (ec || !std::filesystem::exists("gfx/nygris2.3D"))
        return nullptr;
    fill_pre_RGB_tab();
    show = std::make_unique<show_objects>();
    load_assets(*show);
    std::filesystem::current_path(old, ec);
    return show.get();
}

void loading_frame(benchmark::State& state) {
    show_objects* s = loaded_show();
    if (!s || s->nygris2.nr_objects == 0) {
        state.SkipWithError("no generated data");
        return;
    }
    room& model = s->nygris2;
    for (int i = 0; i < model.nr_objects; ++i) model.objects[i].pos_z = 3000;
    world_z = 0;
    int count = 0;
    for (auto _ : state) {
        for (int i = 0; i < model.nr_objects; ++i) model.objects[i].rotate(2, 2 * count, 2, 1);
        SDL_UpperBlit(s->picture.surface, &s->picture.src_rect, s->work.surface,
                      &s->picture.dst_rect);
        clear_z_buffer();
        for (int i = 0; i < model.nr_objects; ++i) model.objects[i].show(3, 1, 0, 0, 0, 0, 0);
        count = (count + 2) % 800;
        if (state.range(0))
            present(s->work);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(loading_frame)->Arg(0)->Arg(1)->ArgName("present")->Unit(benchmark::kMillisecond);

void capture_png(benchmark::State& state) {
    show_objects* s = loaded_show();
    if (!s) {
        state.SkipWithError("no generated data");
        return;
    }
    const std::string path =
        (std::filesystem::temp_directory_path() / ("bench-frame-" + std::to_string(getpid()) + ".png"))
            .string();
    std::string error;
    for (auto _ : state)
        if (!write_png(path, s->picture.surface, static_cast<int>(state.range(0)), error))
            state.SkipWithError(error.c_str());
    std::remove(path.c_str());
}
BENCHMARK(capture_png)->Arg(1)->Arg(6)->ArgName("zlib")->Unit(benchmark::kMillisecond);

void capture_yuv420(benchmark::State& state) {
    show_objects* s = loaded_show();
    if (!s) {
        state.SkipWithError("no generated data");
        return;
    }
    SDL_Surface* p = s->picture.surface;
    std::vector<std::uint8_t> out(yuv420::size(640, 480));
    for (auto _ : state) {
        yuv420::from_rgb565(static_cast<const std::uint16_t*>(p->pixels), 640, 480, p->pitch / 2,
                            out.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(capture_yuv420)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
