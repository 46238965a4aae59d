// The start-up loads and the loading screen: pictures into their bitmaps and
// textures, nygris2 scaled and turned, the sheet light and the full-screen
// light cut out, then nygris2 flying in front of the loading picture.
#include "loading.h"

#include "pacing.h"
#include "globals.h"
#include "load_image.h"
#include "printable.h"
#include "show_files.h"
#include "show_objects.h"
#include "trace.h"

#include <algorithm>
#include <cstdio>

namespace {

void read_model(room& r, const char* path) {
    trace::note("model", path);
    if (const load_result res = r.read_file(path); !res)
        std::fprintf(stderr, "ostramere: %s\n", printable(res.message()).c_str());
}

// Texture of nygris2 object i; objects beyond the model's count are skipped
// (the data check refuses such a model before the show starts).
void load_texture(room& r, int i, const char* path) {
    if (i < r.nr_objects)
        load_image(r.objects[i].tex, path);
}

}  // namespace

void load_assets(show_objects& s) {
    world_x = world_y = world_z = 0;

    load_image(s.light_sheet, show_files::lights.path);
    // sheet_light[0]: x 182..379, y 1..238 of the sheet, black left out.
    s.sheet_light[0].target = s.work.surface;
    s.sheet_light[0].set_sprite(s.light_sheet.surface, 182, 1, 380, 239, 0, 1);

    load_image(s.alt_backdrop, show_files::texmex.path);
    // The full-screen light: every non-black pixel of x 0..638, y 0..478.
    s.full_light.target = s.work.surface;
    s.full_light.set_sprite(s.alt_backdrop.surface, 0, 0, 639, 479, 0, 1);

    read_model(s.nygris2, show_files::nygris2.path);
    read_model(s.blob1, show_files::blob1.path);

    for (int i = 0; i < 5; ++i) load_texture(s.nygris2, i, show_files::tann.path);  // five separate loads
    load_texture(s.nygris2, 5, show_files::skin.path);
    load_texture(s.nygris2, 6, show_files::aug.path);
    load_texture(s.nygris2, 7, show_files::aug.path);
    load_texture(s.nygris2, 8, show_files::gold2.path);
    // Objects loaded from one picture draw with the first one's copy, so the
    // model reads five textures fewer (1..4 use 0's, 7 uses 6's).
    for (int i = 1; i < 5 && i < s.nygris2.nr_objects; ++i)
        s.nygris2.objects[i].shared_tex = &s.nygris2.objects[0].tex;
    if (s.nygris2.nr_objects > 7)
        s.nygris2.objects[7].shared_tex = &s.nygris2.objects[6].tex;

    // nygris2 at the origin, drawn into the work bitmap: set 1 = file x 300,
    // set 2 = set 1 turned three quarters about X.
    const int prepared = std::min(9, s.nygris2.nr_objects);
    for (int i = 0; i < prepared; ++i) {
        object& o = s.nygris2.objects[i];
        o.pos_x = o.pos_y = o.pos_z = 0;
    }
    dest_surface = s.work.surface;
    for (int i = 0; i < s.nygris2.nr_objects; ++i) s.nygris2.objects[i].scale(300, 300, 300, 0, 1);
    for (int i = 0; i < s.nygris2.nr_objects; ++i) s.nygris2.objects[i].rotate(1, 600, 1, 2);

    world_x = world_y = world_z = 0;
    load_image(s.picture, show_files::loadscreen.path);
}

void run_loading_screen(show_objects& s) {
    control& c = s.ctl;
    room& model = s.nygris2;
    set_scene("loading");
    if (c.quit || model.nr_objects == 0)
        return;
    int count = 0;
    do {
        begin_frame(c);
        for (int i = 0; i < model.nr_objects; ++i) model.objects[i].pos_z += 300;
        // Set 1 = set 2 turned about Y by 2c: two full turns over the loop.
        for (int i = 0; i < model.nr_objects; ++i) model.objects[i].rotate(2, 2 * count, 2, 1);
        // From the 32nd frame (pos_z 9600) the world moves back 350 a frame,
        // so the model's net depth falls by 50 a frame and it drifts away.
        if (model.objects[0].pos_z > 9500)
            world_z -= 350;
        SDL_UpperBlit(s.picture.surface, &s.picture.src_rect, s.work.surface, &s.picture.dst_rect);
        clear_z_buffer();
        for (int i = 0; i < model.nr_objects; ++i) model.objects[i].show(3, 1, 0, 0, 0, 0, 0);
        present(s.work);
        poll_stop(c);
        wait_polling(c, 30);
        count += 2;
    } while (count <= 799 && !c.quit);
}
