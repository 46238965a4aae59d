// The PNG chunk walk: lengths against the bytes left, each CRC, IHDR first
// with a size the show can use, the IDAT chunks in one run, IEND last with
// nothing after it. Owns nothing; one table of 256 CRC steps, built once.
#include "png_check.h"

#include <array>
#include <cstring>

namespace {

constexpr std::array<std::uint32_t, 256> crc_table() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[n] = c;
    }
    return t;
}
constexpr std::array<std::uint32_t, 256> crc_steps = crc_table();

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

bool is_letter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Bit depths PNG allows for each colour type.
bool valid_depth(int type, int depth) {
    switch (type) {
    case 0: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6: return depth == 8 || depth == 16;
    default: return false;
    }
}

}  // namespace

std::uint32_t png_crc(const unsigned char* data, std::size_t size) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) c = crc_steps[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string check_png(const unsigned char* data, std::size_t size, std::uint32_t max_w,
                      std::uint32_t max_h, png_layout& out) {
    out = png_layout{};
    if (size < sizeof png_signature || std::memcmp(data, png_signature, sizeof png_signature) != 0)
        return "no PNG signature";
    std::size_t pos = sizeof png_signature;
    int index = 0;
    bool seen_idat = false, idat_run_over = false;  // idat_run_over: another chunk followed an IDAT
    for (;; ++index) {
        if (size - pos < 12)
            return "the file ends " + std::string(index == 0 ? "before its header chunk" :
                                                                "before its end chunk (IEND)");
        const std::uint32_t length = be32(data + pos);
        const unsigned char* type = data + pos + 4;
        const std::string name(reinterpret_cast<const char*>(type), 4);
        const std::string which = "chunk " + std::to_string(index);
        if (!is_letter(type[0]) || !is_letter(type[1]) || !is_letter(type[2]) || !is_letter(type[3]))
            return which + " has no valid type";
        if (length > size - pos - 12)
            return "the file ends inside " + which + " (" + name + ", " + std::to_string(length) +
                   " bytes claimed, " + std::to_string(size - pos - 12) + " left)";
        if (png_crc(type, std::size_t(length) + 4) != be32(type + 4 + length))
            return which + " (" + name + ") fails its CRC: the file is damaged";
        const unsigned char* body = type + 4;
        if (index == 0) {
            if (name != "IHDR" || length != 13) return "the first chunk is not a 13-byte IHDR";
            out.width = be32(body);
            out.height = be32(body + 4);
            out.bit_depth = body[8];
            out.colour_type = body[9];
            if (out.width == 0 || out.height == 0 || out.width > max_w || out.height > max_h)
                return "its size " + std::to_string(out.width) + "x" + std::to_string(out.height) +
                       " is beyond the " + std::to_string(max_w) + "x" + std::to_string(max_h) +
                       " the show can use";
            if (!valid_depth(out.colour_type, out.bit_depth) || body[10] != 0 || body[11] != 0 ||
                body[12] > 1)
                return "its header names no valid PNG layout (colour type " +
                       std::to_string(out.colour_type) + ", " + std::to_string(out.bit_depth) + " bits)";
        } else if (name == "IHDR") {
            return which + " is a second IHDR";
        } else if (name == "IDAT") {
            if (idat_run_over) return which + " is an IDAT after other chunks followed the image data";
            seen_idat = true;
            out.idat_bytes += length;
        } else if (name == "IEND") {
            if (out.idat_bytes == 0) return "it has no image data (IDAT) before its end";
            if (length != 0) return "its end chunk (IEND) is not empty";
            pos += 12;
            if (pos != size) return std::to_string(size - pos) + " bytes follow its end chunk (IEND)";
            return {};
        } else if (seen_idat) {
            idat_run_over = true;
        }
        pos += std::size_t(length) + 12;
    }
}
