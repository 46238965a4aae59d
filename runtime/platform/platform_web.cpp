// The browser platform: SDL2 for the canvas's events, but the
// present is our own: each frame is widened from RGB565 to RGBA bytes
// (canvas_rgba) and goes onto the page's canvas as one putImageData (the page
// scales it and owns fullscreen and the cursor); its sleeps give the page its
// turns.
// Owns the window, the screen surface and the RGBA frame; draws nothing.
#include "platform.h"

#include "canvas_rgba.h"

#include <emscripten.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Puts w x h RGBA pixels at `rgba` on the page's canvas, through an ImageData
// over the program's own memory (rebuilt when that memory grows or moves).
// The page may hand over the OffscreenCanvas that shows in its canvas
// element (Module.ostraScreen); then the frames go there.
EM_JS(void, ostra_put_canvas, (const void* rgba, int w, int h), {
    var canvas = Module['ostraScreen'] || Module['canvas'];
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

// Gives the page one turn: it paints, handles input and runs its timers, then
// the program resumes. A posted message, not a zero timeout: the browser makes
// a chain of timeouts wait at least 4 ms each, a message waits only for the
// tasks already queued.
EM_ASYNC_JS(void, ostra_page_turn, (), {
    await new Promise((resume) => {
        var channel = Module['ostraTurn'] || (Module['ostraTurn'] = new MessageChannel());
        channel.port1.onmessage = resume;
        channel.port2.postMessage(0);
    });
});

namespace platform {
namespace {
SDL_Window* window = nullptr;
SDL_Surface* screen_surface = nullptr;
std::vector<std::uint32_t> rgba;  // the frame as the canvas takes it
double last_yield_ms = 0;          // when the page last had control
bool shown_since_yield = false;    // a frame went onto the canvas since then

void close_screen() {
    if (window) SDL_DestroyWindow(window);
    if (screen_surface) SDL_FreeSurface(screen_surface);
    window = nullptr;
    screen_surface = nullptr;
}
}  // namespace

bool init_video(const screen_request&, std::string& error) {
    // Every queued event is seen by the stop test, as on the desktop (see
    // the SDL2 desktop platform).
    SDL_SetHint(SDL_HINT_POLL_SENTINEL, "0");
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        error = std::string("SDL_Init failed: ") + SDL_GetError();
        return false;
    }
    return true;
}

// The canvas is opened even for a headless run: the page shows some of its
// frames. Fullscreen and scaling are the page's.
SDL_Surface* open_screen(const screen_request& r, std::string& error) {
    close_screen();
    screen_surface = SDL_CreateRGBSurfaceWithFormat(0, r.width, r.height, 16, SDL_PIXELFORMAT_RGB565);
    if (screen_surface)
        window = SDL_CreateWindow("Ostramere 05", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, r.width,
                                  r.height, 0);
    if (!window) {
        error = std::string("cannot open a ") + std::to_string(r.width) + "x" + std::to_string(r.height) +
                " canvas: " + SDL_GetError();
        close_screen();
        return nullptr;
    }
    rgba.assign(static_cast<size_t>(r.width) * static_cast<size_t>(r.height), 0xFF000000u);
    SDL_ShowCursor(SDL_DISABLE);
    return screen_surface;
}

void present(SDL_Surface* screen) {
    if (!window || !screen || rgba.size() != static_cast<size_t>(screen->w) * static_cast<size_t>(screen->h))
        return;
    canvas_rgba::convert(static_cast<const std::uint16_t*>(screen->pixels), screen->pitch / 2, screen->w, screen->h,
                        rgba.data());
    ostra_put_canvas(rgba.data(), screen->w, screen->h);
    shown_since_yield = true;
}

void set_caption(const char* title) {
    if (window) SDL_SetWindowTitle(window, title ? title : "");
}

// The page hides the cursor over the canvas.
void show_cursor(bool) {}

bool poll_event(SDL_Event& e) { return SDL_PollEvent(&e) != 0; }

bool push_quit() {
    SDL_Event q{};
    q.type = SDL_QUIT;
    return SDL_PushEvent(&q) == 1;  // SDL2: 1 when queued
}

// The page has its turn while the program sleeps.
void sleep_ms(Uint32 ms) {
    SDL_Delay(ms);
    last_yield_ms = emscripten_get_now();
    shown_since_yield = false;
}

// A short busy wait: yielding to the page would cost milliseconds.
void sleep_us(Uint32 us) {
    const double until = emscripten_get_now() + us / 1000.0;
    while (emscripten_get_now() < until) {
    }
}

bool runs_in_page() { return true; }

// A frame that overran its time sleeps not at all: without this, a slow
// device would keep the page from painting, reading the worklet's reports and
// running its timers for as long as the frames stay late. A frame put on
// the canvas gets its turn at once (the page paints only in its turns, and
// the next frame would replace this one unseen); unseen frames, as in a run
// ahead, one turn every 33 ms.
void keep_page_alive() {
    if (!shown_since_yield && emscripten_get_now() - last_yield_ms < 33.0)
        return;
    ostra_page_turn();
    last_yield_ms = emscripten_get_now();
    shown_since_yield = false;
}

void quit() {
    close_screen();
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
