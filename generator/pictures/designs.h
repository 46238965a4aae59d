// The show's pictures as designs: one function per picture file, each
// painting a canvas for its role in the show. Writing files, the contact sheet
// and the list of pictures live in pictures.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/canvas.h"
#include "show_files.h"
#include "common/text.h"

namespace pic {

inline constexpr int frame_w = 640, frame_h = 480;

struct picture {
    const show_files::file* file = nullptr;  // which of the show's pictures
    image img{frame_w, frame_h};
    bool dither = true;  // ordered dither to RGB565 levels (PNG pictures)
    // Last touch on the 8-bit bytes: exact key colours, palette columns.
    std::function<void(std::vector<uint8_t>&)> finish;
};

// Title cards and greetings (cards.cpp).
picture make_logo(typesetter& ts);
picture make_credits(typesetter& ts);
picture make_presents(typesetter& ts);
picture make_title(typesetter& ts);
picture make_greets1(typesetter& ts);
picture make_greets2(typesetter& ts);
// Backgrounds (backgrounds.cpp).
picture make_loadscreen(typesetter& ts);
picture make_bakgrunn5(typesetter& ts);
picture make_bakgrunn6(typesetter& ts);
picture make_bakgrunn7(typesetter& ts);
picture make_new1(typesetter& ts);
picture make_new2(typesetter& ts);
picture make_new3(typesetter& ts);
// Light sprites and overlays (lights.cpp).
picture make_lights(typesetter& ts);
picture make_texmex(typesetter& ts);
picture make_light(typesetter& ts);
// Model textures (textures.cpp).
picture make_tann(typesetter& ts);
picture make_skin(typesetter& ts);
picture make_aug(typesetter& ts);
picture make_gold(typesetter& ts);
picture make_bais(typesetter& ts);
picture make_metal(typesetter& ts);

// Byte helpers for `finish`: the RGB565 value an 8-bit pixel converts to by
// truncation (as the show's loader converts it).
inline uint16_t to565(const uint8_t* p) {
    return uint16_t(((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3));
}

}  // namespace pic
