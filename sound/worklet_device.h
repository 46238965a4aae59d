// The browser's audio output as the sound layer sees it: a worklet on the
// audio thread plays blocks that the main thread renders ahead and posts
// through its port. Keeps the lead, and works out the heard frame from the
// worklet's reports and the output's frame clock. Talks to the worklet only
// through worklet_port (the page's script in the browser, a stand-in in tests).
#pragma once

#include "audio_device.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sound_device {

// What the port knows now, every count in frames at 44100 Hz.
struct worklet_report {
    enum class output { starting, running, failed };
    output state = output::starting;  // failed: no sound will come (the layer goes silent)
    int64_t played = 0;               // frames the worklet had played at its last report
    int64_t reported_at = 0;          // the output's frame clock at that report
    int64_t clock_now = 0;            // the output's frame clock now
    int64_t latency = 0;              // from the worklet to the ear (the output's own latency)
};

class worklet_port {
public:
    virtual ~worklet_port() = default;
    virtual bool open(std::string& why) = 0;
    virtual void close() = 0;
    // Hands the worklet `frames` frames: all left samples, then all right.
    virtual void post(const float* planar, int frames) = 0;
    virtual worklet_report report() = 0;
};

class worklet_device final : public device {
public:
    static constexpr int block_frames = 1024;  // posts are whole blocks (23 ms each)

    // Keeps at least `lead_frames` rendered and not yet played.
    worklet_device(worklet_port& port, int lead_frames) : port_(port), lead_(lead_frames) {}

    bool open(const host& h, int buffer_frames, std::string& why) override;
    void close() override;
    // Reads the port, then renders what the lead misses, in whole blocks,
    // and posts it at once.
    bool service() override;
    int64_t heard(int64_t handed, int64_t delay, int64_t last) override;

    int64_t posted() const { return posted_; }
    // Frames the worklet has played by now, as the last service saw it.
    int64_t played() const { return played_; }
    // Starves the services found (the worklet ran out of posted frames;
    // waiting for the first block is none).
    int starves() const { return starves_; }

private:
    worklet_port& port_;
    int lead_;
    host host_{};
    bool open_ = false;
    int64_t posted_ = 0;        // frames posted since open
    int64_t played_ = 0;        // frames played by now (estimate)
    int64_t latency_ = 0;
    int starves_ = 0;
    // An idle or starved worklet plays nothing: from the service that found
    // it so, play counts on from here until a later report arrives.
    int64_t resumed_at_ = -1;   // the frame clock then; -1: none
    int64_t resumed_from_ = 0;  // frames played then (all that was posted)
    std::vector<int16_t> pcm_ = std::vector<int16_t>(block_frames * 2);
    std::vector<float> planar_ = std::vector<float>(block_frames * 2);
};

}  // namespace sound_device
