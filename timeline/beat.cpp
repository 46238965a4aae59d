// The blob and nygris beat scene (music time 20000 to 40000 ms): two
// backgrounds that swap on the beat, the nygris2 model drawn twice with a
// swing that reverses on the beat, and the blob flying, stretching and fading.
#include "scenes.h"

using scene::each_object;

void run_beat_scene(show_objects& s) {
    scene::begin("beat");
    control& ctl = s.ctl;

    // Set-up.
    load_image(s.picture, show_files::bakgrunn5.path);
    load_image(s.backdrop, show_files::bakgrunn6.path);
    if (s.blob1.nr_objects > 0) {
        object& blob = s.blob1.objects[0];
        load_image(blob.tex, show_files::bais.path);
        blob.pos_x = 0;
        blob.pos_y = -200;
        blob.pos_z = 0;
    }
    dest_surface = s.work.surface;
    each_object(s.blob1, [](object& o) { o.scale(330, 330, 330, 0, 1); });
    each_object(s.nygris2, [](object& o) { o.scale(300, 300, 300, 0, 1); });
    each_object(
        s.nygris2, [](object& o) { o.pos_x = 850, o.pos_y = -530, o.pos_z = 0; }, 9);
    each_object(s.nygris2, [](object& o) { o.rotate(1, 600, 1, 2); });
    each_object(s.nygris2, [](object& o) { o.rotate(2, 600, 2, 1); });
    s.blob_stretch_over = 0;
    world_x = world_y = world_z = 0;
    int swing = 800;     // rotation index of nygris2
    int direction = 0;   // 0: swing grows, bakgrunn5 shown; 1: swing falls, bakgrunn6
    ctl.next_row = 0;

    // Frame loop: 100 cycles of the step p = 0, 4, ... 396, until 40000 ms.
    for (int cycle = 0; cycle < 100 && !ctl.quit; ++cycle) {
        for (int p = 0; p < 400 && !ctl.quit; p += 4) {
            begin_frame(ctl);

            if (direction == 1) {
                swing -= 6;
                scene::blit_onto(s.backdrop, s.work);
            } else {
                swing += 6;
                scene::blit_onto(s.picture, s.work);
            }

            // Beat on even rows: the blob's set 1 alternates between double
            // and normal height (until 35000 ms), the background and the
            // swing reverse; rows above 61 restart the cursor and the swing.
            if (beat_trigger(ctl, 61, 0)) {
                const float stretch = direction == 1 ? 0.5f : 2.0f;
                if (!s.blob_stretch_over) {
                    each_object(s.blob1, [&](object& o) { o.scale(1, stretch, 1, 1, 2); });
                    each_object(s.blob1, [](object& o) { o.scale(1, 1, 1, 2, 1); });
                }
                direction = direction == 1 ? 0 : 1;
                if (ctl.next_row == 0)  // the cursor only returns to 0 by the wrap
                    swing = 800;
            }

            // nygris2 turned about X (set 2), drawn depth-tested.
            each_object(s.nygris2, [&](object& o) { o.rotate(1, swing, 1, 2); });
            clear_z_buffer();
            each_object(s.nygris2, [](object& o) { o.show(3, 2, 0, 0, 16, 16, 16); });

            // The blob's path: z from 25000 ms, x and y always.
            if (s.blob1.nr_objects > 0) {
                object& blob = s.blob1.objects[0];
                if (music_time(ctl) > 25000)
                    blob.pos_z = static_cast<int>(s.cos_l[p] * -3000.0f);
                blob.pos_x = static_cast<int>(s.sin_l[2 * p] * 400.0f);
                blob.pos_y = static_cast<int>(s.sin_l[p] * 300.0f);
            }
            // The blob's cross-fade and wire frame neither test nor write
            // depth: the buffer is cleared once, before nygris2's second pass.

            // The blob cross-faded with weight c over the frame:
            // out = tab[tex*31 + c] + tab[dst*31 + 30 - c], c = 30 .. 4 over a cycle.
            const Uint16 c = static_cast<Uint16>(30 - p / 15);
            if (music_time(ctl) <= 35000) {
                each_object(s.blob1, [&](object& o) { o.rotate(1, 4 * p, 1, 2); });
                const bool red_too = music_time(ctl) <= 30000;
                each_object(s.blob1, [&](object& o) {
                    o.show(3, 2, 0, 1, red_too ? c : Uint16{0}, c, c);
                });
                if (p / 15 <= 2)
                    each_object(s.blob1, [](object& o) { o.show(2, 2, 0, 0, 0, 0, 0); });
            } else {
                s.blob_stretch_over = 1;
                // In place: the turn accumulates from frame to frame.
                each_object(s.blob1, [&](object& o) {
                    o.rotate(1, 4 * p, 1, 1);
                    o.show(3, 1, 0, 1, c, c, c);
                });
            }

            // nygris2 again, turned about X and then Z (set 1).
            each_object(s.nygris2, [&](object& o) { o.rotate(3, swing, 2, 1); });
            clear_z_buffer();
            each_object(s.nygris2, [](object& o) { o.show(3, 1, 0, 0, 16, 16, 16); });

            present(s.work);

            if (music_time(ctl) > 39999) {
                p = 400;
                cycle = 100;
            }
            poll_stop(ctl);
            wait_quit(ctl, 30);
            poll_stop(ctl);
        }
    }
}
