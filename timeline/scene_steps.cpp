// The small steps the scenes share: a blit between bitmaps through their own
// rectangles, and the report of a model that failed to load.
#include "printable.h"
#include "scenes.h"

#include <cstdio>

namespace scene {

void blit_onto(const bitmap& src, bitmap& dst) {
    SDL_Rect from = src.src_rect;
    SDL_Rect to = src.dst_rect;
    blit_surface(src.surface, &from, dst.surface, &to);
}

void report(const load_result& r) {
    if (!r)
        std::fprintf(stderr, "ostramere: %s\n", printable(r.message()).c_str());
}

}  // namespace scene
