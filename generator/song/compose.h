// The composition of the show's soundtrack: chord progression, bass line,
// melodies and drum parts laid on the show's timeline, as an XM module record.
// Writes no file; the XM writer and the synthesis live in their own files.
#pragma once

#include "song/xm_writer.h"

namespace song {

constexpr int rows_per_pattern = 64;
constexpr int pattern_count = 22;  // 176 s: the song outlasts the 160 s show
constexpr int channel_count = 14;
constexpr double seconds_per_row = 0.125;  // speed 6 at 120 BPM: 6 ticks of 2.5 / 120 s

// Global row g = pattern * 64 + row; second s is row s / 0.125.
constexpr int row_at(double s) { return int(s / seconds_per_row); }

xm::module compose();

}  // namespace song
