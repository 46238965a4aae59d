// Decodes a picture (decode_image) and converts it into a bitmap's own
// 16-bit surface by one blit. Owns nothing after it returns.
#include "load_image.h"

#include "bitmap.h"
#include "printable.h"
#include "trace.h"

#include "decode_image.h"

#include <cstdio>
#include <map>
#include <string>

namespace {
std::map<const bitmap*, std::string>& last_loads() {
    static std::map<const bitmap*, std::string> paths;
    return paths;
}
}  // namespace

const char* loaded_from(const bitmap& b) {
    const auto it = last_loads().find(&b);
    return it == last_loads().end() ? nullptr : it->second.c_str();
}

void load_image(bitmap& b, const char* path) {
    trace::note("image", path);
    std::string error;
    SDL_Surface* img = decode_image(path, error);
    if (!img) {
        std::fprintf(stderr, "ostramere: cannot load picture %s: %s\n", printable(path).c_str(),
                     error.c_str());
        return;
    }
    SDL_Surface* converted = new_surface16(img->w, img->h);
    if (!converted) {
        std::fprintf(stderr, "ostramere: no surface for picture %s (%dx%d): %s\n",
                     printable(path).c_str(), img->w,
                     img->h, SDL_GetError());
        SDL_FreeSurface(img);
        return;
    }
    b.replace_surface(converted);  // frees the old surface; rectangles = {0, 0, w, h}
    SDL_Rect src = b.src_rect;
    SDL_Rect dst = b.dst_rect;
    SDL_UpperBlit(img, &src, b.surface, &dst);  // converts every pixel to RGB565
    SDL_FreeSurface(img);
    last_loads()[&b] = path;
}
