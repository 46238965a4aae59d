// Renders an XM module through libopenmpt and measures it: the song position
// every 10 ms, level per block, peak and silences. The generator prints these
// figures and the song tests check them; nothing here writes a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace song {

struct position {
    int order = -1, pattern = -1, row = -1;
};

struct rendering {
    static constexpr int rate = 44100;
    static constexpr int block = 441;  // 10 ms
    double duration = 0;               // libopenmpt's estimate of the song length, s
    std::vector<position> positions;   // song position at the start of each block
    std::vector<double> block_power;   // mean square of both channels per block
    std::vector<float> mono;           // (left + right) / 2, for the spectrogram
    double peak = 0;                   // largest |sample| of either channel, 1.0 = full scale

    position at(double seconds) const;
    // Time in seconds of the first block that plays (pattern, row); -1 if none does.
    double start_of(int pattern, int row) const;
    double peak_dbfs() const;
    // RMS in dBFS over [from, to) seconds (-200 for pure silence).
    double rms_dbfs(double from, double to) const;
    // Longest run, in seconds, of 10 ms blocks quieter than `threshold_dbfs` within [from, to).
    double longest_quiet(double from, double to, double threshold_dbfs) const;
};

// Plays the module once from the start to its end (at most max_seconds).
// Returns false with a message when libopenmpt cannot load it.
bool render(const std::vector<uint8_t>& module_bytes, rendering& out, std::string& error, double max_seconds = 240.0);

}  // namespace song
