// The platform seam: the few calls that differ between the desktop's SDL 1.2,
// SDL2 and the browser (opening the screen, presenting, caption, cursor,
// events, sleeping). Everything else (surfaces, blits, locks, ticks, audio)
// is plain SDL shared by all. One implementation file per platform.
#pragma once

#include <SDL.h>

#include <string>

namespace platform {

struct screen_request {
    int width = 640;
    int height = 480;
    bool fullscreen = true;   // fullscreen display, cursor hidden
    bool headless = false;    // a plain surface on the dummy display, never scaled
    int scale = 0;            // window enlargement, pixel for pixel (0: leave as is)
};

// Starts the video subsystem for the screen r will ask for; false with
// SDL's reason. On the desktop a headless request selects SDL's dummy video
// and audio drivers: no window opens and nothing is played.
bool init_video(const screen_request& r, std::string& error);
// Opens the show's 16-bit RGB565 screen surface of r.width x r.height; the
// surface stays valid until quit(). nullptr with the reason on failure.
SDL_Surface* open_screen(const screen_request& r, std::string& error);
// Shows the whole screen surface.
void present(SDL_Surface* screen);
void set_caption(const char* title);
void show_cursor(bool shown);
// One event off the queue; false once it is empty.
bool poll_event(SDL_Event& e);
// Queues a window-close request; false if the queue refused it.
bool push_quit();
void sleep_ms(Uint32 ms);
// Sleeps about `us` microseconds (less than a millisecond: the waits' last
// stretch, where SDL's millisecond delay would overshoot the tick).
void sleep_us(Uint32 us);
// True in the browser, where the show runs inside a page and its standard
// error goes to the page line by line (never a terminal).
bool runs_in_page();
// After a frame (shown or run ahead over): a page gets control back after
// every frame put on its canvas and at least about 30 times a second of real
// time, however late the frames run, so it paints what it is shown, stays
// responsive and hears from the sound worklet; elsewhere nothing happens.
void keep_page_alive();
// Closes the screen and every subsystem.
void quit();
// "SDL 1.2" or "SDL2", with the linked library's version, for --version.
std::string describe();

}  // namespace platform
