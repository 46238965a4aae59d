// The desktop platform over SDL2: the screen is our own RGB565 surface, which
// a window shows through a streaming texture uploaded whole on every present
// and scaled to the window at 4:3 with nearest-pixel sampling. Owns the
// window, renderer, texture and screen surface; draws nothing itself.
#include "platform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace platform {
namespace {
SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Texture* texture = nullptr;
SDL_Surface* screen_surface = nullptr;
std::string caption = "Ostramere 05";

void close_window() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
}
}  // namespace

bool init_video(const screen_request& r, std::string& error) {
    if (r.headless) {  // no window opens and nothing is played
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
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
    if (window)
        renderer = SDL_CreateRenderer(window, -1, 0);
    if (renderer) {
        SDL_RenderSetLogicalSize(renderer, r.width, r.height);  // 4:3, bars around it
        texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING, r.width,
                                    r.height);
    }
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
    if (!texture || !screen)
        return;
    SDL_UpdateTexture(texture, nullptr, screen->pixels, screen->pitch);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

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

void sleep_ms(Uint32 ms) { SDL_Delay(ms); }

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
