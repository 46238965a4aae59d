// Capture: numbered PNG frames, frames.csv and the song's samples in a WAV;
// or a Matroska stream of distinct frames, each with its own time, and the
// samples, piped through a writer thread to ffmpeg; a progress bar.
#include "capture.h"

#include "frame_hash.h"
#include "mkv_stream.h"
#include "png_write.h"
#include "yuv420.h"
#include "music_clock_text.h"
#include "sound_layer.h"
#include "start.h"

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
constexpr std::size_t frame_bytes = static_cast<std::size_t>(frame_w) * frame_h * 2;
constexpr std::size_t stamp_bytes = 8;  // a queued picture: its time, then its pixels
// Sound goes to the encoder in blocks of 4410 sample frames: 100 ms, so each
// block's time is a whole number of microseconds.
constexpr std::uint64_t audio_block = 4410;
// The writer thread holds at most this much (about 50 frames) before the
// drawing waits for the encoder.
constexpr std::size_t max_queued = 32u << 20;
// x264 settings, measured on the whole show against the pictures handed to
// the encoder: veryfast at CRF 18 gave 75 MB, SSIM 0.981, PSNR 40.8 dB (worst
// frame 34.5) for 37-41 s of CPU; superfast at CRF 19 gives 87 MB, SSIM
// 0.978, PSNR 40.3 dB (worst 32.6) for 28 s, the same to the eye.
constexpr const char* x264_preset = "superfast";
constexpr int x264_crf = 19;

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
}  // namespace

// ---- progress bar ----

void progress_bar::update(const flip_info& info) {
    const std::uint64_t now = display::now_ns();
    if (started_ns_ == 0) {
        started_ns_ = now;
        first_tick_ = info.tick;
    }
    if (info.music_playing && !music_seen_) {
        music_seen_ = true;
        music_start_tick_ = info.tick - info.music_ms;
        // The show's length is now known: the lead-in plus the song's part.
        expected_ = std::max(expected_, music_start_tick_ + show_end_ms);
    }
    const double done = expected_ ? std::min(1.0, double(info.tick) / expected_) : 0.0;
    // A capture that starts late: the ETA counts from its first frame.
    const double first = expected_ ? std::min(1.0, double(first_tick_) / expected_) : 0.0;
    const double own = first < 1.0 ? std::max(0.0, (done - first) / (1.0 - first)) : 1.0;
    const bool tty = isatty(STDERR_FILENO);
    const int tenth = static_cast<int>(done * 10);
    if (tty ? now - last_print_ns_ < 200'000'000ull : tenth == last_tenth_)
        return;
    last_print_ns_ = now;
    last_tenth_ = tenth;
    const double elapsed_s = double(now - started_ns_) * 1e-9;
    const double eta_s = own > 0.01 ? elapsed_s * (1.0 - own) / own : 0.0;
    constexpr int width = 30;
    const int filled = static_cast<int>(done * width);
    char bar[width + 1];
    for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '-';
    bar[width] = 0;
    std::fprintf(stderr, "%s[%s] %3d%%  music %s  frame %ld  ETA %s%s", tty ? "\r" : "", bar,
                 static_cast<int>(done * 100),
                 info.music_playing ? music_clock_text(info.music_ms).c_str() : "-:--.-", info.index,
                 own > 0.01 ? music_clock_text(static_cast<Uint32>(eta_s * 1000)).c_str() : "?",
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
    if (writer_)
        writer_->finish();
    if (ffmpeg_)
        pclose(ffmpeg_);
    if (!video_part_.empty()) {
        std::error_code ec;
        fs::remove(video_part_, ec);
    }
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
        video_part_ = out_ + ".part";
        std::signal(SIGPIPE, SIG_IGN);  // a dying ffmpeg shows up as a failed write
        // The frames come with their own times (1 us units), so each distinct
        // picture is encoded once and lasts until the next; -r puts the
        // times on the --fps grid, which they already are on.
        const std::string cmd =
            "ffmpeg -hide_banner -loglevel error -y -f matroska -i - -map 0:v -map 0:a "
            "-c:v libx264 -preset " + std::string(x264_preset) + " -crf " + std::to_string(x264_crf) +
            " -pix_fmt yuv420p -fps_mode vfr -r " + std::to_string(fps_) +
            // AAC's fast coder: a third of the default's time, as close to
            // the samples at 192 kbit/s
            " -c:a aac -aac_coder fast -b:a 192k -movflags +faststart -f mp4 " +
            shell_quote(video_part_);
        ffmpeg_ = popen(cmd.c_str(), "w");
        if (!ffmpeg_) {
            error = out_ + ": cannot start ffmpeg: " + std::strerror(errno);
            return false;
        }
        // The writer thread turns each queued picture (its time, then RGB565
        // pixels) into a block of YUV 4:2:0 planes.
        writer_ = std::make_unique<pipe_writer>(
            ffmpeg_, max_queued, [](const pipe_writer::buffer& in, pipe_writer::buffer& out) {
                std::uint64_t us = 0;
                std::memcpy(&us, in.data(), stamp_bytes);
                const std::string prefix = mkv::block_prefix(mkv::video_track, us,
                                                             yuv420::size(frame_w, frame_h));
                out.resize(prefix.size() + yuv420::size(frame_w, frame_h));
                std::memcpy(out.data(), prefix.data(), prefix.size());
                yuv420::from_rgb565(reinterpret_cast<const Uint16*>(in.data() + stamp_bytes),
                                    frame_w, frame_h, frame_w, out.data() + prefix.size());
            });
        mkv::stream_format f;
        f.width = frame_w;
        f.height = frame_h;
        f.audio_rate = sound_layer::rate;
        f.audio_channels = 2;
        f.timestamp_ns = 1000;
        const std::string head = mkv::header(f);
        writer_->push(pipe_writer::buffer(head.begin(), head.end()));
        pending_.assign(static_cast<size_t>(frame_w) * frame_h, 0);
        sent_.assign(static_cast<size_t>(frame_w) * frame_h, 0);
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
        if (!wav_.open(audio_path_, sound_layer::rate, 2, error))
            return false;
    }
    sound_layer::set_sample_sink(
        [this](const std::int16_t* samples, int frames) { take_samples(samples, frames); });
    return true;
}

