// The limiter's search: all cells at full weight; while some field would go
// over the limit, weaken the cells of every such field one step and measure
// those cells again. Cells only weaken, and a field whose cells all hold
// cannot change, so the search ends within a few rounds.
#include "limiter.h"

#include <cstring>

namespace flash {

limiter::limiter(int width, int height)
    : shown_(width, height), finished_(static_cast<size_t>(width) * static_cast<size_t>(height)) {
    for (int& w : weight_) w = full;
}

std::uint16_t limiter::blend(std::uint16_t shown, std::uint16_t finished, int w) {
    // c = s + ((f - s) * w + 4) >> 3 for each channel (w = 8 gives f, w = 0 gives s)
    const int sr = shown >> 11, sg = (shown >> 5) & 63, sb = shown & 31;
    const int fr = finished >> 11, fg = (finished >> 5) & 63, fb = finished & 31;
    const int r = sr + (((fr - sr) * w + 4) >> 3);
    const int g = sg + (((fg - sg) * w + 4) >> 3);
    const int b = sb + (((fb - sb) * w + 4) >> 3);
    return static_cast<std::uint16_t>(r << 11 | g << 5 | b);
}

void limiter::compose(int c, std::uint16_t* pixels, int pitch) const {
    const flash::grid& g = shown_.grid();
    const int cx = c % grid_cells, cy = c / grid_cells, w = weight_[c];
    const frame_ref before = shown_.previous();
    for (int y = g.y[cy]; y < g.y[cy + 1]; ++y) {
        const std::uint16_t* s = before.row(y);
        const std::uint16_t* f = finished_.data() + static_cast<size_t>(y) * shown_.width();
        std::uint16_t* out = pixels + static_cast<long>(y) * pitch;
        for (int x = g.x[cx]; x < g.x[cx + 1]; ++x) out[x] = blend(s[x], f[x], w);
    }
}

bool limiter::apply(std::uint16_t* pixels, int pitch, std::uint32_t tick) {
    const frame_ref frame{pixels, pitch};
    cell_sums cells[cell_count];
    for (int& w : weight_) w = full;
    if (!shown_.has_previous()) {
        shown_.commit(frame, cells, tick);
        return false;
    }
    shown_.measure(frame, cells);
    std::uint32_t over = shown_.over_limit(cells, tick);
    if (over == 0) {
        shown_.commit(frame, cells, tick);
        return false;
    }

    const int width = shown_.width();
    for (int y = 0; y < shown_.height(); ++y)
        std::memcpy(finished_.data() + static_cast<size_t>(y) * width, frame.row(y),
                    static_cast<size_t>(width) * sizeof(std::uint16_t));
    while (over != 0) {
        bool weaken[cell_count] = {};
        for (int f = 0; f < field_count; ++f)
            if (over & (1u << f)) {
                const int c0 = (f / grid_fields) * grid_cells + f % grid_fields;
                weaken[c0] = weaken[c0 + 1] = weaken[c0 + grid_cells] = weaken[c0 + grid_cells + 1] = true;
            }
        bool weakened = false;
        for (int c = 0; c < cell_count; ++c)
            if (weaken[c] && weight_[c] > 0) {
                weight_[c] = weaker(weight_[c]);
                compose(c, pixels, pitch);
                measure_cell(shown_.grid(), c, shown_.previous(), frame, cells[c]);
                weakened = true;
            }
        if (!weakened)
            break;  // every such cell holds already (cannot happen: a held field does not change)
        over = shown_.over_limit(cells, tick);
    }
    shown_.commit(frame, cells, tick);
    ++limited_;
    return true;
}

void limiter::restore(std::uint16_t* pixels, int pitch) const {
    const flash::grid& g = shown_.grid();
    for (int c = 0; c < cell_count; ++c) {
        if (weight_[c] == full)
            continue;
        const int cx = c % grid_cells, cy = c / grid_cells;
        const int x0 = g.x[cx], n = g.x[cx + 1] - x0;
        for (int y = g.y[cy]; y < g.y[cy + 1]; ++y)
            std::memcpy(pixels + static_cast<long>(y) * pitch + x0,
                        finished_.data() + static_cast<size_t>(y) * shown_.width() + x0,
                        static_cast<size_t>(n) * sizeof(std::uint16_t));
    }
}

}  // namespace flash
