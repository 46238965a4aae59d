// Capture: numbered PNG frames and frames.csv, or raw frames piped to ffmpeg
// at a fixed rate (each output frame shows the latest flip at or before its
// time), plus the song's samples from tick 0 in a WAV; a progress bar.
#include "capture.h"

#include "frame_hash.h"
#include "png_write.h"
#include "sound_layer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
constexpr int frame_w = 640;
constexpr int frame_h = 480;

std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

std::string clock_text(Uint32 ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u:%02u.%01u", ms / 60000, (ms / 1000) % 60, (ms / 100) % 10);
    return buf;
}
}  // namespace

// ---- progress bar ----

void progress_bar::update(const frame_info& info) {
    const std::uint64_t now = display::now_ns();
    if (started_ns_ == 0)
        started_ns_ = now;
    if (info.music_playing && !music_seen_) {
        music_seen_ = true;
        music_start_tick_ = info.tick - info.music_ms;
        // The show's length is now known: the lead-in plus the song's part.
        expected_ = std::max(expected_, music_start_tick_ + 160000u);
    }
    const double done = expected_ ? std::min(1.0, double(info.tick) / expected_) : 0.0;
    const bool tty = isatty(STDERR_FILENO);
    const int tenth = static_cast<int>(done * 10);
    if (tty ? now - last_print_ns_ < 200'000'000ull : tenth == last_tenth_)
        return;
    last_print_ns_ = now;
    last_tenth_ = tenth;
    const double elapsed_s = double(now - started_ns_) * 1e-9;
    const double eta_s = done > 0.01 ? elapsed_s * (1.0 - done) / done : 0.0;
    constexpr int width = 30;
    const int filled = static_cast<int>(done * width);
    char bar[width + 1];
    for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '-';
    bar[width] = 0;
    std::fprintf(stderr, "%s[%s] %3d%%  music %s  frame %ld  ETA %s%s", tty ? "\r" : "", bar,
                 static_cast<int>(done * 100),
                 info.music_playing ? clock_text(info.music_ms).c_str() : "-:--.-", info.index,
                 done > 0.01 ? clock_text(static_cast<Uint32>(eta_s * 1000)).c_str() : "?",
                 tty ? "   " : "\n");
    printed_ = true;
}

void progress_bar::finish() {
    if (printed_ && isatty(STDERR_FILENO))
        std::fputc('\n', stderr);
}

// ---- capture sink ----

capture_sink::capture_sink(std::string out, bool video, int fps, int png_every,
                           Uint32 expected_ticks)
    : out_(std::move(out)), video_(video), fps_(std::max(1, fps)),
      png_every_(std::max(1, png_every)), progress_(expected_ticks) {}

capture_sink::~capture_sink() {
    sound_layer::set_sample_sink({});
    if (csv_)
        std::fclose(csv_);
    if (ffmpeg_)
        pclose(ffmpeg_);
}

bool capture_sink::open(std::string& error) {
    std::error_code ec;
    if (video_) {
        if (std::system("ffmpeg -hide_banner -version >/dev/null 2>&1") != 0) {
            error = out_ + ": writing a video needs the ffmpeg program, which was not found";
            return false;
        }
        const fs::path target = fs::absolute(out_, ec);
        if (target.has_parent_path())
            fs::create_directories(target.parent_path(), ec);
        video_tmp_ = out_ + ".video.mp4";
        audio_path_ = out_ + ".audio.wav";
        std::signal(SIGPIPE, SIG_IGN);  // a dying ffmpeg shows up as a failed write
        const std::string cmd =
            "ffmpeg -hide_banner -loglevel error -y -f rawvideo -pixel_format rgb565le "
            "-video_size 640x480 -framerate " + std::to_string(fps_) +
            " -i - -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p " +
            shell_quote(video_tmp_);
        ffmpeg_ = popen(cmd.c_str(), "w");
        if (!ffmpeg_) {
            error = out_ + ": cannot start ffmpeg: " + std::strerror(errno);
            return false;
        }
        last_.assign(static_cast<size_t>(frame_w) * frame_h, 0);
    } else {
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
        audio_path_ = (fs::path(out_) / "audio.wav").string();
    }
    if (!wav_.open(audio_path_, sound_layer::rate, 2, error))
        return false;
    sound_layer::set_sample_sink(
        [this](const std::int16_t* samples, int frames) { wav_.write(samples, frames); });
    return true;
}

