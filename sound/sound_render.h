// The sound layer's renderer: turns the playing song (or silence) into the
// output frame stream, reading the song in whole blocks of 256 frames from
// its first frame on (so its samples are the same however the output is
// asked for), and keeps the
// position ring and the mono history that time, row and spectrum read.
// Knows nothing of devices, threads or clocks; its owner serialises access.
#pragma once

#include "sound_format.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct openmpt_module;
namespace song_cache {
struct blocks;
}

namespace sound_render {

using sound_layer::block_frames;
using sound_layer::rate;
inline constexpr int history_frames = 1 << 16;  // mono samples kept, by output frame
inline constexpr int ring_entries = 1024;       // position records kept (~6 s)

// What libopenmpt reported after rendering a block: the block's first song
// frame and length, and the order, pattern and row at its end.
struct position {
    int64_t first = 0;
    int frames = 0;
    int order = 0;
    int pattern = 0;
    int row = 0;
};

struct renderer {
    openmpt_module* module = nullptr;  // the playing song; null = silence
    int64_t out_frame = 0;             // next output frame to render
    int64_t song_start = -1;           // output frame of song frame 0; -1 = not started
    position initial;                  // the song's state before its first frame
    std::array<position, ring_entries> ring{};
    int64_t ring_count = 0;            // records written so far
    std::vector<float> history = std::vector<float>(history_frames, 0.0f);  // mono, out_frame & mask
    // The song's current block (interleaved stereo) and the next of its
    // frames to hand out; block_frames = all handed out.
    std::array<int16_t, block_frames * 2> pending{};
    int pending_at = block_frames;
    std::array<int16_t, block_frames * 2> silence{};
    // Blocks taken from the song cache where it holds them; libopenmpt has
    // read module_blocks blocks of the song (a block the cache does not hold
    // first brings it there, from the song's start if need be).
    std::shared_ptr<const song_cache::blocks> cache;
    int64_t module_blocks = 0;

    // Starts `module` (may be null) at the next output frame: rewinds it,
    // takes its initial position, empties the ring.
    void start(openmpt_module* m);
    // Stops the song; silence follows (song frames keep counting).
    void stop() {
        module = nullptr;
        pending_at = block_frames;
        cache.reset();
    }

    // Renders `frames` output frames into out (interleaved stereo; null =
    // only history and ring). The song's blocks are read when their first
    // frame is asked for; the rest waits in `pending`.
    void render(int16_t* out, int64_t frames);
    // Reads the song's next block into pending and records its position.
    void next_block();
    // Puts the song's block b into pending, from the cache where it holds
    // it, else from libopenmpt (brought to block b first if it is not
    // there), and says the position after it. Records nothing.
    position fill_block(int64_t b);

    // Song frames rendered so far (0 before start).
    int64_t song_frames() const { return song_start < 0 ? 0 : out_frame - song_start; }
    // The song's position at song frame a: the record of the block that
    // holds frame a - 1 (the initial state for a <= 0). Frames older than
    // the ring get the oldest record kept, frames ahead of it the newest.
    position at(int64_t a) const;
    // The n mono samples of output frames [end - n, end); frames not
    // rendered yet, before 0 or older than the history read as 0.
    void copy_history(int64_t end, float* dst, int n) const;
};

// The output frame being heard with a device: `handed` frames given to the
// device so far, its last request `buffer` frames, `ms_since` ms since that
// request. Heard = handed - 2 * buffer + the frames of ms_since (at most one
// buffer: a late callback holds it) - `delay`, never beyond `handed`, below
// `last` nor 0. `delay` is latency the device does not report (the user's
// picture offset, in frames; negative when the pictures should lead).
int64_t audible_estimate(int64_t handed, int buffer, uint32_t ms_since, int64_t last,
                         int64_t delay = 0);

}  // namespace sound_render
