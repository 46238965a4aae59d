// The analysis: field changes from cell sums, the per-field tracks, and the
// verdict of each frame.
#include "analysis.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace flash {

namespace {
rule_sums field_sums(const cell_sums cells[cell_count], int f, bool red) {
    const int c0 = (f / grid_fields) * grid_cells + f % grid_fields;
    rule_sums s;
    for (const int c : {c0, c0 + 1, c0 + grid_cells, c0 + grid_cells + 1}) {
        const rule_sums& r = red ? cells[c].red : cells[c].general;
        s.eligible += r.eligible;
        s.step += r.step;
        s.step_count += r.step_count;
    }
    return s;
}
}  // namespace

std::int64_t first_change(const rule_sums& s, int pixels) {
    if (4 * static_cast<std::int64_t>(s.step_count) >= pixels)
        return s.step / s.step_count;
    return s.eligible / pixels;
}

analysis::analysis(int width, int height)
    : width_(width), height_(height), grid_(width, height),
      general_(field_count, field_track(lum_step)), red_(field_count, field_track(red_step)) {
    if (width < grid_cells || height < grid_cells)
        throw std::invalid_argument("flash analysis: a " + std::to_string(width) + "x" +
                                    std::to_string(height) + " frame is smaller than its 6x6 grid");
    previous_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
}

void analysis::measure(frame_ref f, cell_sums out[cell_count]) const {
    measure_frame(grid_, previous(), f, out);
}

std::int64_t analysis::change(const cell_sums cells[cell_count], int f, bool red) const {
    return first_change(field_sums(cells, f, red), grid_.field_pixels(f));
}

std::uint32_t analysis::over_limit(const cell_sums cells[cell_count], std::uint32_t tick, int limit) const {
    std::uint32_t over = 0;
    for (int f = 0; f < field_count; ++f) {
        const bool general = general_[f].turn(change(cells, f, false)) != 0 &&
                             general_[f].count(tick) + 1 > limit;
        const bool red = red_[f].turn(change(cells, f, true)) != 0 &&
                         red_[f].count(tick) + 1 > limit;
        if (general || red)
            over |= 1u << f;
    }
    return over;
}

frame_verdict analysis::commit(frame_ref f, const cell_sums cells[cell_count], std::uint32_t tick) {
    frame_verdict v;
    if (frames_ > 0)
        for (int i = 0; i < field_count; ++i) {
            general_[i].step(change(cells, i, false), tick);
            red_[i].step(change(cells, i, true), tick);
        }
    for (int i = 0; i < field_count; ++i) {
        const int g = general_[i].count(tick), r = red_[i].count(tick);
        if (g > v.general) {
            v.general = g;
            v.general_field = i;
        }
        if (r > v.red) {
            v.red = r;
            v.red_field = i;
        }
    }
    for (int y = 0; y < height_; ++y)
        std::memcpy(previous_.data() + static_cast<size_t>(y) * width_, f.row(y),
                    static_cast<size_t>(width_) * sizeof(std::uint16_t));
    ++frames_;
    return v;
}

frame_verdict analysis::feed(frame_ref f, std::uint32_t tick) {
    cell_sums cells[cell_count];
    if (frames_ > 0)
        measure(f, cells);
    return commit(f, cells, tick);
}

bool analysis::restore(const state& s) {
    if (s.previous.size() != previous_.size() || s.general.size() != general_.size() ||
        s.red.size() != red_.size() || s.frames < 0)
        return false;
    for (const field_track& t : s.general)
        if (!t.valid(lum_step))
            return false;
    for (const field_track& t : s.red)
        if (!t.valid(red_step))
            return false;
    previous_ = s.previous;
    frames_ = s.frames;
    general_ = s.general;
    red_ = s.red;
    return true;
}

}  // namespace flash
