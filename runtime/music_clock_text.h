// Times as the show's messages print them: m:ss.t (minutes, seconds, tenths).
#pragma once

#include <cstdint>
#include <string>

// 93300 ms -> "1:33.3"; tenths are cut, not rounded.
std::string music_clock_text(std::uint32_t ms);
