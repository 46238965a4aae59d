// intro: builds the show's objects and tables, sets up the sound layer and
// loads the song, waits for a fullscreen display to settle, loads the assets,
// shows the loading screen, starts the song, runs the timeline, shuts down.
#include "intro.h"

#include "clock.h"
#include "display.h"
#include "globals.h"
#include "pacing.h"
#include "loading.h"
#include "pixel.h"
#include "printable.h"
#include "show_files.h"
#include "show_objects.h"
#include "sound_layer.h"
#include "timeline.h"
#include "trace.h"

#include <algorithm>
#include <cstdio>
#include <memory>

void intro() {
    // The six bitmaps, the rooms (their construction fills sintab/costab),
    // the lights and effects; quit starts at 0.
    auto show = std::make_unique<show_objects>();
    control& c = show->ctl;
    c.quit = 0;
    show->fader.target = screen;

    // Sound: a failed init only closes the layer; every later call is made.
    FSOUND_SetOutput(1);
    FSOUND_SetDriver(0);
    if (!FSOUND_Init(sound_layer::rate, 32, 0)) {
        trace::note("FSOUND_Init failed");
        FSOUND_Close();
    }
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), true);
    c.song = FMUSIC_LoadSong(show_files::song.path);
    trace::note("FMUSIC_LoadSong");
    if (!c.song)  // the data check passed, so the file changed since: go on in silence
        std::fprintf(stderr, "ostramere: %s: %s; the show goes on without music\n",
                     printable(show_files::song.path).c_str(), printable(sound_layer::last_load_error()).c_str());
    display::set_music_source(&c);

    // sin_l and cos_l follow the renderer's rule, sin(i / 127.33) and
    // cos(i / 127.33): copies of sintab and costab, which the rooms filled.
    std::copy(sintab, sintab + sin_table_size, show->sin_l);
    std::copy(costab, costab + sin_table_size, show->cos_l);
    fill_pre_RGB_tab();

    if (fullscreen) {
        trace::note("settle wait");
        settle_wait(c, 3000);
    }

    load_assets(*show);
    run_loading_screen(*show);

    FMUSIC_PlaySong(c.song);
    c.music_start = FMUSIC_GetTime(c.song);
    trace::note("FMUSIC_PlaySong");

    run_timeline(*show);

    display::set_music_source(nullptr);
    trace::note("FMUSIC_FreeSong");
    FMUSIC_FreeSong(c.song);
    trace::note("FSOUND_Close");
    FSOUND_Close();
    show.reset();
    trace::note("objects destroyed");
}
