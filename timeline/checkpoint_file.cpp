// Checkpoint files: the header, the zlib-packed payload with its Adler-32,
// and the little-endian byte writer and bounds-checked reader.
#include "checkpoint_file.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace checkpoint {

namespace {
constexpr char magic[8] = {'O', 'S', 'T', 'R', 'A', 'C', 'K', 'P'};
// magic, version, program, data, gentle, settle, scene, tick, frame, music,
// payload size, packed size, payload Adler-32
constexpr std::size_t header_bytes = 8 + 4 + 8 + 8 + 1 + 1 + 4 + 4 + 8 + 4 + 8 + 8 + 4;

void put_header(writer& w, const header& h, std::uint64_t raw_size, std::uint64_t packed_size, std::uint32_t adler) {
    w.raw(magic, sizeof magic);
    w.u32(h.version);
    w.u64(h.program);
    w.u64(h.data);
    w.u8(h.gentle);
    w.u8(h.settle);
    w.i32(h.scene);
    w.u32(h.tick);
    w.i64(h.frame);
    w.u32(h.music_ms);
    w.u64(raw_size);
    w.u64(packed_size);
    w.u32(adler);
}

struct sizes {
    std::uint64_t raw = 0, packed = 0;
    std::uint32_t adler = 0;
};

bool get_header(reader& r, header& h, sizes& s, std::string& error) {
    char m[sizeof magic] = {};
    if (!r.raw(m, sizeof m, "the file's mark") || std::memcmp(m, magic, sizeof magic) != 0) {
        error = r.ok() ? "not a checkpoint file (no OSTRACKP mark)" : r.error();
        return false;
    }
    h.version = r.u32("the format version");
    if (r.ok() && h.version != format_version) {
        error = "checkpoint format " + std::to_string(h.version) + ", this program reads format " +
                std::to_string(format_version);
        return false;
    }
    h.program = r.u64("the program's identity");
    h.data = r.u64("the data's identity");
    h.gentle = r.u8("the gentle flag");
    h.settle = r.u8("the settle flag");
    h.scene = r.i32("the scene");
    h.tick = r.u32("the tick");
    h.frame = r.i64("the frame index");
    h.music_ms = r.u32("the music time");
    s.raw = r.u64("the payload's size");
    s.packed = r.u64("the packed payload's size");
    s.adler = r.u32("the payload's checksum");
    if (!r.ok()) {
        error = r.error();
        return false;
    }
    if (h.gentle > 1 || h.settle > 1 || h.frame < 0) {
        error = "a header value out of range";
        return false;
    }
    if (s.raw > max_payload) {
        error = "a payload of " + std::to_string(s.raw) + " bytes, more than any checkpoint holds";
        return false;
    }
    return true;
}

bool slurp(const std::string& path, std::vector<std::uint8_t>& out, std::string& error, std::size_t limit) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        error = path + ": cannot open (" + std::strerror(errno) + ")";
        return false;
    }
    out.clear();
    char buf[65536];
    while (f && out.size() < limit) {
        f.read(buf, static_cast<std::streamsize>(std::min(sizeof buf, limit - out.size())));
        out.insert(out.end(), buf, buf + f.gcount());
    }
    if (f.bad()) {
        error = path + ": read error";
        return false;
    }
    return true;
}
}  // namespace

void writer::u16(std::uint16_t v) {
    u8(static_cast<std::uint8_t>(v));
    u8(static_cast<std::uint8_t>(v >> 8));
}
void writer::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) u8(static_cast<std::uint8_t>(v >> (8 * i)));
}
void writer::u64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) u8(static_cast<std::uint8_t>(v >> (8 * i)));
}
void writer::f32(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    u32(bits);
}
void writer::raw(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
}
void writer::str(const std::string& s) {
    u32(static_cast<std::uint32_t>(s.size()));
    raw(s.data(), s.size());
}