void capture_sink::begin(const flip_info& info) {
    // Sound up to this tick belongs to frames not captured: render it now
    // (the flip's own music reading has done so already when the song
    // plays) and keep everything after.
    sound_layer::pump();
    started_ = true;
    start_tick_ = info.tick;
}

void capture_sink::take_samples(const std::int16_t* samples, int frames) {
    if (!started_ || frames <= 0)
        return;
    if (!video_) {
        wav_.write(samples, frames);
        return;
    }
    audio_.insert(audio_.end(), samples, samples + static_cast<std::ptrdiff_t>(frames) * 2);
    send_audio(false);
}

void capture_sink::send_audio(bool all) {
    std::size_t done = 0;
    while (writer_) {
        const std::uint64_t left = (audio_.size() - done) / 2;
        const std::uint64_t n = all ? left : left / audio_block * audio_block;
        if (n == 0)
            break;
        const std::uint64_t us = audio_sent_ * 1000000 / sound_layer::rate;
        const std::size_t bytes = static_cast<std::size_t>(n) * 4;
        const std::string prefix = mkv::block_prefix(mkv::audio_track, us, bytes);
        pipe_writer::buffer b = writer_->take();
        b.reserve(prefix.size() + bytes);
        b.insert(b.end(), prefix.begin(), prefix.end());
        const auto* p = reinterpret_cast<const std::uint8_t*>(audio_.data() + done);
        b.insert(b.end(), p, p + bytes);  // little-endian host: the bytes as stored
        writer_->push(std::move(b));
        audio_sent_ += n;
        done += static_cast<std::size_t>(n) * 2;
    }
    audio_.erase(audio_.begin(), audio_.begin() + static_cast<std::ptrdiff_t>(done));
}

