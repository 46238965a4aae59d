// A capture to an MP4 through ffmpeg: each distinct picture with its own
// time on the --fps grid and the song's samples, as a Matroska stream piped
// from a writer thread that converts the pictures to YUV 4:2:0.
#pragma once

#include "capture.h"
#include "pipe_writer.h"

#include <cstdio>
#include <memory>
#include <vector>

class video_sink : public capture_sink {
public:
    video_sink(std::string file, int fps, Uint32 expected_ticks);
    ~video_sink() override;

private:
    bool create(std::string& error) override;
    void take_frame(SDL_Surface* shown, const flip_info& info) override;
    void take_samples(const std::int16_t* samples, int frames) override;
    void close(Uint32 end_tick) override;

    std::uint64_t slot_of(Uint32 tick) const;
    void send_video(const std::vector<Uint16>& pixels, std::uint64_t slot);
    void send_pending();
    void send_audio(bool all);

    int fps_;
    // Output slot k is due k / fps s after the first frame and shows the
    // latest flip at or before it. A flip waits in `pending_` until a later
    // slot's flip arrives (a later flip in the same slot replaces it); a
    // picture equal to the one sent last is not sent again.
    std::FILE* ffmpeg_ = nullptr;
    std::string part_;  // ffmpeg's output, renamed to out_ when done
    std::unique_ptr<pipe_writer> writer_;
    std::vector<Uint16> pending_;
    std::uint64_t pending_slot_ = 0;
    bool have_pending_ = false;
    std::vector<Uint16> sent_;  // the picture sent last
    std::uint64_t sent_slot_ = 0;
    bool have_sent_ = false;
    bool started_ = false;
    std::vector<std::int16_t> audio_;  // samples not sent yet, interleaved stereo
    std::uint64_t audio_sent_ = 0;     // sample frames sent
};
