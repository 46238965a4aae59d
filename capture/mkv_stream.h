// A minimal Matroska stream for handing captured frames to ffmpeg: raw
// pictures, each with its own timestamp, and 16-bit PCM sound. Builds bytes
// only (no files, no pipes); the caller writes them out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mkv {

struct stream_format {
    int width = 640;
    int height = 480;
    int audio_rate = 0;      // 0: no sound track
    int audio_channels = 2;  // 16-bit signed little-endian samples
    // Nanoseconds per timestamp unit (1000: timestamps in microseconds).
    std::uint64_t timestamp_ns = 1000;
};

inline constexpr int video_track = 1;
inline constexpr int audio_track = 2;

// The EBML header, the start of a segment of unknown length (a stream), the
// segment information and the track list: video track 1 as raw pictures
// (V_UNCOMPRESSED, I420: 8-bit Y, U and V planes, 4:2:0), sound track 2 (when the
// format has a rate) as A_PCM/INT/LIT.
std::string header(const stream_format& f);

// The bytes that go before a block of `payload_bytes` bytes of track
// `track` at timestamp `timestamp`: a cluster of its own holding one key
// frame. The block's bytes follow directly after.
std::string block_prefix(int track, std::uint64_t timestamp, std::size_t payload_bytes);

}  // namespace mkv
