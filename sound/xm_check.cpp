// The XM layout walk: the module header (from offset 60, its own size
// field), then each pattern (header size, packed data size), then each
// instrument (header size, sample header size, sample lengths in bytes), all
// summed in 64 bits against the file's size. Owns nothing.
#include "xm_check.h"

#include <cstdint>
#include <cstring>

namespace {

std::uint32_t le16(const unsigned char* p) { return p[0] | (std::uint32_t(p[1]) << 8); }
std::uint32_t le32(const unsigned char* p) { return le16(p) | (le16(p + 2) << 16); }

constexpr char signature[] = "Extended Module: ";
constexpr std::size_t signature_bytes = sizeof signature - 1;  // 17
constexpr std::size_t header_size_at = 60;                     // the header's own size field
constexpr std::size_t version_at = 58;

}  // namespace

std::string check_xm(const unsigned char* data, std::size_t size) {
    if (size < signature_bytes || std::memcmp(data, signature, signature_bytes) != 0)
        return "not an XM module (no \"Extended Module: \" signature)";
    auto cut = [&](const std::string& where, std::uint64_t need) {
        return "the file ends inside " + where + " (it holds " + std::to_string(size) +
               " bytes; its headers need at least " + std::to_string(need) + ")";
    };
    // the header up to the instrument count: 60 bytes, then size, length, restart,
    // channels, patterns, instruments
    if (size < header_size_at + 14) return cut("its header", header_size_at + 14);
    const std::uint32_t version = le16(data + version_at);
    if (version != 0x0104)
        return "XM version " + std::to_string(version >> 8) + "." + std::to_string((version >> 4) & 15) +
               std::to_string(version & 15) + " (the show reads 1.04)";
    const std::uint64_t header = le32(data + header_size_at);
    if (header < 20) return "its header size " + std::to_string(header) + " is below the 20 bytes of its fields";
    const std::uint32_t patterns = le16(data + header_size_at + 10);
    const std::uint32_t instruments = le16(data + header_size_at + 12);
    std::uint64_t pos = header_size_at + header;
    if (pos > size) return cut("its header", pos);

    for (std::uint32_t p = 0; p < patterns; ++p) {
        const std::string which = "pattern " + std::to_string(p);
        if (pos + 9 > size) return cut(which + "'s header", pos + 9);
        const std::uint64_t length = le32(data + pos);
        if (length < 9) return which + "'s header size " + std::to_string(length) + " is below 9 bytes";
        const std::uint64_t packed = le16(data + pos + 7);
        if (pos + length > size) return cut(which + "'s header", pos + length);
        pos += length + packed;
        if (pos > size) return cut(which + "'s data", pos);
    }
    for (std::uint32_t i = 0; i < instruments; ++i) {
        const std::string which = "instrument " + std::to_string(i + 1);
        if (pos + 29 > size) return cut(which + "'s header", pos + 29);
        const std::uint64_t length = le32(data + pos);
        const std::uint32_t samples = le16(data + pos + 27);
        const std::uint64_t min_length = samples > 0 ? 33 : 29;  // with samples: their header size
        if (length < min_length)
            return which + "'s header size " + std::to_string(length) + " is below " + std::to_string(min_length) +
                   " bytes";
        if (pos + length > size) return cut(which + "'s header", pos + length);
        if (samples == 0) {
            pos += length;
            continue;
        }
        const std::uint64_t sample_header = le32(data + pos + 29);
        if (sample_header < 40)
            return which + "'s sample header size " + std::to_string(sample_header) + " is below 40 bytes";
        pos += length;
        std::uint64_t sample_bytes = 0;
        for (std::uint32_t s = 0; s < samples; ++s) {
            if (pos + sample_header > size) return cut(which + "'s sample headers", pos + sample_header);
            sample_bytes += le32(data + pos);  // the length in bytes comes first
            pos += sample_header;
        }
        pos += sample_bytes;
        if (pos > size) return cut(which + "'s sample data", pos);
    }
    return {};
}
