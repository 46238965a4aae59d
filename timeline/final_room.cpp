// The final room scene (130000 to 160000 ms): the rom2 room turning about
// the vertical axis under sheet_light[0] and the full-screen texmex light,
// fading to black from 148000 ms; it ends the show at 160000 ms.
#include "scenes.h"

using scene::each_object;

void run_final_room(show_objects& s) {
    scene::begin("final");
    control& ctl = s.ctl;

    // Set-up. gold2 goes into objects 0..3 as the show always loaded it and
    // is replaced by bais at once, so it is never seen.
    trace::note("model", show_files::rom2.path);
    scene::report(s.rom2.read_file(show_files::rom2.path));
    each_object(s.rom2, [](object& o) { load_image(o.tex, show_files::gold2.path); }, 4);
    each_object(s.rom2, [](object& o) { load_image(o.tex, show_files::bais.path); }, 4);
    if (s.rom2.nr_objects > 4)
        load_image(s.rom2.objects[4].tex, show_files::metal_2.path);
    // Objects 0..3 now hold four copies of one picture: they all draw with
    // object 0's, so the turning room reads one texture rather than four.
    for (int i = 1; i < 4 && i < s.rom2.nr_objects; ++i)
        s.rom2.objects[i].shared_tex = &s.rom2.objects[0].tex;
    each_object(
        s.rom2, [](object& o) { o.pos_x = o.pos_y = o.pos_z = 0; }, 5);
    dest_surface = s.work.surface;
    each_object(s.rom2, [](object& o) { o.scale(3, 3, 3, 0, 1); });
    each_object(s.rom2, [](object& o) { o.rotate(1, 0, 1, 2); });
    each_object(s.rom2, [](object& o) { o.rotate(2, 0, 2, 1); });
    world_x = 70;
    world_y = 0;
    world_z = 1650;
    int lamp_rise = 0;  // sheet_light[0] stands at y = 360 - lamp_rise

    for (int n = 0; n < 3200 && !ctl.quit; ++n) {
        begin_frame(ctl);
        // One full turn about Y every 400 frames.
        each_object(s.rom2, [&](object& o) { o.rotate(2, (2 * n) % 800, 1, 2); });
        s.work.blank(0);
        clear_z_buffer();
        each_object(s.rom2, [](object& o) { o.show(3, 2, 0, 0, 0, 0, 0); });

        if (music_time(ctl) > 131999 && lamp_rise <= 149)
            ++lamp_rise;
        // out = min(31, tab[lamp*31 + 20] + tab[dst*31 + 15])
        s.sheet_light[0].plot_light(220, 360 - lamp_rise, 20, 20, 20, 15, 15, 15);
        // Every non-black texmex pixel replaces the frame's: out = tab[texmex*31 + 25].
        s.full_light.plot_light(319, 239, 25, 25, 25, 0, 0, 0);

        if (music_time(ctl) <= 147999) {
            present(s.work);
        } else {
            // Through the maps the greetings left at k + 1: first unchanged,
            // then one level darker per frame, black after 32 more frames.
            s.fader.add_RGB(-1, -1, -1);
            flip_screen();
        }
        if (music_time(ctl) > 159999)
            ctl.quit = 1;
        poll_stop(ctl);
        wait_polling(ctl, 30);
    }
}
