// The capture's common path: sound kept from the first captured frame on,
// the progress line, and the first error or the end message.
#include "capture.h"

#include "sound_layer.h"

#include <cstdio>

capture_sink::capture_sink(std::string out, Uint32 expected_ticks)
    : out_(std::move(out)), progress_(expected_ticks) {}

capture_sink::~capture_sink() { sound_layer::set_sample_sink({}); }

bool capture_sink::open(std::string& error) {
    if (!create(error))
        return false;
    sound_layer::set_sample_sink([this](const std::int16_t* samples, int frames) {
        if (started_ && frames > 0)
            take_samples(samples, frames);
    });
    return true;
}

void capture_sink::frame(SDL_Surface* shown, const flip_info& info) {
    if (!started_) {
        // Sound up to this tick belongs to frames not captured: render it
        // now (the flip's own music reading has done so already when the
        // song plays) and keep everything after.
        sound_layer::pump();
        started_ = true;
        start_tick_ = info.tick;
    }
    progress_.update(info);
    if (shown)
        take_frame(shown, info);
}

void capture_sink::note_error(const std::string& e) {
    if (error_.empty())
        error_ = e;
}

bool capture_sink::finish(Uint32 end_tick, long flips, std::string& error) {
    progress_.finish();
    sound_layer::pump();
    sound_layer::set_sample_sink({});
    close(end_tick);
    error = error_;
    if (!error_.empty())
        return false;
    std::fprintf(stderr, "ostramere: captured %ld frames (%u ms) to %s\n", flips, end_tick, out_.c_str());
    return true;
}
