// A streaming WAV writer for the captured song: 16-bit stereo PCM at the
// rate open is given, header patched with the final sizes on close. Owns its file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class wav_writer {
public:
    wav_writer() = default;
    ~wav_writer();
    wav_writer(const wav_writer&) = delete;
    wav_writer& operator=(const wav_writer&) = delete;

    bool open(const std::string& path, int rate, int channels, std::string& error);
    void write(const std::int16_t* interleaved, int frames);
    // Patches the header; false (with a message) if any write failed.
    bool close(std::string& error);
    std::uint64_t frames() const { return frames_; }

private:
    std::FILE* f_ = nullptr;
    std::string path_;
    int channels_ = 2;
    int rate_ = 0;  // set by open
    std::uint64_t frames_ = 0;
    bool failed_ = false;
};
