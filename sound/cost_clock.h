// The two clocks costs are measured by: wall time and this thread's CPU
// time, in ns. Here, at the bottom of the house, because the sound layer
// times its song rendering by them as the display times frames.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

namespace cost_clock {

inline std::uint64_t wall_ns() {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

inline std::uint64_t cpu_ns() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<std::uint64_t>(ts.tv_nsec);
}

}  // namespace cost_clock
