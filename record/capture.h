// Capture sinks: every flipped frame to numbered PNG files plus frames.csv,
// or to an MP4 through ffmpeg at a fixed frame rate; the song's samples to
// audio.wav. Run on the simulated clock; reads the screen, never draws.
#pragma once

#include "display.h"
#include "wav_writer.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// A progress bar on stderr: share of the show done, music time, ETA.
class progress_bar {
public:
    explicit progress_bar(Uint32 expected_ticks) : expected_(expected_ticks) {}
    void update(const frame_info& info);
    void finish();

private:
    Uint32 expected_;
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
    bool open(std::string& error);
    void frame(SDL_Surface* shown, const frame_info& info) override;
    // Writes the tail of the video and the audio; call after the show ends
    // at tick end_tick. Returns false with a message on failure.
    bool finish(Uint32 end_tick, std::string& error);

    long frames_written() const { return pngs_; }

private:
    void emit_video_frames(Uint32 until_tick);
    bool write_audio(const std::string& wav, std::string& error);

    std::string out_;
    bool video_;
    int fps_;
    int png_every_;
    progress_bar progress_;
    std::FILE* csv_ = nullptr;
    std::FILE* ffmpeg_ = nullptr;
    std::string video_tmp_;
    std::string audio_path_;
    wav_writer wav_;
    std::vector<Uint16> last_;  // the frame on screen, 640 x 480, for the video
    bool have_last_ = false;
    long video_frames_ = 0;     // output frames written to the video
    long pngs_ = 0;
    std::string error_;         // first write error, reported by finish
};
