// A checkpoint file: a fixed header (format version, the program's and the
// data's identity, the run's kind, the scene, its tick, frame and music
// time) and a zlib-packed payload; and the bounds-checked byte reader and
// the writer the payload is built with. Knows nothing of the show's objects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace checkpoint {

inline constexpr std::uint32_t format_version = 3;
// The largest payload a reader unpacks (far beyond any real checkpoint).
inline constexpr std::uint64_t max_payload = 64u << 20;

struct header {
    std::uint32_t version = format_version;
    std::uint64_t program = 0;   // identity of the program build
    std::uint64_t data = 0;      // identity of the data files
    std::uint8_t gentle = 0;     // made by a --gentle run
    std::uint8_t settle = 0;     // made by a run with the fullscreen settle wait
    std::int32_t scene = -1;     // index in the timeline table
    std::uint32_t tick = 0;      // clock tick at the scene's start
    std::int64_t frame = 0;      // frames flipped before it
    std::uint32_t music_ms = 0;  // music time at the scene's start
};

// Appends little-endian values to a byte vector.
class writer {
public:
    void u8(std::uint8_t v) { bytes_.push_back(v); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void u64(std::uint64_t v);
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void i64(std::int64_t v) { u64(static_cast<std::uint64_t>(v)); }
    void f32(float v);
    void raw(const void* p, std::size_t n);
    void str(const std::string& s);
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Reads what writer wrote. Every read is checked against the end: past it
// the reader fails (ok() false, error() says what was being read) and every
// later read gives 0 without touching memory outside the bytes.
class reader {
public:
    reader(const std::uint8_t* p, std::size_t n) : p_(p), end_(p + n) {}
    std::uint8_t u8(const char* what);
    std::uint16_t u16(const char* what);
    std::uint32_t u32(const char* what);
    std::uint64_t u64(const char* what);
    std::int32_t i32(const char* what) { return static_cast<std::int32_t>(u32(what)); }
    std::int64_t i64(const char* what) { return static_cast<std::int64_t>(u64(what)); }
    float f32(const char* what);
    bool raw(void* dst, std::size_t n, const char* what);
    std::string str(const char* what);
    // A count of items of `item_bytes` each that must lie in 0..limit and
    // fit in what is left; 0 and a failure otherwise.
    std::uint32_t count(const char* what, std::uint32_t limit, std::size_t item_bytes);
    // Fails with a message of the caller's (a value out of its range).
    void fail(const std::string& message);
    bool ok() const { return error_.empty(); }
    bool at_end() const { return p_ == end_; }
    std::size_t left() const { return static_cast<std::size_t>(end_ - p_); }
    const std::string& error() const { return error_; }

private:
    bool take(std::size_t n, const char* what);
    const std::uint8_t* p_;
    const std::uint8_t* end_;
    std::string error_;
};

// Writes header and payload (packed) to path, through a temporary file
// renamed into place. False with a message naming the file.
bool write_file(const std::string& path, const header& h, const std::vector<std::uint8_t>& payload,
                std::string& error);
// Reads only the header of the file (cheap: for choosing a checkpoint).
bool read_header(const std::string& path, header& h, std::string& error);
// Parses a whole file's bytes: header, then the payload unpacked and its
// checksum checked. False with a message (without the file's name).
bool parse(const std::uint8_t* bytes, std::size_t n, header& h, std::vector<std::uint8_t>& payload,
           std::string& error);
// Reads and parses the file at path; messages name it.
bool read_file(const std::string& path, header& h, std::vector<std::uint8_t>& payload, std::string& error);

// FNV-1a 64 over bytes, continuing from `h`.
std::uint64_t fnv1a(const void* p, std::size_t n, std::uint64_t h = 0xcbf29ce484222325ull);

}  // namespace checkpoint
