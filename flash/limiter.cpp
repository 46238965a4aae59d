// The limiter's search: all cells at full weight; while some field of any
// reading would go over the margin, weaken the cells of every such field
// (a field on the twelfth's step may cover parts of 3 x 3 cells: all of
// them) one step and measure those cells and their neighbours (whose ramps
// moved) again. One measure on the twelfth's grid serves both grids. Cells
// only weaken, and a field whose cells all hold cannot change (a pixel's
// weight never exceeds its cell's), so the search ends within a few rounds.
#include "limiter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
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

// Cell c of the sixth is fine cells (2cx, 2cy) .. (2cx+1, 2cy+1): the grids
// cut at the same columns and rows, so its sums are theirs added.
int first_fine_cell(int c) { return (c / grid_cells) * 2 * fine_cells + (c % grid_cells) * 2; }
void add(rule_sums& s, const rule_sums& r) {
    s.eligible += r.eligible;
    s.step += r.step;
    s.step_count += r.step_count;
}
cell_sums coarse_cell(const cell_sums fine[fine_cell_count], int c) {
    cell_sums s;
    const int f0 = first_fine_cell(c);
    for (const int f : {f0, f0 + 1, f0 + fine_cells, f0 + fine_cells + 1}) {
        add(s.general, fine[f].general);
        add(s.red, fine[f].red);
    }
    return s;
}
}  // namespace

limiter::limiter(int width, int height)
    : history_{analysis(width, height), cross_check(width, height)}, finished_(static_cast<size_t>(width) * static_cast<size_t>(height)) {
    for (int& w : weight_) w = full;
    ramps(shown().grid().x, ramp_left_, ramp_right_);
    ramps(shown().grid().y, ramp_top_, ramp_bottom_);
}

void limiter::set_state(const history& h) {
    if (h.shown.width() != shown().width() || h.shown.height() != shown().height())
        throw std::invalid_argument("flash limiter: a saved history of another frame size");
    history_ = h;
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
    const flash::grid& g = shown().grid();
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
    const frame_ref before = shown().previous();
    for (int y = g.y[cy]; y < g.y[cy + 1]; ++y) {
        const std::uint16_t* s = before.row(y);
        const std::uint16_t* f = finished_.data() + static_cast<size_t>(y) * shown().width();
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
    analysis& first = history_.shown;
    cross_check& cross = history_.cross;
    const frame_ref frame{pixels, pitch};
    cell_sums cells[cell_count];
    cell_sums fine[fine_cell_count];
    for (int& w : weight_) w = full;
    if (!first.has_previous()) {
        first.commit(frame, cells, tick);
        cross.commit(frame, fine, tick);
        return false;
    }
    // one pass over the frame measures both grids
    cross.measure(frame, fine);
    for (int c = 0; c < cell_count; ++c) cells[c] = coarse_cell(fine, c);
    std::uint32_t over = first.over_limit(cells, tick, margin);
    field_set fine_over = cross.over_limit(fine, tick, margin);
    if (over == 0 && fine_over.empty()) {
        first.commit(frame, cells, tick);
        cross.commit(frame, fine, tick);
        return false;
    }

    const int width = first.width();
    for (int y = 0; y < first.height(); ++y)
        std::memcpy(finished_.data() + static_cast<size_t>(y) * width, frame.row(y),
                    static_cast<size_t>(width) * sizeof(std::uint16_t));
    while (over != 0 || !fine_over.empty()) {
        bool weaken[cell_count] = {};
        for (int f = 0; f < field_count; ++f)
            if (over & (1u << f)) {
                const int c0 = (f / grid_fields) * grid_cells + f % grid_fields;
                weaken[c0] = weaken[c0 + 1] = weaken[c0 + grid_cells] = weaken[c0 + grid_cells + 1] = true;
            }
        // fine field (fx, fy) covers fine cells fx .. fx+3: cells fx/2 .. (fx+3)/2
        for (int f = 0; f < fine_field_count; ++f)
            if (fine_over.has(f)) {
                const int fx = f % fine_fields, fy = f / fine_fields;
                for (int y = fy / 2; y <= (fy + fine_field_span - 1) / 2; ++y)
                    for (int x = fx / 2; x <= (fx + fine_field_span - 1) / 2; ++x) weaken[y * grid_cells + x] = true;
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
                const int f0 = first_fine_cell(c);
                for (const int fc : {f0, f0 + 1, f0 + fine_cells, f0 + fine_cells + 1})
                    measure_fine_cell(cross.grid(), fc, cross.previous(), frame, fine[fc]);
                cells[c] = coarse_cell(fine, c);
            }
        over = first.over_limit(cells, tick, margin);
        fine_over = cross.over_limit(fine, tick, margin);
    }
    first.commit(frame, cells, tick);
    cross.commit(frame, fine, tick);
    ++history_.limited;
    return true;
}

void limiter::restore(std::uint16_t* pixels, int pitch) const {
    const flash::grid& g = shown().grid();
    for (int c = 0; c < cell_count; ++c) {
        if (!touched(c))
            continue;
        const int cx = c % grid_cells, cy = c / grid_cells;
        const int x0 = g.x[cx], n = g.x[cx + 1] - x0;
        for (int y = g.y[cy]; y < g.y[cy + 1]; ++y)
            std::memcpy(pixels + static_cast<long>(y) * pitch + x0,
                        finished_.data() + static_cast<size_t>(y) * shown().width() + x0,
                        static_cast<size_t>(n) * sizeof(std::uint16_t));
    }
}

}  // namespace flash
