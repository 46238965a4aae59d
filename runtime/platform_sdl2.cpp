// The platform seam over SDL2: the screen is our own RGB565 surface. On the
// desktop a window shows it through a streaming texture uploaded whole on
// every present and scaled to the window at 4:3 with nearest-pixel sampling.
// In the browser the window only carries the canvas and its events: each
// present converts the frame to RGBA through a table and puts it on the
// canvas directly (the page scales it). Owns the window, renderer, texture,
// screen surface and the RGBA frame; draws nothing itself.
#include "platform.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

#include <vector>

#include "rgba_frame.h"
#include "sound_layer.h"

// Puts w x h RGBA pixels at `rgba` on the page's canvas, through an ImageData
// over the program's own memory (rebuilt when that memory grows or moves).
EM_JS(void, ostra_put_canvas, (const void* rgba, int w, int h), {
    var canvas = Module['canvas'];
    if (!canvas) return;
    var s = Module['ostraCanvas'];
    if (!s || s.canvas !== canvas || s.buffer !== HEAPU8.buffer || s.at !== rgba || s.w !== w || s.h !== h) {
        s = Module['ostraCanvas'] = {
            canvas: canvas, ctx: canvas.getContext('2d', {alpha: false}), buffer: HEAPU8.buffer, at: rgba, w: w, h: h,
            image: new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, w * h * 4), w, h)
        };
    }
    if (canvas.width !== w || canvas.height !== h) {
        canvas.width = w;
        canvas.height = h;
    }
    s.ctx.putImageData(s.image, 0, 0);
});
#endif

namespace platform {
namespace {
SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Texture* texture = nullptr;
SDL_Surface* screen_surface = nullptr;
std::string caption = "Ostramere 05";
#ifdef __EMSCRIPTEN__
std::vector<std::uint32_t> rgba;  // the frame as the canvas takes it
#endif

void close_window() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
}
}  // namespace

bool init_video(const screen_request&, std::string& error) {
    // SDL2 ends each round of polling at a sentinel it queues itself, so an
    // event pushed after a poll that stopped early (on a stop request) would
    // wait one extra poll; the show's stop test expects every queued event
    // to be seen, as on the desktop.
    SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        error = std::string("SDL_Init failed: ") + SDL_GetError();
        return false;
    }
    return true;
}

SDL_Surface* open_screen(const screen_request& r, std::string& error) {
    close_window();
    if (screen_surface) SDL_FreeSurface(screen_surface);
    screen_surface = SDL_CreateRGBSurfaceWithFormat(0, r.width, r.height, 16, SDL_PIXELFORMAT_RGB565);
    if (!screen_surface) {
        error = std::string("cannot make a 16-bit screen surface: ") + SDL_GetError();
        return nullptr;
    }
    if (r.headless)
        return screen_surface;  // nothing is shown; sinks read the surface
    const int scale = r.scale > 0 ? r.scale : 1;
    const Uint32 flags = r.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    window = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, r.width * scale,
                              r.height * scale, flags);
#ifdef __EMSCRIPTEN__
    if (window) {
        rgba.assign(static_cast<size_t>(r.width) * static_cast<size_t>(r.height), 0xFF000000u);
        return screen_surface;
    }
#else
    if (window)
        renderer = SDL_CreateRenderer(window, -1, 0);
    if (renderer) {
        SDL_RenderSetLogicalSize(renderer, r.width, r.height);  // 4:3, bars around it
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, r.width,
                                    r.height);
    }
#endif
    if (!texture) {
        error = std::string("cannot open a ") + std::to_string(r.width) + "x" + std::to_string(r.height) +
                " window: " + SDL_GetError();
        close_window();
        SDL_FreeSurface(screen_surface);
        screen_surface = nullptr;
        return nullptr;
    }
    return screen_surface;
}

void present(SDL_Surface* screen) {
#ifdef __EMSCRIPTEN__
    if (!window || !screen || rgba.size() != static_cast<size_t>(screen->w) * static_cast<size_t>(screen->h))
        return;
    rgba_frame::convert(static_cast<const std::uint16_t*>(screen->pixels), screen->pitch / 2, screen->w, screen->h,
                        rgba.data());
    ostra_put_canvas(rgba.data(), screen->w, screen->h);
    return;
#endif
    if (!texture || !screen)
        return;
    SDL_UpdateTexture(texture, nullptr, screen->pixels, screen->pitch);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

// The whole frame goes up on every present: neither a texture upload nor the
// canvas has a cheaper partial form worth the bookkeeping at 640x480.
void present_rect(SDL_Surface* screen, SDL_Rect) { present(screen); }

void set_caption(const char* title) {
    caption = title ? title : "";
    if (window) SDL_SetWindowTitle(window, caption.c_str());
}

void show_cursor(bool shown) { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

bool poll_event(SDL_Event& e) { return SDL_PollEvent(&e) != 0; }

bool push_quit() {
    SDL_Event q{};
    q.type = SDL_QUIT;
    return SDL_PushEvent(&q) == 1;  // SDL2: 1 when queued
}

void sleep_ms(Uint32 ms) {
#ifdef __EMSCRIPTEN__
    // The browser's sound is rendered ahead on this thread: a wait keeps the
    // worklet's lead topped up at least every 50 ms, music read or not.
    for (;;) {
        sound_layer::pump();
        const Uint32 step = ms < 50 ? ms : 50;
        SDL_Delay(step);
        if ((ms -= step) == 0)
            return;
    }
#else
    SDL_Delay(ms);
#endif
}

// In the browser this is a short busy wait (no yield to the page, which would
// cost milliseconds); on the desktop a real sleep.
void sleep_us(Uint32 us) { std::this_thread::sleep_for(std::chrono::microseconds(us)); }

void quit() {
    close_window();
    if (screen_surface) SDL_FreeSurface(screen_surface);
    screen_surface = nullptr;
    SDL_Quit();
}

std::string describe() {
    SDL_version v;
    SDL_GetVersion(&v);
    char text[48];
    std::snprintf(text, sizeof text, "SDL %d.%d.%d", v.major, v.minor, v.patch);
    return text;
}

}  // namespace platform
