// The worklet output: the lead, the block hand-off (16-bit interleaved to
// float planar) and the heard frame from the worklet's reports. Main thread
// only; the worklet itself runs in the page.
#include "worklet_device.h"

#include <algorithm>

namespace sound_device {

bool worklet_device::open(const host& h, int, std::string& why) {
    if (!port_.open(why))
        return false;
    host_ = h;
    open_ = true;
    posted_ = played_ = latency_ = 0;
    starves_ = 0;
    resumed_at_ = -1;
    return true;
}

void worklet_device::close() {
    if (open_)
        port_.close();
    open_ = false;
}

bool worklet_device::service() {
    if (!open_)
        return true;
    const worklet_report r = port_.report();
    if (r.state == worklet_report::output::failed)
        return false;
    latency_ = std::max<int64_t>(0, r.latency);
    // Played by now: the last report moved on by the frame clock since, but
    // no further than what was posted (beyond it the worklet starves and
    // waits). After a starve found here, count from its end instead, until
    // a report from after it arrives. A worklet not running plays nothing.
    if (r.state == worklet_report::output::running) {
        int64_t from = r.played, at = r.reported_at;
        if (resumed_at_ > r.reported_at) {
            from = resumed_from_;
            at = resumed_at_;
        } else {
            resumed_at_ = -1;
        }
        const int64_t now = from + std::max<int64_t>(0, r.clock_now - at);
        played_ = std::min(posted_, now);
        if (now > posted_) {  // idle or starved since: it plays on once the next block arrives
            resumed_at_ = r.clock_now;
            resumed_from_ = posted_;
            starves_ += posted_ > 0;
        }
    } else {
        played_ = std::min(posted_, r.played);
    }
    // What is missing of the lead, in whole blocks, rendered first and then
    // posted as one: a main thread slowed or paused between two posts would
    // let the worklet start on the first and run dry before the next. One
    // block more than missing: each post costs the page a message, so they
    // come at most one in two blocks.
    const int64_t missing = lead_ - (posted_ - played_);
    if (missing <= 0)
        return true;
    const int blocks = static_cast<int>((missing + block_frames - 1) / block_frames) + 1;
    const size_t frames = static_cast<size_t>(blocks) * block_frames;
    if (planar_.size() < 2 * frames) {
        pcm_.resize(2 * frames);
        planar_.resize(2 * frames);
    }
    host_.fill(pcm_.data(), static_cast<int>(frames));
    // out = s / 32768, all left samples then all right
    for (size_t i = 0; i < frames; ++i) {
        planar_[i] = static_cast<float>(pcm_[2 * i]) * (1.0f / 32768.0f);
        planar_[frames + i] = static_cast<float>(pcm_[2 * i + 1]) * (1.0f / 32768.0f);
    }
    port_.post(planar_.data(), static_cast<int>(frames));
    posted_ += static_cast<int64_t>(frames);
    return true;
}

// Heard = handed less what is still queued (posted, not played) less the
// output's latency and the user's delay; never back, never beyond handed.
int64_t worklet_device::heard(int64_t handed, int64_t delay, int64_t last) {
    const int64_t h = handed - (posted_ - played_) - latency_ - delay;
    return std::max({std::min(h, handed), last, int64_t{0}});
}

}  // namespace sound_device
