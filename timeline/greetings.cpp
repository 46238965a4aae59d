// The greetings (118000 to 130000 ms): greets1 fades in from black and
// holds; from 120000 ms greets2, cut into a light sprite of its non-white
// pixels, rises from below the bottom edge over it. No 3D.
#include "scenes.h"

void run_greetings(show_objects& s) {
    scene::begin("greetings");
    control& ctl = s.ctl;

    // First card: the fade reads the work bitmap, maps starting all black.
    load_image(s.picture, show_files::greets1.path);
    trace::note("set_area", "in");
    s.fader.set_area("in", s.work.surface, 0, 0, 640, 480);

    // Fade in, 32 frames: out = clamp(map[channel], 0, 31), every map +1 per
    // frame; the last step leaves the maps one level above the picture.
    for (int step = 0; step < 32 && !ctl.quit; ++step) {
        begin_frame(ctl);
        s.work.blank(0);
        scene::blit_onto(s.picture, s.work);
        s.fader.add_RGB(1, 1, 1);
        flip_screen();
        poll_stop(ctl);
        wait_quit(ctl, 30);
    }

    // Hold, 25 frames; this wait runs its full 30 ms even after a stop.
    for (int hold = 42; hold < 92 && !ctl.quit; hold += 2) {
        begin_frame(ctl);
        s.work.blank(0);
        scene::blit_onto(s.picture, s.work);
        present(s.work);
        poll_stop(ctl);
        wait_fixed(ctl, 30);
    }

    music_gate(ctl, 120000);

    // Second card: every pixel of x 1..637, y 1..477 that is not white.
    load_image(s.backdrop, show_files::greets2.path);
    s.overlay_light.target = s.work.surface;
    trace::note("set_sprite", "overlay_light");
    s.overlay_light.set_sprite(s.backdrop.surface, 1, 1, 638, 478, 0xFFFF, 1);
    ctl.scene_done = 0;
    int card_y = 800;  // the sprite's centre row

    for (int n = 0; n <= 3199 && !ctl.quit && !ctl.scene_done; ++n) {
        begin_frame(ctl);
        scene::blit_onto(s.picture, s.work);
        // out = min(31, tab[card*31 + 25] + tab[dst*31 + 5])
        s.overlay_light.plot_light(340, card_y, 25, 25, 25, 5, 5, 5);
        card_y = static_cast<int>(static_cast<float>(card_y) - static_cast<float>(n) / 340.0f);
        present(s.work);
        if (music_time(ctl) > 129999)
            ctl.scene_done = 1;
        poll_stop(ctl);
        wait_quit_or_done(ctl, 30);
        poll_stop(ctl);
    }
}