bool reader::take(std::size_t n, const char* what) {
    if (!ok())
        return false;
    if (static_cast<std::size_t>(end_ - p_) < n) {
        error_ = std::string("truncated while reading ") + what;
        p_ = end_;
        return false;
    }
    return true;
}
std::uint8_t reader::u8(const char* what) {
    if (!take(1, what))
        return 0;
    return *p_++;
}
std::uint16_t reader::u16(const char* what) {
    if (!take(2, what))
        return 0;
    const std::uint16_t v = static_cast<std::uint16_t>(p_[0] | (p_[1] << 8));
    p_ += 2;
    return v;
}
std::uint32_t reader::u32(const char* what) {
    if (!take(4, what))
        return 0;
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t{p_[i]} << (8 * i);
    p_ += 4;
    return v;
}
std::uint64_t reader::u64(const char* what) {
    if (!take(8, what))
        return 0;
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= std::uint64_t{p_[i]} << (8 * i);
    p_ += 8;
    return v;
}
float reader::f32(const char* what) {
    const std::uint32_t bits = u32(what);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
bool reader::raw(void* dst, std::size_t n, const char* what) {
    if (!take(n, what))
        return false;
    if (n)
        std::memcpy(dst, p_, n);
    p_ += n;
    return true;
}
std::string reader::str(const char* what) {
    const std::uint32_t n = count(what, 4096, 1);
    std::string s(n, '\0');
    if (n)
        raw(s.data(), n, what);
    return ok() ? s : std::string();
}
std::uint32_t reader::count(const char* what, std::uint32_t limit, std::size_t item_bytes) {
    const std::uint32_t n = u32(what);
    if (!ok())
        return 0;
    if (n > limit || (item_bytes && n > static_cast<std::size_t>(end_ - p_) / item_bytes)) {
        fail(std::string("a count of ") + std::to_string(n) + " for " + what + " beyond what the file holds");
        return 0;
    }
    return n;
}
void reader::fail(const std::string& message) {
    if (ok())
        error_ = message;
    p_ = end_;
}

bool write_file(const std::string& path, const header& h, const std::vector<std::uint8_t>& payload,
                std::string& error) {
    uLongf packed_size = compressBound(static_cast<uLong>(payload.size()));
    std::vector<std::uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, payload.data(), static_cast<uLong>(payload.size()), 9) != Z_OK) {
        error = path + ": cannot pack the checkpoint";
        return false;
    }
    const std::uint32_t adler =
        static_cast<std::uint32_t>(adler32(adler32(0, nullptr, 0), payload.data(), static_cast<uInt>(payload.size())));
    writer w;
    put_header(w, h, payload.size(), packed_size, adler);
    const std::string tmp = path + ".part";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        if (!f || !f.write(reinterpret_cast<const char*>(w.bytes().data()), static_cast<std::streamsize>(w.bytes().size())) ||
            !f.write(reinterpret_cast<const char*>(packed.data()), static_cast<std::streamsize>(packed_size)) || !f.flush()) {
            error = tmp + ": cannot write (" + std::strerror(errno) + ")";
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = path + ": cannot put in place (" + std::strerror(errno) + ")";
        return false;
    }
    return true;
}

bool read_header(const std::string& path, header& h, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!slurp(path, bytes, error, header_bytes))
        return false;
    reader r(bytes.data(), bytes.size());
    sizes s;
    if (!get_header(r, h, s, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool parse(const std::uint8_t* bytes, std::size_t n, header& h, std::vector<std::uint8_t>& payload,
           std::string& error) {
    reader r(bytes, n);
    sizes s;
    if (!get_header(r, h, s, error))
        return false;
    const std::size_t left = n - header_bytes;
    if (s.packed != left) {
        error = "the packed payload should be " + std::to_string(s.packed) + " bytes, the file holds " +
                std::to_string(left) + (s.packed > left ? " (truncated)" : "");
        return false;
    }
    payload.assign(static_cast<std::size_t>(s.raw), 0);
    uLongf raw_size = static_cast<uLongf>(s.raw);
    const int z = uncompress(payload.data(), &raw_size, bytes + header_bytes, static_cast<uLong>(left));
    if (z != Z_OK || raw_size != s.raw) {
        error = "the packed payload does not unpack (" + std::string(z == Z_OK ? "wrong size" : zError(z)) + ")";
        return false;
    }
    const std::uint32_t adler =
        static_cast<std::uint32_t>(adler32(adler32(0, nullptr, 0), payload.data(), static_cast<uInt>(payload.size())));
    if (adler != s.adler) {
        error = "the payload's checksum does not match";
        return false;
    }
    return true;
}

bool read_file(const std::string& path, header& h, std::vector<std::uint8_t>& payload, std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!slurp(path, bytes, error, header_bytes + max_payload + (max_payload >> 8) + 64))
        return false;
    if (!parse(bytes.data(), bytes.size(), h, payload, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

std::uint64_t fnv1a(const void* p, std::size_t n, std::uint64_t h) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    for (std::size_t i = 0; i < n; ++i) {
        h ^= b[i];
        h *= 0x100000001b3ull;
    }
    return h;
}

}  // namespace checkpoint
