// The transitions of one field under the second reading (the broadcast
// analysers'): runs of same-sign changes add up, and each run makes one
// transition, when its sum first reaches a step. Knows nothing of pixels.
#pragma once

#include <cstdint>

namespace flash {

class run_track {
public:
    // step: the sum that makes a transition (lum_step, red_step).
    explicit run_track(int step) : step_(step) {}

    // A change d of the same sign as the current run adds to it; one of the
    // other sign starts a new run; 0 (no change counted) leaves the run as
    // it is. A run makes one transition (+1 up, -1 down), when its sum first
    // reaches +step (-step): a run that turns back, however little, ends, and
    // the next one in the old direction counts again (a ramp with wobbles is
    // several). turn() says which transition d would complete, 0 for none.
    int turn(std::int64_t d) const;
    // Applies change d at tick; returns turn(d).
    int step(std::int64_t d, std::uint32_t tick);
    // Transitions with ticks in (tick - 1000, tick].
    int count(std::uint32_t tick) const;
    // Moves the ticks of the kept transitions by ms (see field_track).
    void shift_ticks(std::int32_t ms);
    int direction() const { return dir_; }
    // A track of this step whose cursors lie in its ring (see field_track).
    bool valid(int step) const {
        return step_ == step && dir_ >= -1 && dir_ <= 1 && kept_ >= 0 && kept_ <= capacity && next_ >= 0 &&
               next_ < capacity;
    }

private:
    static constexpr int capacity = 64;  // transitions kept; more in one window only saturates count
    bool continues(std::int64_t d) const { return sum_ != 0 && (d > 0) == (sum_ > 0); }
    int step_;
    std::int64_t sum_ = 0;  // the current run's sum (its sign is the run's)
    bool counted_ = false;  // the current run has made its transition
    int dir_ = 0;
    std::uint32_t ticks_[capacity] = {};
    int kept_ = 0, next_ = 0;  // ticks_[next_ - 1] is the newest
};

}  // namespace flash
