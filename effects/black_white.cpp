// black_white: a plain rectangle fill, clipped to the surface.
// Touches no pixel outside the given rectangle and surface.
#include "black_white.h"

#include <algorithm>

#include "pixel.h"

void black_white::blink(SDL_Surface* surface, int x, int y, int w, int h, unsigned short colour) {
    if (!surface) return;
    surface_lock lock(surface);
    // Columns x..x+w-1, rows y..y+h-1, formed in 64 bits so huge sizes cannot wrap.
    const int cx0 = std::max(x, 0);
    const int cy0 = std::max(y, 0);
    const int cx1 = static_cast<int>(std::min<long long>(static_cast<long long>(x) + w, lock.width));
    const int cy1 = static_cast<int>(std::min<long long>(static_cast<long long>(y) + h, lock.height));
    if (cx1 <= cx0) return;
    for (int yy = cy0; yy < cy1; ++yy) std::fill(lock.row(yy) + cx0, lock.row(yy) + cx1, colour);
}
