// The limiter's search: all cells at full weight; while some field would go
// over the limit, weaken the cells of every such field one step and measure
// those cells and their neighbours (whose ramps moved) again. Cells only
// weaken, and a field whose cells all hold cannot change (a pixel's weight
// never exceeds its cell's), so the search ends within a few rounds.
#include "limiter.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace flash {

namespace {
// For each position along an axis cut at `cuts`: the ramp at its distance
// from the near and the far border of its cell (1 at the border pixel).
void ramps(const int* cuts, std::vector<int>& near, std::vector<int>& far) {
    near.resize(static_cast<size_t>(cuts[grid_cells]));
    far.resize(near.size());
    for (int i = 0; i < grid_cells; ++i) {
        const int a = cuts[i], b = cuts[i + 1], third = std::max(1, (b - a) / 3);
        for (int p = a; p < b; ++p) {
            near[static_cast<size_t>(p)] = (p - a + 1) * limiter::pixel_full / third;
            far[static_cast<size_t>(p)] = (b - p) * limiter::pixel_full / third;
        }
    }
}
constexpr int no_limit = 1 << 20;
}  // namespace

limiter::limiter(int width, int height)
    : shown_(width, height), finished_(static_cast<size_t>(width) * static_cast<size_t>(height)) {
    for (int& w : weight_) w = full;
    ramps(shown_.grid().x, ramp_left_, ramp_right_);
    ramps(shown_.grid().y, ramp_top_, ramp_bottom_);
}

std::uint16_t limiter::blend(std::uint16_t shown, std::uint16_t finished, int w) {
    // c = s + ((f - s) * w + 32) >> 6 for each channel (w = 64 gives f, w = 0 gives s)
    const int sr = shown >> 11, sg = (shown >> 5) & 63, sb = shown & 31;
    const int fr = finished >> 11, fg = (finished >> 5) & 63, fb = finished & 31;
    const int r = sr + (((fr - sr) * w + 32) >> 6);
    const int g = sg + (((fg - sg) * w + 32) >> 6);
    const int b = sb + (((fb - sb) * w + 32) >> 6);
    return static_cast<std::uint16_t>(r << 11 | g << 5 | b);
}

bool limiter::touched(int c) const {
    const int cx = c % grid_cells, cy = c / grid_cells;
    for (int y = std::max(0, cy - 1); y <= std::min(grid_cells - 1, cy + 1); ++y)
        for (int x = std::max(0, cx - 1); x <= std::min(grid_cells - 1, cx + 1); ++x)
            if (weight_[y * grid_cells + x] < full)
                return true;
    return false;
}

void limiter::compose(int c, std::uint16_t* pixels, int pitch) const {
    const flash::grid& g = shown_.grid();
    const int cx = c % grid_cells, cy = c / grid_cells;
    // n[1 + dy][1 + dx]: the neighbour's weight in 64ths (none: no limit).
    int n[3][3];
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int x = cx + dx, y = cy + dy;
            n[dy + 1][dx + 1] = x < 0 || y < 0 || x >= grid_cells || y >= grid_cells
                                    ? no_limit
                                    : weight_[y * grid_cells + x] * (pixel_full / full);
        }
    const frame_ref before = shown_.previous();
    for (int y = g.y[cy]; y < g.y[cy + 1]; ++y) {
        const std::uint16_t* s = before.row(y);
        const std::uint16_t* f = finished_.data() + static_cast<size_t>(y) * shown_.width();
        std::uint16_t* out = pixels + static_cast<long>(y) * pitch;
        const int up = ramp_top_[static_cast<size_t>(y)], down = ramp_bottom_[static_cast<size_t>(y)];
        // The row's limit from the cells above and below, corners aside.
        const int row_w = std::min({n[1][1], n[0][1] + up, n[2][1] + down});
        for (int x = g.x[cx]; x < g.x[cx + 1]; ++x) {
            const int left = ramp_left_[static_cast<size_t>(x)], right = ramp_right_[static_cast<size_t>(x)];
            const int w = std::min({row_w, n[1][0] + left, n[1][2] + right,
                                    n[0][0] + std::max(left, up), n[0][2] + std::max(right, up),
                                    n[2][0] + std::max(left, down), n[2][2] + std::max(right, down)});
            out[x] = w >= pixel_full ? f[x] : blend(s[x], f[x], w);
        }
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
                weakened = true;
            }
        if (!weakened)
            break;  // every such cell holds already (cannot happen: a held field does not change)
        // A weakened cell's ramps reach into its neighbours: them too.
        bool redo[cell_count] = {};
        for (int c = 0; c < cell_count; ++c)
            if (weaken[c]) {
                const int cx = c % grid_cells, cy = c / grid_cells;
                for (int y = std::max(0, cy - 1); y <= std::min(grid_cells - 1, cy + 1); ++y)
                    for (int x = std::max(0, cx - 1); x <= std::min(grid_cells - 1, cx + 1); ++x)
                        redo[y * grid_cells + x] = true;
            }
        for (int c = 0; c < cell_count; ++c)
            if (redo[c]) {
                compose(c, pixels, pitch);
                measure_cell(shown_.grid(), c, shown_.previous(), frame, cells[c]);
            }
        over = shown_.over_limit(cells, tick);
    }
    shown_.commit(frame, cells, tick);
    ++limited_;
    return true;
}

void limiter::restore(std::uint16_t* pixels, int pitch) const {
    const flash::grid& g = shown_.grid();
    for (int c = 0; c < cell_count; ++c) {
        if (!touched(c))
            continue;
        const int cx = c % grid_cells, cy = c / grid_cells;
        const int x0 = g.x[cx], n = g.x[cx + 1] - x0;
        for (int y = g.y[cy]; y < g.y[cy + 1]; ++y)
            std::memcpy(pixels + static_cast<long>(y) * pitch + x0,
                        finished_.data() + static_cast<size_t>(y) * shown_.width() + x0,
                        static_cast<size_t>(n) * sizeof(std::uint16_t));
    }
}

limiter::state limiter::save() const {
    state s;
    s.shown = shown_.save();
    std::copy(std::begin(weight_), std::end(weight_), std::begin(s.weight));
    s.limited = limited_;
    return s;
}

bool limiter::restore(const state& s) {
    for (int w : s.weight)
        if (w < 0 || w > full)
            return false;
    if (s.limited < 0 || !shown_.restore(s.shown))
        return false;
    std::copy(std::begin(s.weight), std::end(s.weight), std::begin(weight_));
    limited_ = s.limited;
    return true;
}

}  // namespace flash
