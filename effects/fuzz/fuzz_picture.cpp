// libFuzzer target for the picture decoder: the input as a .png and as a
// .jpg file's bytes, and what decodes converted to RGB565 by one blit as the
// show loads a picture. Owns nothing beyond one run.
#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "bitmap.h"
#include "decode_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const char* name : {"fuzz.png", "fuzz.jpg"}) {
        std::string error;
        SDL_Surface* img = decode_image_bytes(data, size, name, error);
        if (!img) {
            if (error.empty()) __builtin_trap();  // a refusal always says why
            continue;
        }
        if (img->w < 1 || img->h < 1 || img->w > max_picture_w || img->h > max_picture_h)
            __builtin_trap();
        SDL_Surface* converted = new_surface16(img->w, img->h);
        SDL_Rect area{0, 0, static_cast<Uint16>(img->w), static_cast<Uint16>(img->h)};
        SDL_UpperBlit(img, &area, converted, &area);
        SDL_FreeSurface(converted);
        SDL_FreeSurface(img);
    }
    return 0;
}
