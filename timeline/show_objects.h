// The show's objects, built by intro and shared by the loading screen and
// every scene: drawing targets, models, effects, motion tables, the control
// variables and the little state that passes from one scene to the next.
#pragma once

#include "bitmap.h"
#include "black_white.h"
#include "fade.h"
#include "flame.h"
#include "globals.h"
#include "display.h"
#include "pacing.h"
#include "light.h"
#include "noise.h"
#include "room.h"
#include "room_2D.h"
#include "scope.h"

struct show_objects {
    // Drawing targets, each a 640 x 480 16-bit surface until an image is loaded.
    bitmap work;          // the frame being composed; the usual dest_surface
    bitmap picture;       // loading screen, title cards, some backgrounds
    bitmap backdrop;
    bitmap overlay;
    bitmap alt_backdrop;  // texmex at start-up, new2 in the backdrop cycle
    bitmap light_sheet;   // lights.png: sheet lights and the flame palette

    // Models.
    room nygris2;
    room blob1;
    room rom2;
    room_2D corner_room;

    // Effects.
    light sheet_light[4];  // cut from the light sheet; [0] is made while loading
    light full_light;      // texmex.png over the whole frame
    light overlay_light;   // light.png in the corner room, greets2 in the greetings
    fade fader;            // target: the screen
    noise ripple;
    flame flames;
    scope spectrum;
    black_white blinker;

    // Motion paths: sin_l[i] = sin(i / 127.33), cos_l[i] = cos(i / 127.33),
    // the renderer's sintab and costab by the same rule.
    float sin_l[sin_table_size];
    float cos_l[sin_table_size];

    // quit, song, music_start, frame_start, scene_done, next_row.
    control ctl;

    // Passed between scenes: set once the beat scene passes 35000 ms and the
    // blob stops stretching; the corner room's blob starts active then.
    Uint8 blob_stretch_over = 0;
};
