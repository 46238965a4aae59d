// WAV output: a 44-byte RIFF header written up front and patched at close.
#include "wav_writer.h"

#include <cerrno>
#include <cstring>

namespace {
void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void header(std::uint8_t* h, int rate, int channels, std::uint32_t data_bytes) {
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + data_bytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);  // PCM
    put16(h + 22, static_cast<std::uint16_t>(channels));
    put32(h + 24, static_cast<std::uint32_t>(rate));
    put32(h + 28, static_cast<std::uint32_t>(rate * channels * 2));
    put16(h + 32, static_cast<std::uint16_t>(channels * 2));
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, data_bytes);
}
}  // namespace

wav_writer::~wav_writer() {
    std::string ignored;
    close(ignored);
}

bool wav_writer::open(const std::string& path, int rate, int channels, std::string& error) {
    path_ = path;
    rate_ = rate;
    channels_ = channels;
    frames_ = 0;
    failed_ = false;
    f_ = std::fopen(path.c_str(), "wb");
    if (!f_) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::uint8_t h[44];
    header(h, rate_, channels_, 0);
    failed_ = std::fwrite(h, 1, sizeof h, f_) != sizeof h;
    return true;
}

void wav_writer::write(const std::int16_t* interleaved, int frames) {
    if (!f_ || frames <= 0)
        return;
    const size_t n = static_cast<size_t>(frames) * channels_;
    // Samples are little-endian in the file, as they are in memory here.
    if (std::fwrite(interleaved, sizeof(std::int16_t), n, f_) != n)
        failed_ = true;
    frames_ += static_cast<std::uint64_t>(frames);
}

bool wav_writer::close(std::string& error) {
    if (!f_)
        return true;
    const std::uint64_t bytes = frames_ * static_cast<std::uint64_t>(channels_) * 2;
    std::uint8_t h[44];
    header(h, rate_, channels_, static_cast<std::uint32_t>(bytes > 0xFFFFFFD0u ? 0xFFFFFFD0u : bytes));
    if (std::fseek(f_, 0, SEEK_SET) != 0 || std::fwrite(h, 1, sizeof h, f_) != sizeof h)
        failed_ = true;
    if (std::fclose(f_) != 0)
        failed_ = true;
    f_ = nullptr;
    if (failed_)
        error = path_ + ": writing the audio failed";
    return !failed_;
}
