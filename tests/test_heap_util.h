// The heap bytes this process holds (malloc's own count, mapped blocks
// included), for tests that a load or decode gives back all it takes; 0
// under the sanitizers, whose allocator keeps no such count (LeakSanitizer
// checks there instead).
#pragma once

#include <malloc.h>

#include <cstddef>

namespace heap_test {

inline long long in_use() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<long long>(m.uordblks + m.hblkhd);
}

}  // namespace heap_test
