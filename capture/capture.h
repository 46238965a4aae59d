// What every capture shares: a headless run's flips and the song's samples
// from its first frame on, the progress line, and the end message. The
// folder sink and the video sink fill in where they go. Reads the screen,
// never draws.
#pragma once

#include "display.h"
#include "progress_bar.h"

#include <cstdint>
#include <string>

class capture_sink : public frame_sink {
public:
    // out: where the capture goes; expected_ticks: the show's expected
    // length, for the ETA.
    capture_sink(std::string out, Uint32 expected_ticks);
    ~capture_sink() override;

    bool open(std::string& error) final;
    void frame(SDL_Surface* shown, const flip_info& info) final;
    bool finish(Uint32 end_tick, long flips, std::string& error) final;

protected:
    // The output made ready (false with the reason).
    virtual bool create(std::string& error) = 0;
    virtual void take_frame(SDL_Surface* shown, const flip_info& info) = 0;
    // Sample frames (interleaved stereo) from the capture's first frame on.
    virtual void take_samples(const std::int16_t* samples, int frames) = 0;
    // The output completed after the last flip at end_tick; a failure goes
    // to note_error.
    virtual void close(Uint32 end_tick) = 0;
    // Keeps the first failure, which finish reports.
    void note_error(const std::string& e);

    std::string out_;
    Uint32 start_tick_ = 0;  // the first frame's tick: time 0 of the capture

private:
    progress_bar progress_;
    bool started_ = false;  // the first frame was seen; sound is kept from then on
    std::string error_;
};
