// intro: builds the show's objects and tables, sets up the sound layer and
// loads the song, waits for a fullscreen display to settle, loads the assets,
// shows the loading screen, starts the song, runs the timeline, shuts down.
#include "intro.h"

#include "checkpoint.h"
#include "clock.h"
#include "display.h"
#include "globals.h"
#include "pacing.h"
#include "loading.h"
#include "music_clock_text.h"
#include "pixel.h"
#include "printable.h"
#include "show_files.h"
#include "show_objects.h"
#include "show_timeline.h"
#include "sound_layer.h"
#include "timeline.h"
#include "trace.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// sin_l and cos_l follow the renderer's rule, sin(i / 127.33) and
// cos(i / 127.33): copies of sintab and costab, which the rooms filled.
void fill_sin_l(show_objects& s) {
    std::copy(sintab, sintab + sin_table_size, s.sin_l);
    std::copy(costab, costab + sin_table_size, s.cos_l);
}

// The show's state from the run's checkpoint, when it has one that fits
// (else nothing changes but the objects, which the caller then builds afresh):
// the clock at the checkpoint's tick and the flips counted up to it.
bool restore_checkpoint(show_objects& s) {
    checkpoint::plan& p = checkpoint::current_plan();
    if (!p.restoring)
        return false;
    p.restoring = false;
    std::string error;
    if (!checkpoint::apply(s, p.limiter, p.restore_payload, error, p.restore_shift_ms)) {
        std::fprintf(stderr, "ostramere: checkpoint of the %s scene refused: %s; running ahead instead\n",
                     show_timeline::scenes[p.restore_header.scene].name, printable(error).c_str());
        return false;
    }
    clk::advance_to(p.restore_header.tick);
    display::set_frames_shown(p.restore_header.frame);
    std::fprintf(stderr, "ostramere: starting from the %s scene's checkpoint (frame %lld, music %s)\n",
                 show_timeline::scenes[p.restore_header.scene].name, static_cast<long long>(p.restore_header.frame),
                 music_clock_text(p.restore_header.music_ms).c_str());
    trace::note("checkpoint restored", show_timeline::scenes[p.restore_header.scene].name);
    return true;
}

}  // namespace

void intro(SDL_Surface* display_surface, bool settle) {
    // The six bitmaps, the rooms (their construction fills sintab/costab),
    // the lights and effects; quit starts at 0.
    auto show = std::make_unique<show_objects>();
    control& c = show->ctl;
    c.quit = 0;
    show->fader.target = display_surface;

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

    fill_sin_l(*show);
    fill_pre_RGB_tab();

    // A start point with a checkpoint begins at its scene: the settle wait,
    // the loads, the loading screen and the scenes before it are in it.
    const int from_scene = checkpoint::current_plan().restore_header.scene;
    if (restore_checkpoint(*show)) {
        run_timeline(*show, from_scene);
    } else {
        if (checkpoint::current_plan().restore_header.scene >= 0) {
            // A refused checkpoint may have changed the objects: build them afresh.
            FMUSIC_MODULE* song = c.song;
            show = std::make_unique<show_objects>();
            show->ctl.song = song;
            show->fader.target = display_surface;
            display::set_music_source(&show->ctl);
            fill_sin_l(*show);
            checkpoint::current_plan().restore_header.scene = -1;
        }
        control& cc = show->ctl;
        if (settle) {
            trace::note("settle wait");
            settle_wait(cc, settle_wait_ms);
        }

        load_assets(*show);
        run_loading_screen(*show);

        FMUSIC_PlaySong(cc.song);
        cc.music_start = FMUSIC_GetTime(cc.song);
        trace::note("FMUSIC_PlaySong");

        run_timeline(*show);
    }
    control& c_end = show->ctl;

    display::set_music_source(nullptr);
    trace::note("FMUSIC_FreeSong");
    FMUSIC_FreeSong(c_end.song);
    trace::note("FSOUND_Close");
    FSOUND_Close();
    show.reset();
    trace::note("objects destroyed");
}
