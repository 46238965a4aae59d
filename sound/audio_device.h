// The audio output the sound layer plays through, as one interface: a device
// that pulls frames from its own thread (SDL's callback, the tests' stand-in)
// or one the main thread pushes blocks to ahead of time (the browser's
// worklet). A device owns no song: the layer hands it a source of frames.
#pragma once

#include <cstdint>
#include <string>

namespace sound_device {

// What the layer lends an open device.
struct host {
    // Renders the next `frames` output frames (interleaved stereo 16-bit at
    // 44100 Hz) into out. A pulling device calls it under its own lock.
    void (*fill)(int16_t* out, int frames) = nullptr;
    // The show's clock in ms.
    uint32_t (*ticks)() = nullptr;
    // Latency after the device's own buffers, in frames (null: none).
    int (*extra_latency_frames)() = nullptr;
};

class device {
public:
    virtual ~device() = default;
    // Starts the output with buffers of `buffer_frames`; false with the reason.
    virtual bool open(const host& h, int buffer_frames, std::string& why) = 0;
    // Stops it; no fill runs once this returns.
    virtual void close() = 0;
    // Bracket the layer's reads of what the fill changes.
    virtual void lock() {}
    virtual void unlock() {}
    // Main thread, before every reading: a pushing device renders ahead here.
    // False once the output has failed for good (the layer closes it and
    // keeps time by the clock).
    virtual bool service() { return true; }
    // The output frame heard now, given `handed` frames rendered in all,
    // `delay` frames of latency nobody reports (the user's offset), the
    // frame reported `last` time: never back, never beyond handed, never
    // below 0. Under the lock.
    virtual int64_t heard(int64_t handed, int64_t delay, int64_t last) = 0;
};

// A device that asks for buffers from a callback: what is heard is what it
// was handed less two buffers, moved on by the ms since its last request.
// Holds the stamps of that request; subclasses say how requests arrive.
class callback_device : public device {
public:
    int64_t heard(int64_t handed, int64_t delay, int64_t last) override;

protected:
    // One request of `frames` frames into out (the callback's body).
    void request(int16_t* out, int frames);
    // Forgets the last request (called when the output starts).
    void restart(const host& h);

    host host_{};
    uint32_t request_tick_ = 0;  // ticks at the end of the last request
    int request_frames_ = 0;     // frames asked for last time
    int latency_frames_ = 0;     // extra latency at the last request
};

// SDL's audio device (the desktop's output).
callback_device& sdl_output();

// A stand-in with no SDL behind it (tests): each feed is one request.
class test_device final : public callback_device {
public:
    bool open(const host& h, int, std::string&) override {
        restart(h);
        return true;
    }
    void close() override {}
    // One request of `frames` (none when frames <= 0); only while open.
    void feed(int frames);
};

}  // namespace sound_device
