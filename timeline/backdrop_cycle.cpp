// The backdrop cycle scene (until 118000 ms): the whole frame is one of four
// backgrounds chosen by the row, with a dark grey scope over it and, from
// 103000 ms, the nygris2 model swinging about X, reversing every two rows.
#include "scenes.h"

using scene::each_object;

void run_backdrop_cycle(show_objects& s) {
    scene::begin("backdrop");
    control& ctl = s.ctl;

    // Set-up. new1 goes into the overlay bitmap as the show always loaded
    // it; no frame of this or a later scene draws that bitmap.
    load_image(s.backdrop, show_files::bakgrunn7.path);
    load_image(s.overlay, show_files::new1.path);
    load_image(s.alt_backdrop, show_files::new2.path);
    each_object(
        s.nygris2, [](object& o) { o.pos_x = o.pos_y = o.pos_z = 0; }, 9);
    each_object(s.nygris2, [](object& o) { o.scale(800, 800, 800, 0, 1); });
    each_object(s.nygris2, [](object& o) { o.rotate(1, 600, 1, 2); });
    each_object(s.nygris2, [](object& o) { o.rotate(2, 600, 2, 1); });
    ctl.scene_done = 0;
    world_x = world_y = world_z = 0;
    int swing = 800;
    int direction = 0;  // 0: swing grows by 5; 1: falls by 5

    for (int frames = 0; frames <= 3199 && !ctl.quit && !ctl.scene_done; ++frames) {
        begin_frame(ctl);
        const int row = row_byte(ctl);
        swing += direction == 1 ? -5 : 5;

        // One background per row, cycling new3, bakgrunn7, new2, bakgrunn7;
        // rows 0 and 2 of each group of four turn the swing down and up.
        switch (row & 3) {
        case 0:
            scene::blit_onto(s.picture, s.work);
            direction = 1;
            break;
        case 2:
            scene::blit_onto(s.alt_backdrop, s.work);
            direction = 0;
            break;
        default:
            scene::blit_onto(s.backdrop, s.work);
            break;
        }

        each_object(s.nygris2, [&](object& o) { o.rotate(1, swing, 1, 2); });
        s.spectrum.plot(10, 10, 10);
        clear_z_buffer();
        if (music_time(ctl) > 102999)
            each_object(s.nygris2, [](object& o) { o.show(3, 2, 0, 0, 16, 16, 16); });

        present(s.work);
        if (music_time(ctl) > 117999)
            ctl.scene_done = 1;
        wait_quit_or_done(ctl, 30);
        poll_stop(ctl);
    }
}
