// The corner room scene (until 93300 ms): the flat textured corner room and a
// grey scope on black; on six rows of each pattern the blob comes alive (the
// overlay light before 83000 ms, new3 with a wireframe blob after).
#include "scenes.h"

using scene::each_object;

namespace {

bool is_active_row(int row) {
    return row == 0 || row == 16 || row == 32 || row == 48 || row == 56 || row == 62;
}
bool is_wire_row(int row) {
    return row == 1 || row == 17 || row == 33 || row == 49 || row == 57 || row == 63;
}

}  // namespace

void run_corner_room(show_objects& s) {
    scene::begin("corner");
    control& ctl = s.ctl;

    // Set-up.
    load_image(s.overlay, show_files::light.path);
    load_image(s.picture, show_files::new3.path);
    trace::note("model", show_files::corner_room.path);
    scene::report(s.corner_room.read_file(show_files::corner_room.path, show_files::bakgrunn7.path, s.work.surface));
    s.overlay_light.target = s.work.surface;
    trace::note("set_sprite", "overlay_light");
    s.overlay_light.set_sprite(s.overlay.surface, 0, 0, 639, 479, 0, 1);
    ctl.scene_done = 0;
    // The blob starts active when the beat scene ran past 35000 ms.
    Uint8 blob_active = s.blob_stretch_over;

    for (int f = 0; f <= 3199 && !ctl.quit && !ctl.scene_done; ++f) {
        begin_frame(ctl);
        s.work.blank(0);
        // Texels equal to 20 are left out; the rest are cross-faded:
        // out = tab[texel*31 + 1] + tab[dst*31 + 29].
        transp_col = 20;
        transp = 1;
        each_object(s.corner_room, [](object_2& o) { o.show(3, 0, 0); });
        s.spectrum.plot(20, 20, 20);

        const int row = row_byte(ctl);
        if (is_active_row(row))
            blob_active = 1;
        if (is_wire_row(row)) {
            each_object(s.blob1, [](object& o) { o.show(2, 2, 0, 0, 0, 0, 0); });
            blob_active = 0;
        }

        if (blob_active) {
            each_object(s.blob1, [&](object& o) { o.rotate(1, (4 * f) % 800, 1, 2); });
            if (s.blob1.nr_objects > 0) {
                object& blob = s.blob1.objects[0];
                blob.pos_x = static_cast<int>(s.sin_l[2 * (f % 800)] * 400.0f);
                // The y path indexes the table by the frame count, taken
                // modulo the table's 1600 entries once the scene runs that long.
                blob.pos_y = static_cast<int>(s.sin_l[f % 1600] * 300.0f);
            }
            if (music_time(ctl) <= 82999) {
                // The light added over the room at full background strength:
                // out = min(31, tab[light*31 + 10] + tab[dst*31 + 30]).
                s.overlay_light.plot_light(320, 240, 10, 10, 10, 30, 30, 30);
            } else {
                scene::blit_onto(s.picture, s.work);
                each_object(s.blob1, [](object& o) { o.show(2, 2, 0, 0, 0, 0, 0); });
            }
        }

        present(s.work);
        if (music_time(ctl) > 93299)
            ctl.scene_done = 1;
        wait_quit_or_done(ctl, 30);
        poll_stop(ctl);
    }
}
