// The sound layer's renderer: song (or silence) to output frames in blocks
// of at most 256, with the position ring and the mono history. Touches no
// device and no clock.
#include "sound_render.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>

namespace sound_render {

namespace {
constexpr int64_t history_mask = history_frames - 1;

position report(openmpt_module* m, int64_t first, int frames) {
    position p;
    p.first = first;
    p.frames = frames;
    p.order = openmpt_module_get_current_order(m);
    p.pattern = openmpt_module_get_current_pattern(m);
    p.row = openmpt_module_get_current_row(m);
    return p;
}
}  // namespace

void renderer::start(openmpt_module* m) {
    module = m;
    song_start = out_frame;
    ring_count = 0;
    initial = position{};
    if (m) {
        openmpt_module_set_position_order_row(m, 0, 0);
        initial = report(m, 0, 0);
    }
}

void renderer::render(int16_t* out, int64_t frames) {
    while (frames > 0) {
        const int n = static_cast<int>(std::min<int64_t>(frames, block_frames));
        int16_t* block = out ? out : scratch.data();
        size_t made = 0;
        if (module) {
            made = openmpt_module_read_interleaved_stereo(module, rate, static_cast<size_t>(n), block);
            // The state libopenmpt reports now is that of the block's last frame.
            ring[static_cast<size_t>(ring_count % ring_entries)] = report(module, song_frames(), n);
            ++ring_count;
        }
        // silence, or a song that ended early: zeros after what was made
        std::fill(block + made * 2, block + static_cast<size_t>(n) * 2, int16_t{0});
        // mono = (left + right) / 65536, in -1..1
        for (int i = 0; i < n; ++i)
            history[static_cast<size_t>((out_frame + i) & history_mask)] =
                (static_cast<float>(block[2 * i]) + static_cast<float>(block[2 * i + 1])) * (1.0f / 65536.0f);
        out_frame += n;
        frames -= n;
        if (out)
            out += 2 * n;
    }
}

position renderer::at(int64_t a) const {
    if (song_start < 0 || a <= 0 || ring_count == 0)
        return initial;
    const int64_t oldest = std::max<int64_t>(0, ring_count - ring_entries);
    for (int64_t i = ring_count - 1; i >= oldest; --i) {
        const position& p = ring[static_cast<size_t>(i % ring_entries)];
        if (p.first <= a - 1) {
            // Blocks are contiguous, so the newest block starting at or before
            // a - 1 holds it, unless a is beyond what was rendered.
            return p;
        }
    }
    return ring[static_cast<size_t>(oldest % ring_entries)];
}

void renderer::copy_history(int64_t end, float* dst, int n) const {
    const int64_t kept_from = std::max<int64_t>(0, out_frame - history_frames);
    for (int i = 0; i < n; ++i) {
        const int64_t f = end - n + i;
        dst[i] = (f >= kept_from && f < out_frame) ? history[static_cast<size_t>(f & history_mask)] : 0.0f;
    }
}

int64_t audible_estimate(int64_t handed, int buffer, uint32_t ms_since, int64_t last, int64_t delay) {
    const int64_t since = static_cast<int64_t>(ms_since) * rate / 1000;  // floor(ms * 44.1)
    const int64_t heard = handed - 2 * int64_t{buffer} + std::min<int64_t>(since, buffer) - delay;
    return std::max({std::min(heard, handed), last, int64_t{0}});
}

}  // namespace sound_render