void capture_sink::emit_video_frames(Uint32 until_tick) {
    // Output frame k is due at k * 1000 / fps ms; it shows the frame on
    // screen at that moment (black before the first flip).
    const std::uint64_t limit = static_cast<std::uint64_t>(until_tick) * fps_;
    while (static_cast<std::uint64_t>(video_frames_) * 1000 < limit) {
        if (std::fwrite(last_.data(), sizeof(Uint16), last_.size(), ffmpeg_) != last_.size() &&
            error_.empty())
            error_ = out_ + ": ffmpeg stopped taking frames";
        ++video_frames_;
    }
}

void capture_sink::frame(SDL_Surface* shown, const frame_info& info) {
    progress_.update(info);
    if (!shown)
        return;
    if (video_) {
        if (!ffmpeg_)
            return;
        emit_video_frames(info.tick);
        const bool locked = SDL_MUSTLOCK(shown) && SDL_LockSurface(shown) == 0;
        const int w = std::min(frame_w, shown->w), h = std::min(frame_h, shown->h);
        const auto* base = static_cast<const std::uint8_t*>(shown->pixels);
        for (int y = 0; y < h; ++y)
            std::memcpy(&last_[static_cast<size_t>(y) * frame_w],
                        base + static_cast<size_t>(y) * shown->pitch, static_cast<size_t>(w) * 2);
        if (locked)
            SDL_UnlockSurface(shown);
        return;
    }
    const std::string hash = frame_hash::text(frame_hash::of(shown));
    if (info.music_playing)
        std::fprintf(csv_, "%ld,%u,%u,%d,%d,%d,%s,%s\n", info.index, info.tick, info.music_ms,
                     info.order, info.pattern, info.row, info.scene, hash.c_str());
    else
        std::fprintf(csv_, "%ld,%u,,,,,%s,%s\n", info.index, info.tick, info.scene, hash.c_str());
    if (info.index % png_every_ == 0) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06ld.png", info.index);
        std::string err;
        if (write_png((fs::path(out_) / name).string(), shown, 1, err))
            ++pngs_;
        else if (error_.empty())
            error_ = err;
    }
}

bool capture_sink::finish(Uint32 end_tick, std::string& error) {
    progress_.finish();
    sound_layer::pump();
    sound_layer::set_sample_sink({});
    std::string wav_error;
    const bool wav_ok = wav_.close(wav_error);
    if (csv_) {
        if (std::fclose(csv_) != 0 && error_.empty())
            error_ = out_ + "/frames.csv: write failed";
        csv_ = nullptr;
    }
    if (video_ && ffmpeg_) {
        emit_video_frames(end_tick + 1);  // the last frame stays up to the end
        const int status = pclose(ffmpeg_);
        ffmpeg_ = nullptr;
        if (status != 0 && error_.empty())
            error_ = out_ + ": ffmpeg failed while encoding the frames";
        if (error_.empty() && wav_ok) {
            const std::string mux = "ffmpeg -hide_banner -loglevel error -y -i " +
                                    shell_quote(video_tmp_) + " -i " + shell_quote(audio_path_) +
                                    " -map 0:v -map 1:a -c:v copy -c:a aac -b:a 192k " +
                                    shell_quote(out_);
            if (std::system(mux.c_str()) != 0)
                error_ = out_ + ": ffmpeg failed while adding the sound";
        }
        std::error_code ec;
        fs::remove(video_tmp_, ec);
        fs::remove(audio_path_, ec);
    }
    if (error_.empty() && !wav_ok)
        error_ = wav_error;
    error = error_;
    return error_.empty();
}
