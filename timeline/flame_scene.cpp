// The flame, scope and light scene (from 40000 ms until pattern 10 begins):
// spectrum bars over bakgrunn6, two growing flames, nygris2 spinning about Z,
// four sweeping sheet lights, white flashes on two rows of pattern 9.
#include "pixel.h"
#include "scenes.h"


using scene::each_object;

namespace {

// Flame palette entry k = the light sheet's pixel at column 15, row 479 - k
// (the column's bottom 200 rows read bottom-up); rows outside the sheet give black.
void take_flame_palette(show_objects& s) {
    surface_lock sheet(s.light_sheet.surface);
    for (int k = 0; k < 200; ++k) {
        const int y = 479 - k;
        s.flames.palette[k] = (sheet.width > 15 && y < sheet.height) ? sheet.row(y)[15] : 0;
    }
}

}  // namespace

void run_flame_scene(show_objects& s) {
    scene::begin("flame");
    control& ctl = s.ctl;

    // Set-up: sheet_light[1] to [3], the flame, the scope.
    SDL_Surface* sheet = s.light_sheet.surface;
    for (int i = 1; i < 4; ++i)
        s.sheet_light[i].target = s.work.surface;
    trace::note("set_sprite", "sheet_light[1]");
    s.sheet_light[1].set_sprite(sheet, 382, 1, 568, 230, 0, 1);
    trace::note("set_sprite", "sheet_light[2]");
    s.sheet_light[2].set_sprite(sheet, 182, 240, 352, 479, 0, 1);
    trace::note("set_sprite", "sheet_light[3]");
    s.sheet_light[3].set_sprite(sheet, 354, 240, 639, 479, 0, 1);

    s.flames.set_target(s.work.surface);
    take_flame_palette(s);

    s.spectrum.target = s.work.surface;
    s.spectrum.column_offset = 0;
    s.spectrum.base_row = 479;
    s.spectrum.scale = 100;
    s.spectrum.last_column = 639;
    s.spectrum.index_step = 512.0f / 639.0f;  // 0.80125195

    int swing = 800;
    int direction = 0;  // 0: swing grows by 6; 1: falls by 6
    // The cursor starts at 1 so the beat falls on odd rows from the first
    // pattern on: rows 1, 3, .. 63, then the wrap restarts it at 1. (From 0
    // it would walk the even rows to 64 and never fire again.)
    ctl.next_row = 1;
    float t = 0.0f;        // flame wobble phase
    int flame_height = 0;  // the peak is flame_height >> 2 pixels
    int sweep_x = -200;    // drives the four sheet lights
    ctl.scene_done = 0;

    for (int frames = 0; frames <= 3199 && !ctl.quit && !ctl.scene_done; ++frames) {
        begin_frame(ctl);
        scene::blit_onto(s.backdrop, s.work);
        s.spectrum.plot(17, 17, 0);

        swing += direction == 1 ? -6 : 6;
        // Beat on odd rows: the swing reverses; rows above 62 restart the
        // cursor at 1 and the swing at 800.
        if (beat_trigger(ctl, 62, 1)) {
            direction = direction == 1 ? 0 : 1;
            if (ctl.next_row == 1)  // the cursor only returns to 1 by the wrap
                swing = 800;
        }

        if (music_time(ctl) > 44999 && flame_height <= 339)
            ++flame_height;
        const float peak = static_cast<float>(flame_height >> 2);
        s.flames.plot(50, 95, 30, peak, t * 3.0f, 0.4f);
        s.flames.plot(560, 95, 30, peak, (18.84f - t) * 3.0f, 0.4f);

        each_object(s.nygris2, [&](object& o) { o.rotate(3, swing, 2, 1); });
        clear_z_buffer();
        each_object(s.nygris2, [](object& o) { o.show(3, 1, 0, 0, 16, 16, 16); });

        // Sheet lights from 55000 ms, equal weights:
        // out = tab[sprite*31 + 15] + tab[dst*31 + 15].
        if (music_time(ctl) > 54999) {
            if (sweep_x <= 999)
                sweep_x += 2;
            s.sheet_light[0].plot_light(sweep_x, 220, 15, 15, 15, 15, 15, 15);
            s.sheet_light[1].plot_light(770 - sweep_x, 220, 15, 15, 15, 15, 15, 15);
            s.sheet_light[2].plot_light(sweep_x - 200, 220, 15, 15, 15, 15, 15, 15);
            s.sheet_light[3].plot_light(540 - sweep_x, 220, 15, 15, 15, 15, 15, 15);
        }

        // Flash: rows 24 and 28 of pattern 9 turn x 0..638, y 0..478 white.
        {
            const int row = row_byte(ctl);
            if (pattern_byte(ctl) == 9 && (row == 24 || row == 28))
                black_white::blink(s.work.surface, 0, 0, 639, 479, 0xFFFF);
        }

        present(s.work);

        t += 0.2f;
        if (t >= 6.28f)
            t = 0.0f;

        {
            const int row = row_byte(ctl);
            if (pattern_byte(ctl) == 10 && row >= 0 && row <= 2)
                ctl.scene_done = 1;
        }
        poll_stop(ctl);
        wait_quit_or_done(ctl, 30);
        poll_stop(ctl);
    }

    // The scene always closes on a white frame; the blob's set 1 is rebuilt
    // from the file, dropping the stretch and spin of the beat scene.
    trace::note("white frame");
    black_white::blink(s.work.surface, 0, 0, 639, 479, 0xFFFF);
    present(s.work);
    each_object(s.blob1, [](object& o) { o.scale(330, 330, 330, 0, 1); });
}
