// The sound layer's renderer: song (or silence) to output frames in blocks
// of 256 read whole from the song's start, with the position ring and the mono history. Touches no
// device and no clock.
#include "sound_render.h"

#include "song_cache.h"

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
    pending_at = block_frames;
    module_blocks = 0;
    cache.reset();
    if (m) {
        openmpt_module_set_position_order_row(m, 0, 0);
        initial = report(m, 0, 0);
    }
}

position renderer::fill_block(int64_t b) {
    // Blocks are read whole from song frame 0 on, so what libopenmpt makes
    // never depends on how the output was asked for (its samples near a
    // read's cut do, by a unit).
    position p{b * block_frames, block_frames, 0, 0, 0};
    if (cache && cache->holds(b)) {
        const auto i = static_cast<size_t>(b - cache->first_block);
        std::copy_n(cache->samples.data() + i * pending.size(), pending.size(), pending.data());
        const song_cache::block_position& q = cache->positions[i];
        p.order = q.order, p.pattern = q.pattern, p.row = q.row;
        return p;
    }
    if (module_blocks != b) {
        // past the cache: libopenmpt renders its way there from the start
        openmpt_module_set_position_order_row(module, 0, 0);
        for (module_blocks = 0; module_blocks < b; ++module_blocks)
            openmpt_module_read_interleaved_stereo(module, rate, block_frames, pending.data());
    }
    const size_t made = openmpt_module_read_interleaved_stereo(module, rate, block_frames, pending.data());
    ++module_blocks;
    // a song that ended early: zeros after what was made
    std::fill(pending.begin() + static_cast<std::ptrdiff_t>(made * 2), pending.end(), int16_t{0});
    // The state libopenmpt reports now is that of the block's last frame.
    return report(module, p.first, block_frames);
}

void renderer::next_block() {
    ring[static_cast<size_t>(ring_count % ring_entries)] = fill_block(song_frames() / block_frames);
    ++ring_count;
    pending_at = 0;
}

void renderer::render(int16_t* out, int64_t frames) {
    while (frames > 0) {
        int n = static_cast<int>(std::min<int64_t>(frames, block_frames));
        const int16_t* block = silence.data();
        if (module) {
            if (pending_at == block_frames)
                next_block();
            n = std::min(n, block_frames - pending_at);
            block = pending.data() + 2 * pending_at;
            pending_at += n;
        }
        if (out)
            std::copy_n(block, 2 * n, out);
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