std::uint64_t capture_sink::slot_of(Uint32 tick) const {
    // The first slot due at or after the flip: ceil((tick - start) * fps / 1000).
    const std::uint64_t t = tick - start_tick_;
    return (t * static_cast<std::uint64_t>(fps_) + 999) / 1000;
}

void capture_sink::send_video(const std::vector<Uint16>& pixels, std::uint64_t slot) {
    const std::uint64_t us = (slot * 1000000 + static_cast<std::uint64_t>(fps_) / 2) /
                             static_cast<std::uint64_t>(fps_);
    pipe_writer::buffer b = writer_->take();
    b.resize(stamp_bytes + frame_bytes);
    std::memcpy(b.data(), &us, stamp_bytes);
    std::memcpy(b.data() + stamp_bytes, pixels.data(), frame_bytes);
    writer_->push(std::move(b), true);
    ++video_frames_;
}

void capture_sink::send_pending() {
    if (!have_pending_)
        return;
    have_pending_ = false;
    if (have_sent_ && std::memcmp(pending_.data(), sent_.data(), frame_bytes) == 0)
        return;  // the same picture: the one sent last stays up
    send_video(pending_, pending_slot_);
    std::swap(pending_, sent_);
    sent_slot_ = pending_slot_;
    have_sent_ = true;
}

void capture_sink::frame(SDL_Surface* shown, const flip_info& info) {
    if (!started_)
        begin(info);
    progress_.update(info);
    if (!shown)
        return;
    if (video_) {
        if (!writer_)
            return;
        const std::uint64_t slot = slot_of(info.tick);
        if (have_pending_ && pending_slot_ < slot)
            send_pending();
        const bool locked = SDL_MUSTLOCK(shown) && SDL_LockSurface(shown) == 0;
        const int w = std::min(frame_w, shown->w), h = std::min(frame_h, shown->h);
        const auto* base = static_cast<const std::uint8_t*>(shown->pixels);
        for (int y = 0; y < h; ++y)
            std::memcpy(&pending_[static_cast<size_t>(y) * frame_w],
                        base + static_cast<size_t>(y) * shown->pitch, static_cast<size_t>(w) * 2);
        if (locked)
            SDL_UnlockSurface(shown);
        pending_slot_ = slot;
        have_pending_ = true;
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

bool capture_sink::finish(Uint32 end_tick, long flips, std::string& error) {
    progress_.finish();
    sound_layer::pump();
    sound_layer::set_sample_sink({});
    if (csv_) {
        if (std::fclose(csv_) != 0 && error_.empty())
            error_ = out_ + "/frames.csv: write failed";
        csv_ = nullptr;
        std::string wav_error;
        if (!wav_.close(wav_error) && error_.empty())
            error_ = wav_error;
    }
    if (video_ && writer_) {
        send_pending();
        // The last picture stays up to the end: it is sent once more in the
        // last slot due before end_tick + 1, so the video lasts that long.
        const std::uint64_t end_slot = started_ ? slot_of(end_tick + 1) : 0;
        if (have_sent_ && end_slot > sent_slot_ + 1)
            send_video(sent_, end_slot - 1);
        send_audio(true);
        if (!writer_->finish() && error_.empty())
            error_ = out_ + ": ffmpeg stopped taking frames";
        writer_.reset();
        const int status = pclose(ffmpeg_);
        ffmpeg_ = nullptr;
        if (status != 0 && error_.empty())
            error_ = out_ + ": ffmpeg failed while encoding the video";
        std::error_code ec;
        if (error_.empty()) {
            fs::rename(video_part_, out_, ec);
            if (ec)
                error_ = out_ + ": " + ec.message();
        }
        fs::remove(video_part_, ec);
        video_part_.clear();
    }
    error = error_;
    if (!error_.empty())
        return false;
    std::fprintf(stderr, "ostramere: captured %ld frames (%u ms) to %s\n", flips, end_tick, out_.c_str());
    return true;
}
