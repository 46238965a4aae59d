// The m:ss.t formatter behind every printed show time.
#include "music_clock_text.h"

#include <cstdio>

std::string music_clock_text(std::uint32_t ms) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%u:%02u.%u", static_cast<unsigned>(ms / 60000),
                  static_cast<unsigned>((ms / 1000) % 60), static_cast<unsigned>((ms / 100) % 10));
    return buf;
}
