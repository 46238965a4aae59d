// Capture sinks: every flipped frame to numbered PNG files plus frames.csv
// and the song's samples to audio.wav, or every distinct frame with its time
// and the samples to an MP4 through ffmpeg. Run on the simulated clock;
// reads the screen, never draws.
#pragma once

#include "display.h"
#include "pipe_writer.h"
#include "wav_writer.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A progress bar on stderr: share of the show done, music time, ETA.
class progress_bar {
public:
    explicit progress_bar(Uint32 expected_ticks) : expected_(expected_ticks) {}
    void update(const flip_info& info);
    void finish();

private:
    Uint32 expected_;
    Uint32 first_tick_ = 0;
    Uint32 music_start_tick_ = 0;
    bool music_seen_ = false;
    std::uint64_t started_ns_ = 0;
    std::uint64_t last_print_ns_ = 0;
    int last_tenth_ = -1;
    bool printed_ = false;
};

class capture_sink : public frame_sink {
public:
    // out: a folder (PNG frames, frames.csv, audio.wav), or a file ending in
    // .mp4. expected_ticks: the show's expected length, for the ETA.
    capture_sink(std::string out, bool video, int fps, int png_every, Uint32 expected_ticks);
    ~capture_sink() override;

    // False (with a message) when the output cannot be created.
    bool open(std::string& error) override;
    void frame(SDL_Surface* shown, const flip_info& info) override;
    // Writes the tail of the video and the audio; call after the show ends
    // at tick end_tick, after `flips` flips. Returns false with a message on
    // failure, otherwise says what it wrote on stderr.
    bool finish(Uint32 end_tick, long flips, std::string& error) override;

    long frames_written() const { return pngs_; }
    // Video: frames handed to the encoder (each distinct picture once).
    long video_frames() const { return video_frames_; }

private:
    void begin(const flip_info& info);
    std::uint64_t slot_of(Uint32 tick) const;
    void send_video(const std::vector<Uint16>& pixels, std::uint64_t slot);
    void send_pending();
    void take_samples(const std::int16_t* samples, int frames);
    void send_audio(bool all);

    std::string out_;
    bool video_;
    int fps_;
    int png_every_;
    progress_bar progress_;
    std::FILE* csv_ = nullptr;
    std::string audio_path_;
    wav_writer wav_;
    bool started_ = false;      // the first frame was seen; sound is kept from then on
    Uint32 start_tick_ = 0;     // its tick: time 0 of the capture

    // Video: output slot k is due k / fps s after the first frame and shows
    // the latest flip at or before it. A flip waits in `pending_` until a
    // later slot's flip arrives (a later flip in the same slot replaces
    // it); a picture equal to the one sent last is not sent again.
    std::FILE* ffmpeg_ = nullptr;
    std::string video_part_;    // ffmpeg's output, renamed to out_ when done
    std::unique_ptr<pipe_writer> writer_;
    std::vector<Uint16> pending_;
    std::uint64_t pending_slot_ = 0;
    bool have_pending_ = false;
    std::vector<Uint16> sent_;  // the picture sent last
    std::uint64_t sent_slot_ = 0;
    bool have_sent_ = false;
    std::vector<std::int16_t> audio_;  // samples not sent yet, interleaved stereo
    std::uint64_t audio_sent_ = 0;     // sample frames sent
    long video_frames_ = 0;
    long pngs_ = 0;
    std::string error_;         // first write error, reported by finish
};
