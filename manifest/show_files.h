// The show's data files, listed once: each file's path under the data
// folder, what it is and the role it plays. The show's loaders and its data
// check read it, and the generator writes exactly these files. Header only,
// at the bottom of the house, so both programs can include it.
#pragma once

#include <string_view>

namespace show_files {

enum class kind {
    picture,      // PNG or JPEG, 640 x 480
    model,        // .3D model; min_objects: the highest object index used, plus one
    corner_room,  // .3D model drawn by the 2D room, textured from its picture
    song,         // XM module
};

struct file {
    const char* path;  // as the show opens it, from the data folder
    kind what;
    const char* role;
    int min_objects = 0;
    // The name under its folder ("lights.png").
    constexpr std::string_view name() const {
        const std::string_view p = path;
        return p.substr(p.rfind('/') + 1);
    }
    // The path under the data folder, without "./" ("gfx/lights.png").
    constexpr std::string_view in_data() const { return std::string_view(path).substr(2); }
};

inline constexpr int picture_w = 640;
inline constexpr int picture_h = 480;

// Pictures: every one is a 640 x 480 frame, card, texture, sprite sheet or
// sprite source: textures are addressed with the frame's pitch, the sheet
// lights and palette read up to row 479, the cards are waved to the bottom.
inline constexpr file lights{"./gfx/lights.png", kind::picture, "light sheet"};
inline constexpr file texmex{"./gfx/texmex.png", kind::picture, "full-screen light"};
inline constexpr file tann{"./gfx/tann.png", kind::picture, "nygris2 texture"};
inline constexpr file skin{"./gfx/skin.jpg", kind::picture, "nygris2 texture"};
inline constexpr file aug{"./gfx/aug.jpg", kind::picture, "nygris2 texture"};
inline constexpr file gold2{"./gfx/gold2.jpg", kind::picture, "nygris2 texture"};
inline constexpr file loadscreen{"./gfx/loadscreen.png", kind::picture, "loading picture"};
inline constexpr file logo3{"./gfx/logo3.png", kind::picture, "title card"};
inline constexpr file credits{"./gfx/credits.png", kind::picture, "title card"};
inline constexpr file presents{"./gfx/presents.png", kind::picture, "title card"};
inline constexpr file vormbrisk{"./gfx/vormbrisk.png", kind::picture, "title card"};
inline constexpr file bakgrunn5{"./gfx/bakgrunn5.png", kind::picture, "background"};
inline constexpr file bakgrunn6{"./gfx/bakgrunn6.png", kind::picture, "background"};
inline constexpr file bais{"./gfx/bais.png", kind::picture, "blob1 and rom2 texture"};
inline constexpr file light{"./gfx/light.png", kind::picture, "overlay light"};
inline constexpr file new3{"./gfx/new3.png", kind::picture, "background"};
inline constexpr file new1{"./gfx/new1.png", kind::picture, "background"};
inline constexpr file new2{"./gfx/new2.png", kind::picture, "background"};
inline constexpr file bakgrunn7{"./gfx/bakgrunn7.png", kind::picture, "corner room texture and background"};
inline constexpr file greets1{"./gfx/greets1.png", kind::picture, "greetings card"};
inline constexpr file greets2{"./gfx/greets2.png", kind::picture, "greetings light"};
inline constexpr file metal_2{"./gfx/metal_2.png", kind::picture, "rom2 texture"};

// Models.
inline constexpr file nygris2{"./gfx/nygris2.3D", kind::model, "model", 9};  // textures on 0..8
inline constexpr file blob1{"./gfx/blob1.3D", kind::model, "model", 1};         // texture on 0
inline constexpr file rom2{"./gfx/rom2.3D", kind::model, "model", 5};               // textures on 0..4
// The corner room's name holds the Latin-1 byte 0xF8 (o with stroke).
inline constexpr file corner_room{"./gfx/b_kunhj\xF8rner.3D", kind::corner_room, "corner room"};

// The song.
inline constexpr file song{"./sfx/demomusic.xm", kind::song, "soundtrack"};

// Every file, in the order the data check reports them.
inline constexpr const file* all[] = {
    &lights, &texmex,    &tann,      &skin,      &aug,  &gold2, &loadscreen, &logo3,   &credits,
    &presents, &vormbrisk, &bakgrunn5, &bakgrunn6, &bais, &light, &new3,      &new1,    &new2,
    &bakgrunn7, &greets1, &greets2,   &metal_2,   &nygris2, &blob1, &rom2,  &corner_room, &song,
};

}  // namespace show_files
