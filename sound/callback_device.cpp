// Devices that pull buffers through a callback: the request stamps, the
// heard-frame estimate over them, and the tests' stand-in. Run no thread of
// their own; SDL's device (sdl_device.cpp) calls request from its own.
#include "audio_device.h"

#include "sound_render.h"

#include <algorithm>
#include <vector>

namespace sound_device {

void callback_device::restart(const host& h) {
    host_ = h;
    request_tick_ = h.ticks ? h.ticks() : 0;
    request_frames_ = 0;
    latency_frames_ = 0;
}

void callback_device::request(int16_t* out, int frames) {
    host_.fill(out, frames);
    request_tick_ = host_.ticks();
    request_frames_ = frames;
    if (host_.extra_latency_frames)
        latency_frames_ = std::max(0, host_.extra_latency_frames());
}

int64_t callback_device::heard(int64_t handed, int64_t delay, int64_t last) {
    return sound_render::audible_estimate(handed - latency_frames_, request_frames_, host_.ticks() - request_tick_,
                                          last, delay);
}

void test_device::feed(int frames) {
    if (frames <= 0)
        return;
    std::vector<int16_t> buffer(static_cast<size_t>(frames) * 2);
    request(buffer.data(), frames);
}

}  // namespace sound_device
