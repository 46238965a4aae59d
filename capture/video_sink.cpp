// The video capture: ffmpeg started on a pipe, the Matroska stream of
// distinct pictures and sound blocks, and the finished file renamed into place.
#include "video_sink.h"

#include "mkv_stream.h"
#include "sound_layer.h"
#include "frame_read_lock.h"
#include "yuv420.h"

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

video_sink::video_sink(std::string file, int fps, Uint32 expected_ticks)
    : capture_sink(std::move(file), expected_ticks), fps_(std::max(1, fps)) {}

video_sink::~video_sink() {
    if (writer_)
        writer_->finish();
    if (ffmpeg_)
        pclose(ffmpeg_);
    if (!part_.empty()) {
        std::error_code ec;
        fs::remove(part_, ec);
    }
}

bool video_sink::create(std::string& error) {
    std::error_code ec;
    if (std::system("ffmpeg -hide_banner -version >/dev/null 2>&1") != 0) {
        error = out_ + ": writing a video needs the ffmpeg program, which was not found";
        return false;
    }
    const fs::path target = fs::absolute(out_, ec);
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), ec);
    part_ = out_ + ".part";
    std::signal(SIGPIPE, SIG_IGN);  // a dying ffmpeg shows up as a failed write
    // The frames come with their own times (1 us units), so each distinct
    // picture is encoded once and lasts until the next; -r puts the
    // times on the --fps grid, which they already are on.
    // -xerror: an error ends ffmpeg with a failure status; without it one
    // in writing the file's end (a full disk) still exits 0.
    const std::string cmd =
        "ffmpeg -hide_banner -loglevel error -xerror -y -f matroska -i - -map 0:v -map 0:a "
        "-c:v libx264 -preset " + std::string(x264_preset) + " -crf " + std::to_string(x264_crf) +
        " -pix_fmt yuv420p -fps_mode vfr -r " + std::to_string(fps_) +
        // AAC's fast coder: a third of the default's time, as close to
        // the samples at 192 kbit/s
        " -c:a aac -aac_coder fast -b:a 192k -movflags +faststart -f mp4 " +
        shell_quote(part_);
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
    return true;
}

void video_sink::take_samples(const std::int16_t* samples, int frames) {
    audio_.insert(audio_.end(), samples, samples + static_cast<std::ptrdiff_t>(frames) * 2);
    send_audio(false);
}

void video_sink::send_audio(bool all) {
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

std::uint64_t video_sink::slot_of(Uint32 tick) const {
    // The first slot due at or after the flip: ceil((tick - start) * fps / 1000).
    const std::uint64_t t = tick - start_tick_;
    return (t * static_cast<std::uint64_t>(fps_) + 999) / 1000;
}

void video_sink::send_video(const std::vector<Uint16>& pixels, std::uint64_t slot) {
    const std::uint64_t us = (slot * 1000000 + static_cast<std::uint64_t>(fps_) / 2) /
                             static_cast<std::uint64_t>(fps_);
    pipe_writer::buffer b = writer_->take();
    b.resize(stamp_bytes + frame_bytes);
    std::memcpy(b.data(), &us, stamp_bytes);
    std::memcpy(b.data() + stamp_bytes, pixels.data(), frame_bytes);
    writer_->push(std::move(b), true);
}

void video_sink::send_pending() {
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

void video_sink::take_frame(SDL_Surface* shown, const flip_info& info) {
    started_ = true;
    if (!writer_)
        return;
    const std::uint64_t slot = slot_of(info.tick);
    if (have_pending_ && pending_slot_ < slot)
        send_pending();
    frame_read_lock lock(shown);
    const int w = std::min(frame_w, shown->w), h = std::min(frame_h, shown->h);
    const auto* base = static_cast<const std::uint8_t*>(shown->pixels);
    for (int y = 0; y < h; ++y)
        std::memcpy(&pending_[static_cast<size_t>(y) * frame_w],
                    base + static_cast<size_t>(y) * shown->pitch, static_cast<size_t>(w) * 2);
    pending_slot_ = slot;
    have_pending_ = true;
}

void video_sink::close(Uint32 end_tick) {
    if (!writer_)
        return;
    send_pending();
    // The last picture stays up to the end: it is sent once more in the
    // last slot due before end_tick + 1, so the video lasts that long.
    const std::uint64_t end_slot = started_ ? slot_of(end_tick + 1) : 0;
    if (have_sent_ && end_slot > sent_slot_ + 1)
        send_video(sent_, end_slot - 1);
    send_audio(true);
    std::string failure;
    if (!writer_->finish())
        failure = out_ + ": ffmpeg stopped taking frames";
    writer_.reset();
    const int status = pclose(ffmpeg_);
    ffmpeg_ = nullptr;
    if (status != 0 && failure.empty())
        failure = out_ + ": ffmpeg failed while encoding the video";
    std::error_code ec;
    if (failure.empty()) {
        fs::rename(part_, out_, ec);
        if (ec)
            failure = out_ + ": " + ec.message();
    }
    fs::remove(part_, ec);
    part_.clear();
    if (!failure.empty())
        note_error(failure);
}
