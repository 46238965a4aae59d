// Renders an XM module through libopenmpt (default settings, 44.1 kHz stereo
// float) and keeps the per-block figures the checks need. Writes no file.
#include "song/render.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace song {

position rendering::at(double seconds) const {
    if (positions.empty()) return {};
    const double b = std::clamp(seconds * rate / block, 0.0, double(positions.size() - 1));
    return positions[size_t(b)];
}

double rendering::start_of(int pattern, int row) const {
    for (size_t i = 0; i < positions.size(); ++i)
        if (positions[i].pattern == pattern && positions[i].row == row) return double(i) * block / rate;
    return -1.0;
}

double rendering::peak_dbfs() const { return peak > 0 ? 20.0 * std::log10(peak) : -200.0; }

double rendering::rms_dbfs(double from, double to) const {
    const size_t a = size_t(std::max(0.0, from * rate / block));
    const size_t b = std::min(block_power.size(), size_t(std::max(0.0, to * rate / block)));
    if (b <= a) return -200.0;
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += block_power[i];
    const double mean = sum / double(b - a);
    return mean > 1e-20 ? 10.0 * std::log10(mean) : -200.0;
}

double rendering::longest_quiet(double from, double to, double threshold_dbfs) const {
    const double limit = std::pow(10.0, threshold_dbfs / 10.0);
    const size_t a = size_t(std::max(0.0, from * rate / block));
    const size_t b = std::min(block_power.size(), size_t(std::max(0.0, to * rate / block)));
    size_t run = 0, longest = 0;
    for (size_t i = a; i < b; ++i) {
        run = block_power[i] < limit ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    // Blocks past the end of the rendering count as quiet.
    const size_t want = size_t(std::max(0.0, to * rate / block));
    if (want > b) longest = std::max(longest, run + (want - b));
    return double(longest) * block / rate;
}

bool render(const std::vector<uint8_t>& module_bytes, rendering& out, std::string& error, double max_seconds) {
    out = rendering{};
    std::ostringstream log;
    try {
        openmpt::module mod(module_bytes, log);
        mod.set_repeat_count(0);
        out.duration = mod.get_duration_seconds();
        const size_t max_blocks = size_t(max_seconds * rendering::rate / rendering::block);
        std::vector<float> left(rendering::block), right(rendering::block);
        out.mono.reserve(size_t(std::min(out.duration, max_seconds) * rendering::rate) + rendering::block);
        for (size_t b = 0; b < max_blocks; ++b) {
            out.positions.push_back({mod.get_current_order(), mod.get_current_pattern(), mod.get_current_row()});
            const size_t n = mod.read(rendering::rate, rendering::block, left.data(), right.data());
            if (n == 0) {
                out.positions.pop_back();
                break;
            }
            double power = 0;
            for (size_t i = 0; i < n; ++i) {
                const double l = left[i], r = right[i];
                power += l * l + r * r;
                out.peak = std::max({out.peak, std::fabs(l), std::fabs(r)});
                out.mono.push_back(float(0.5 * (l + r)));
            }
            out.block_power.push_back(power / double(2 * rendering::block));  // a short last block counts its missing frames as silence
        }
    } catch (const std::exception& e) {
        error = std::string("libopenmpt cannot load the module: ") + e.what() + " " + log.str();
        return false;
    }
    return true;
}

}  // namespace song
