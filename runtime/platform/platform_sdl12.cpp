// The desktop platform over the SDL 1.2 API (sdl12-compat): SDL_SetVideoMode
// for the screen, SDL_UpdateRects and SDL_Flip to present, SDL_WM_SetCaption.
// Owns nothing but those calls.
#include "platform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace platform {

bool init_video(const screen_request& r, std::string& error) {
    if (r.headless) {  // no window opens and nothing is played
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    // sdl12-compat reads its window scaling when video starts.
    if (r.scale > 0 && !r.headless)
        setenv("SDL12COMPAT_WINDOW_SCALING", std::to_string(r.scale).c_str(), 1);
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        error = std::string("SDL_Init failed: ") + SDL_GetError();
        return false;
    }
    return true;
}

SDL_Surface* open_screen(const screen_request& r, std::string& error) {
    Uint32 flags = SDL_HWSURFACE | SDL_DOUBLEBUF;
    // Headless runs open the dummy display as a plain surface: its fullscreen
    // mode scales every flip, which would count as frame cost in --bench.
    if (r.fullscreen && !r.headless)
        flags |= SDL_FULLSCREEN;
    SDL_Surface* s = SDL_SetVideoMode(r.width, r.height, 16, flags);
    if (!s) {
        char what[96];
        std::snprintf(what, sizeof what, "cannot open a %dx%d 16-bit display: ", r.width, r.height);
        error = what + std::string(SDL_GetError());
    }
    return s;
}

// The whole screen goes up on every flip: with sdl12-compat every update is
// a full texture upload and present, so a rectangle would cost as much.
void present(SDL_Surface* screen) { SDL_Flip(screen); }

void set_caption(const char* title) { SDL_WM_SetCaption(title, nullptr); }

void show_cursor(bool shown) { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

bool poll_event(SDL_Event& e) { return SDL_PollEvent(&e) != 0; }

bool push_quit() {
    SDL_Event q{};
    q.type = SDL_QUIT;
    return SDL_PushEvent(&q) == 0;
}

void sleep_ms(Uint32 ms) { SDL_Delay(ms); }

void sleep_us(Uint32 us) { std::this_thread::sleep_for(std::chrono::microseconds(us)); }

void quit() { SDL_Quit(); }

std::string describe() {
    const SDL_version* v = SDL_Linked_Version();
    char text[48];
    std::snprintf(text, sizeof text, "SDL %d.%d.%d", v->major, v->minor, v->patch);
    return text;
}

}  // namespace platform
