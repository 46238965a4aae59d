// The folder capture: frames.csv, numbered PNG files and audio.wav.
#include "folder_sink.h"

#include "pixel_hash.h"
#include "png_write.h"
#include "sound_layer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

folder_sink::folder_sink(std::string folder, int png_every, Uint32 expected_ticks)
    : capture_sink(std::move(folder), expected_ticks), png_every_(std::max(1, png_every)) {}

folder_sink::~folder_sink() {
    if (csv_)
        std::fclose(csv_);
}

bool folder_sink::create(std::string& error) {
    std::error_code ec;
    fs::create_directories(out_, ec);
    if (ec) {
        error = out_ + ": cannot create the capture folder: " + ec.message();
        return false;
    }
    const std::string csv = (fs::path(out_) / "frames.csv").string();
    csv_ = std::fopen(csv.c_str(), "w");
    if (!csv_) {
        error = csv + ": " + std::strerror(errno);
        return false;
    }
    std::fputs("frame,tick_ms,music_ms,order,pattern,row,scene,hash\n", csv_);
    return wav_.open((fs::path(out_) / "audio.wav").string(), sound_layer::rate, 2, error);
}

void folder_sink::take_frame(SDL_Surface* shown, const flip_info& info) {
    const std::string hash = pixel_hash::text(pixel_hash::of(shown));
    if (info.music_playing)
        std::fprintf(csv_, "%ld,%u,%u,%d,%d,%d,%s,%s\n", info.index, info.tick, info.music_ms,
                     info.order, info.pattern, info.row, info.scene, hash.c_str());
    else
        std::fprintf(csv_, "%ld,%u,,,,,%s,%s\n", info.index, info.tick, info.scene, hash.c_str());
    if (info.index % png_every_ == 0) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06ld.png", info.index);
        std::string err;
        if (!write_png((fs::path(out_) / name).string(), shown, 1, err))
            note_error(err);
    }
}

void folder_sink::take_samples(const std::int16_t* samples, int frames) { wav_.write(samples, frames); }

void folder_sink::close(Uint32) {
    if (!csv_)
        return;
    if (std::fclose(csv_) != 0)
        note_error(out_ + "/frames.csv: write failed");
    csv_ = nullptr;
    std::string wav_error;
    if (!wav_.close(wav_error))
        note_error(wav_error);
}
