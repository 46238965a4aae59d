// Matroska stream bytes: EBML elements with 8-byte sizes (one fixed width,
// so every size is known before its element is written), one cluster per
// block. Knows nothing of the show; the capture sink decides what goes in.
#include "mkv_stream.h"

#include <cstring>

namespace mkv {
namespace {

// Element ids, written as their big-endian bytes.
constexpr std::uint32_t ebml_id = 0x1A45DFA3;
constexpr std::uint32_t ebml_version = 0x4286;
constexpr std::uint32_t ebml_read_version = 0x42F7;
constexpr std::uint32_t ebml_max_id_length = 0x42F2;
constexpr std::uint32_t ebml_max_size_length = 0x42F3;
constexpr std::uint32_t doc_type = 0x4282;
constexpr std::uint32_t doc_type_version = 0x4287;
constexpr std::uint32_t doc_type_read_version = 0x4285;
constexpr std::uint32_t segment = 0x18538067;
constexpr std::uint32_t info = 0x1549A966;
constexpr std::uint32_t timestamp_scale = 0x2AD7B1;
constexpr std::uint32_t muxing_app = 0x4D80;
constexpr std::uint32_t writing_app = 0x5741;
constexpr std::uint32_t tracks = 0x1654AE6B;
constexpr std::uint32_t track_entry = 0xAE;
constexpr std::uint32_t track_number = 0xD7;
constexpr std::uint32_t track_uid = 0x73C5;
constexpr std::uint32_t track_type = 0x83;
constexpr std::uint32_t flag_lacing = 0x9C;
constexpr std::uint32_t codec_id = 0x86;
constexpr std::uint32_t video = 0xE0;
constexpr std::uint32_t pixel_width = 0xB0;
constexpr std::uint32_t pixel_height = 0xBA;
constexpr std::uint32_t colour_space = 0x2EB524;
constexpr std::uint32_t audio = 0xE1;
constexpr std::uint32_t sampling_frequency = 0xB5;
constexpr std::uint32_t channels = 0x9F;
constexpr std::uint32_t bit_depth = 0x6264;
constexpr std::uint32_t cluster = 0x1F43B675;
constexpr std::uint32_t cluster_timestamp = 0xE7;
constexpr std::uint32_t simple_block = 0xA3;

constexpr int size_bytes = 8;

void put_id(std::string& out, std::uint32_t id) {
    int n = id > 0xFFFFFF ? 4 : id > 0xFFFF ? 3 : id > 0xFF ? 2 : 1;
    while (n--) out += static_cast<char>((id >> (8 * n)) & 0xFF);
}

// An 8-byte size: marker byte 0x01, then the value in 7 bytes, big-endian.
void put_size(std::string& out, std::uint64_t size) {
    out += '\x01';
    for (int i = 6; i >= 0; --i) out += static_cast<char>((size >> (8 * i)) & 0xFF);
}

void put_element(std::string& out, std::uint32_t id, const std::string& payload) {
    put_id(out, id);
    put_size(out, payload.size());
    out += payload;
}

void put_uint(std::string& out, std::uint32_t id, std::uint64_t v) {
    std::string p;
    for (int i = 7; i >= 0; --i) p += static_cast<char>((v >> (8 * i)) & 0xFF);
    put_element(out, id, p);
}

void put_float(std::string& out, std::uint32_t id, double v) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    std::string p;
    for (int i = 7; i >= 0; --i) p += static_cast<char>((bits >> (8 * i)) & 0xFF);
    put_element(out, id, p);
}

std::string track(int number, int type, const char* codec, std::uint32_t details_id,
                  const std::string& details) {
    std::string t;
    put_uint(t, track_number, static_cast<std::uint64_t>(number));
    put_uint(t, track_uid, static_cast<std::uint64_t>(number));
    put_uint(t, track_type, static_cast<std::uint64_t>(type));
    put_uint(t, flag_lacing, 0);
    put_element(t, codec_id, codec);
    put_element(t, details_id, details);
    std::string entry;
    put_element(entry, track_entry, t);
    return entry;
}

}  // namespace

std::string header(const stream_format& f) {
    std::string out;
    std::string h;
    put_uint(h, ebml_version, 1);
    put_uint(h, ebml_read_version, 1);
    put_uint(h, ebml_max_id_length, 4);
    put_uint(h, ebml_max_size_length, size_bytes);
    put_element(h, doc_type, "matroska");
    put_uint(h, doc_type_version, 4);
    put_uint(h, doc_type_read_version, 2);
    put_element(out, ebml_id, h);

    put_id(out, segment);
    out += std::string("\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8);  // unknown size: a stream

    std::string i;
    put_uint(i, timestamp_scale, f.timestamp_ns);
    put_element(i, muxing_app, "ostramere");
    put_element(i, writing_app, "ostramere");
    put_element(out, info, i);

    std::string v;
    put_uint(v, pixel_width, static_cast<std::uint64_t>(f.width));
    put_uint(v, pixel_height, static_cast<std::uint64_t>(f.height));
    put_element(v, colour_space, std::string("I420"));
    std::string t = track(video_track, 1, "V_UNCOMPRESSED", video, v);
    if (f.audio_rate > 0) {
        std::string a;
        put_float(a, sampling_frequency, f.audio_rate);
        put_uint(a, channels, static_cast<std::uint64_t>(f.audio_channels));
        put_uint(a, bit_depth, 16);
        t += track(audio_track, 2, "A_PCM/INT/LIT", audio, a);
    }
    put_element(out, tracks, t);
    return out;
}

std::string block_prefix(int track, std::uint64_t timestamp, std::size_t payload_bytes) {
    // SimpleBlock: track number (1-byte size form), 16-bit relative time 0,
    // flags 0x80 (key frame), then the payload.
    constexpr std::size_t block_head = 4;
    std::string ts;
    put_uint(ts, cluster_timestamp, timestamp);
    std::string out;
    put_id(out, cluster);
    put_size(out, ts.size() + 1 + size_bytes + block_head + payload_bytes);
    out += ts;
    put_id(out, simple_block);
    put_size(out, block_head + payload_bytes);
    out += static_cast<char>(0x80 | (track & 0x7F));
    out += '\0';
    out += '\0';
    out += '\x80';
    return out;
}

}  // namespace mkv
