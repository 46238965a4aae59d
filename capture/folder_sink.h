// A capture to a folder: every flipped frame listed in frames.csv with its
// times, position and hash, every Nth written as a numbered PNG, and the
// song's samples in audio.wav.
#pragma once

#include "capture.h"
#include "wav_writer.h"

#include <cstdio>

class folder_sink : public capture_sink {
public:
    folder_sink(std::string folder, int png_every, Uint32 expected_ticks);
    ~folder_sink() override;

private:
    bool create(std::string& error) override;
    void take_frame(SDL_Surface* shown, const flip_info& info) override;
    void take_samples(const std::int16_t* samples, int frames) override;
    void close(Uint32 end_tick) override;

    int png_every_;
    std::FILE* csv_ = nullptr;
    wav_writer wav_;
};
