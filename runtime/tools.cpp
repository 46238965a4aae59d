// The stop test over SDL's event queue, plus the delivery of a stop request
// injected at a chosen tick. Owns the global event record.
#include "tools.h"

#include "clock.h"
#include "platform.h"

SDL_Event event{};

bool are_done(SDL_Event e) {
    if (clk::take_injected_quit())
        platform::push_quit();
    while (platform::poll_event(e)) {
        if (e.type == SDL_QUIT)
            return true;
        if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE)
            return true;
    }
    return false;
}
