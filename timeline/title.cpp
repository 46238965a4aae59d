// The title sequence: four cards (logo, credits, presents, title), each
// rippled by the noise wave in a band of rows and faded through the screen;
// the cards change at music gates 5000, 10000, 15000 and 20000 ms.
#include "scenes.h"

namespace {

// Band A: rows 150..349; band B: rows 10..459.
constexpr int band_a_y = 150, band_a_h = 200;
constexpr int band_b_y = 10, band_b_h = 450;

struct title_state {
    show_objects& s;
    float t = 0.0f;  // wave time: +0.06 per fade frame, +0.04 per hold frame, never reset

    // The work bitmap gets the picture's band, every row shifted by
    // trunc(sin(phase) * amplitude), phase t and step t / 50000.
    void ripple(int y, int h, int amplitude) {
        s.work.blank(0);
        s.ripple.wave(0, y, 640, h, t, t / 50000.0f, amplitude);
    }

    // Fade frame: the rippled band goes through the level maps into the
    // screen, which is flipped; out = clamp(map[channel] + step, 0, 31).
    void fade_frame(int y, int h, int amplitude, int step, Uint32 min_ms) {
        begin_frame(s.ctl);
        ripple(y, h, amplitude);
        t += 0.06f;
        s.fader.add_RGB(step, step, step);
        flip_screen();
        poll_stop(s.ctl);
        if (step > 0)
            wait_quit_or_done(s.ctl, min_ms);
        else
            wait_quit(s.ctl, min_ms);
    }

    // Hold frame: the rippled band is presented; the 20 ms wait has no quit test.
    void hold_frame(int y, int h, int amplitude) {
        begin_frame(s.ctl);
        ripple(y, h, amplitude);
        t += 0.04f;
        present(s.work);
        poll_stop(s.ctl);
        wait_fixed(s.ctl, 20);
    }

    // Still: the card is loaded and shown at its own size for at least
    // 900 ms from the frame's start (the load counts).
    void still(const char* path) {
        begin_frame(s.ctl);
        load_card(path);
        present(s.picture);
        poll_stop(s.ctl);
        wait_quit(s.ctl, 900);
    }

    // Loads a card into the picture bitmap; the ripple reads its new surface.
    void load_card(const char* path) {
        load_image(s.picture, path);
        s.ripple.source = s.picture.surface;
    }

    // 125 hold frames; the amplitude is hold counter / 10 (4 to 29) or fixed.
    void hold(int y, int h, int fixed_amplitude) {
        for (int count = 42; count <= 290 && !s.ctl.quit; count += 2)
            hold_frame(y, h, fixed_amplitude ? fixed_amplitude : count / 10);
    }

    // 32 fade-out frames at 25 ms; the amplitude ramps (20 + 2i) / 10 or is fixed.
    void fade_out(int y, int h, bool ramp, int fixed_amplitude) {
        for (int i = 0; i < 32 && !s.ctl.quit; ++i)
            fade_frame(y, h, ramp ? (20 + 2 * i) / 10 : fixed_amplitude, -1, 25);
    }

    // A card after the logo: still, hold, new "out" maps, fade out, gate.
    void card(const char* path, int y, int h, int hold_amplitude, bool ramp_out, Uint32 gate_ms) {
        still(path);
        hold(y, h, hold_amplitude);
        trace::note("set_area", "out");
        s.fader.set_area("out", s.work.surface, 0, 0, 640, 480);
        fade_out(y, h, ramp_out, 10);
        music_gate(s.ctl, gate_ms);
    }
};

}  // namespace

void run_title(show_objects& s) {
    scene::begin("title");
    title_state title{s};
    s.ripple.key = 0;
    s.ripple.destination = s.work.surface;

    // Logo: fades in from black (maps start at k - 31 and end one level
    // above the picture), holds, and fades out from those maps.
    title.load_card(show_files::logo3.path);
    trace::note("set_area", "in");
    s.fader.set_area("in", s.work.surface, 0, 0, 640, 480);
    for (int i = 0; i < 32 && !s.ctl.quit; ++i)
        title.fade_frame(band_a_y, band_a_h, (20 + 2 * i) / 10, +1, 30);
    title.hold(band_a_y, band_a_h, 0);
    title.fade_out(band_a_y, band_a_h, false, 10);
    music_gate(s.ctl, 5000);

    // Credits: the hold keeps the amplitude the ramp reached at the end of
    // the logo's fade out, (20 + 2 * 32) / 10 = 8; its fade out ramps from 2.
    title.card(show_files::credits.path, band_b_y, band_b_h, (20 + 2 * 32) / 10, true, 10000);
    title.card(show_files::presents.path, band_a_y, band_a_h, 0, false, 15000);
    title.card(show_files::vormbrisk.path, band_a_y, band_a_h, 0, false, 20000);
}
