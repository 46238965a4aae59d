// The cross-check: field changes of both readings from the cells of a
// twelfth, the per-field tracks of each, and the verdicts of each frame.
//
// The second reading (broadcast analysers, ITU-R BT.1702's frame-level rules):
//   - a pixel changes by a step when |dL| >= 0.1 (20 cd/m2 on a 200 cd/m2
//     display) and the darker value is below 0.8 (160 cd/m2); red: a change
//     to or from saturated red of 20 in max(0, R-G-B)*320;
//   - a field's change counts only when those pixels cover a quarter of it
//     or more (the area rule), and is their mean change;
//   - same-sign changes add up into a run (a field with no counted change
//     leaves it going); a run makes one transition, when its sum first
//     reaches a step, and a change of the other sign starts a new run (a
//     flash is two opposing transitions);
//   - a field fails when more than 6 transitions (3 flashes) fall within
//     any 1000 ms; a frame fails while any field does.
// Flashes whose leading edges are 9 frames apart or more are acceptable by
// the published rules whatever their area; that only exempts, and no field
// is exempted here, so this reading is never more lenient for it.
#include "cross_check.h"

#include "analysis.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace flash {

std::int64_t second_change(const rule_sums& s, int pixels) {
    if (s.step_count == 0 || 4 * static_cast<std::int64_t>(s.step_count) < pixels)
        return 0;
    return s.step / s.step_count;
}

cross_check::cross_check(int width, int height)
    : width_(width), height_(height), grid_(width, height),
      first_general_(fine_field_count, field_track(lum_step)), first_red_(fine_field_count, field_track(red_step)),
      second_general_(fine_field_count, run_track(lum_step)), second_red_(fine_field_count, run_track(red_step)) {
    // at 6 pixels or more each field (4 cells of a twelfth) is at least 2 wide
    if (width < grid_cells || height < grid_cells)
        throw std::invalid_argument("flash cross-check: a " + std::to_string(width) + "x" +
                                    std::to_string(height) + " frame is smaller than 6x6");
    previous_.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
}

void cross_check::measure(frame_ref f, cell_sums out[fine_cell_count]) const {
    measure_fine_frame(grid_, previous(), f, out);
}

std::int64_t cross_check::first(const cell_sums cells[fine_cell_count], int f, bool red) const {
    return first_change(fine_field_sums(cells, f, red), grid_.field_pixels(f));
}

std::int64_t cross_check::second(const cell_sums cells[fine_cell_count], int f, bool red) const {
    return second_change(fine_field_sums(cells, f, red), grid_.field_pixels(f));
}

field_set cross_check::over_limit(const cell_sums cells[fine_cell_count], std::uint32_t tick, int limit) const {
    field_set over;
    const auto over_by = [&](const auto& track, std::int64_t d) {
        return track.turn(d) != 0 && track.count(tick) + 1 > limit;
    };
    for (int f = 0; f < fine_field_count; ++f)
        if (over_by(first_general_[f], first(cells, f, false)) || over_by(first_red_[f], first(cells, f, true)) ||
            over_by(second_general_[f], second(cells, f, false)) || over_by(second_red_[f], second(cells, f, true)))
            over.add(f);
    return over;
}

namespace {
void keep_worst(reading_verdict& v, int general, int red, int field) {
    if (general > v.general || red > v.red) {
        if ((general > red ? general : red) > v.worst())
            v.field = field;
        if (general > v.general)
            v.general = general;
        if (red > v.red)
            v.red = red;
    }
}
}  // namespace

cross_verdict cross_check::commit(frame_ref f, const cell_sums cells[fine_cell_count], std::uint32_t tick) {
    cross_verdict v;
    for (int i = 0; i < fine_field_count; ++i) {
        if (frames_ > 0) {
            first_general_[i].step(first(cells, i, false), tick);
            first_red_[i].step(first(cells, i, true), tick);
            second_general_[i].step(second(cells, i, false), tick);
            second_red_[i].step(second(cells, i, true), tick);
        }
        keep_worst(v.first_twelfth, first_general_[i].count(tick), first_red_[i].count(tick), i);
        const int g = second_general_[i].count(tick), r = second_red_[i].count(tick);
        keep_worst(v.second_twelfth, g, r, i);
        if (fine_grid::on_sixth(i))
            keep_worst(v.second_sixth, g, r, fine_grid::sixth_index(i));
    }
    for (int y = 0; y < height_; ++y)
        std::memcpy(previous_.data() + static_cast<size_t>(y) * width_, f.row(y),
                    static_cast<size_t>(width_) * sizeof(std::uint16_t));
    ++frames_;
    return v;
}

cross_verdict cross_check::feed(frame_ref f, std::uint32_t tick) {
    cell_sums cells[fine_cell_count];
    if (frames_ > 0)
        measure(f, cells);
    return commit(f, cells, tick);
}

bool cross_check::restore(const state& s) {
    if (s.previous.size() != previous_.size() || s.frames < 0 || s.first_general.size() != first_general_.size() ||
        s.first_red.size() != first_red_.size() || s.second_general.size() != second_general_.size() ||
        s.second_red.size() != second_red_.size())
        return false;
    for (size_t f = 0; f < first_general_.size(); ++f)
        if (!s.first_general[f].valid(lum_step) || !s.first_red[f].valid(red_step) ||
            !s.second_general[f].valid(lum_step) || !s.second_red[f].valid(red_step))
            return false;
    previous_ = s.previous;
    frames_ = s.frames;
    first_general_ = s.first_general;
    first_red_ = s.first_red;
    second_general_ = s.second_general;
    second_red_ = s.second_red;
    return true;
}

}  // namespace flash
