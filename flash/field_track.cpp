// One field's transitions: the level, its extremes since the last
// transition, and a ring of transition ticks counted over the window.
#include "field_track.h"

namespace flash {

int field_track::turn(std::int64_t d) const {
    const std::int64_t level = level_ + d;
    if (dir_ != 1 && level - low_ >= step_)
        return 1;
    if (dir_ != -1 && high_ - level >= step_)
        return -1;
    return 0;
}

int field_track::step(std::int64_t d, std::uint32_t tick) {
    const int t = turn(d);
    level_ += d;
    if (t != 0) {
        dir_ = t;
        low_ = high_ = level_;
        newest_ = (newest_ + 1) % capacity;
        ticks_[newest_] = tick;
        if (kept_ < capacity)
            ++kept_;
    } else {
        if (level_ < low_)
            low_ = level_;
        if (level_ > high_)
            high_ = level_;
    }
    return t;
}

void field_track::shift_ticks(std::int32_t ms) {
    for (int i = 0, k = newest_; i < kept_; ++i, k = (k + capacity - 1) % capacity)
        ticks_[k] += static_cast<std::uint32_t>(ms);
}

int field_track::count(std::uint32_t tick) const {
    int n = 0;
    for (int i = 0, k = newest_; i < kept_; ++i, k = (k + capacity - 1) % capacity) {
        if (tick - ticks_[k] >= window_ms)
            break;
        ++n;
    }
    return n;
}

}  // namespace flash
