// One field's runs and transitions under the second reading, with a ring of
// transition ticks counted over the window.
#include "run_track.h"

#include "field_track.h"

namespace flash {

int run_track::turn(std::int64_t d) const {
    if (d == 0)
        return 0;
    // sum = run + d when d continues the run, else d (a new run)
    if (continues(d) && counted_)
        return 0;
    const std::int64_t sum = continues(d) ? sum_ + d : d;
    return sum >= step_ ? 1 : -sum >= step_ ? -1 : 0;
}

int run_track::step(std::int64_t d, std::uint32_t tick) {
    const int t = turn(d);
    if (d != 0) {
        counted_ = continues(d) && counted_;
        sum_ = continues(d) ? sum_ + d : d;
    }
    if (t != 0) {
        counted_ = true;
        dir_ = t;
        ticks_[next_] = tick;
        next_ = (next_ + 1) % capacity;
        if (kept_ < capacity)
            ++kept_;
    }
    return t;
}

void run_track::shift_ticks(std::int32_t ms) {
    for (int i = 1; i <= kept_; ++i) ticks_[(next_ - i + capacity) % capacity] += static_cast<std::uint32_t>(ms);
}

int run_track::count(std::uint32_t tick) const {
    int n = 0;
    for (int i = 1; i <= kept_; ++i) {
        const std::uint32_t t = ticks_[(next_ - i + capacity) % capacity];
        if (tick - t >= window_ms)
            break;
        ++n;
    }
    return n;
}

}  // namespace flash
