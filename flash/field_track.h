// The transitions of one field under one rule (general or red): the field's
// accumulated change, how far it has come back from its extreme since the
// last transition, and the ticks of the recent transitions. Knows nothing
// of pixels.
#pragma once

#include <cstdint>

namespace flash {

// A field fails when more than this many transitions (three flashes) fall
// within one window of ticks.
inline constexpr int max_transitions = 6;
inline constexpr std::uint32_t window_ms = 1000;

class field_track {
public:
    // step: the accumulated change that makes a transition (lum_step, red_step).
    explicit field_track(int step) : step_(step) {}

    // The field's changes add up into one level. A transition is counted
    // when the level has moved a step or more away from its lowest (or
    // highest) value since the last transition, in the direction opposite to
    // that transition (either direction before the first): +1 up, -1 down.
    // turn() says which transition a change d would complete, 0 for none.
    int turn(std::int64_t d) const;
    // Applies change d at tick; returns turn(d).
    int step(std::int64_t d, std::uint32_t tick);
    // Transitions with ticks in (tick - window_ms, tick].
    int count(std::uint32_t tick) const;
    // Moves the ticks of the kept transitions by ms (a history taken over
    // into a run whose clock runs that much ahead or behind).
    void shift_ticks(std::int32_t ms);
    // Direction of the last transition (0 before the first).
    int direction() const { return dir_; }
    // A track of this step whose cursors lie in its ring (a track read back
    // as bytes from a file is checked with this before use).
    bool valid(int step) const {
        return step_ == step && dir_ >= -1 && dir_ <= 1 && kept_ >= 0 && kept_ <= capacity && newest_ >= -1 &&
               newest_ < capacity;
    }

private:
    static constexpr int capacity = 256;  // transitions kept (more per window only saturates count)
    int step_;
    std::int64_t level_ = 0, low_ = 0, high_ = 0;  // low_/high_: since the last transition
    int dir_ = 0;
    std::uint32_t ticks_[capacity] = {};
    int newest_ = -1;  // index of the newest tick in ticks_
    int kept_ = 0;
};

}  // namespace flash
