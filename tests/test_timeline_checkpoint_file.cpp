// Checkpoint files: what is written is read back field for field; a file cut
// short anywhere, a damaged byte anywhere, another format or a payload that
// claims too much is refused with a message, never read past its end.
#include "checkpoint_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

checkpoint::header sample_header() {
    checkpoint::header h;
    h.program = 0x1122334455667788ull;
    h.data = 0x99aabbccddeeff00ull;
    h.gentle = 1;  // both flags set: the largest values a header may hold
    h.settle = 1;
    h.scene = 5;
    h.tick = 123456;
    h.frame = 4334;
    h.music_ms = 118010;
    return h;
}

std::vector<std::uint8_t> sample_payload() {
    checkpoint::writer w;
    w.u8(0xAB), w.u16(0xBEEF), w.u32(0xDEADBEEF), w.u64(0x0123456789ABCDEFull), w.i32(-7), w.i64(-8);
    w.f32(-1.5f);
    w.str("./gfx/bais.png");
    for (int i = 0; i < 1000; ++i) w.u16(static_cast<std::uint16_t>(i * 37));
    return w.bytes();
}

std::vector<std::uint8_t> bytes_of(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

struct temp_file {
    fs::path path = fs::temp_directory_path() / ("ostra-ckp-" + std::to_string(::getpid()) + ".ockp");
    ~temp_file() {
        std::error_code ec;
        fs::remove(path, ec);
    }
};

}  // namespace

TEST(CheckpointFile, WrittenAndReadBackFieldForField) {
    temp_file f;
    std::string error;
    ASSERT_TRUE(checkpoint::write_file(f.path.string(), sample_header(), sample_payload(), error)) << error;
    checkpoint::header h;
    std::vector<std::uint8_t> payload;
    ASSERT_TRUE(checkpoint::read_file(f.path.string(), h, payload, error)) << error;
    const checkpoint::header want = sample_header();
    EXPECT_EQ(h.version, checkpoint::format_version);
    EXPECT_EQ(h.program, want.program);
    EXPECT_EQ(h.data, want.data);
    EXPECT_EQ(h.gentle, 1);
    EXPECT_EQ(h.settle, 1);
    EXPECT_EQ(h.scene, 5);
    EXPECT_EQ(h.tick, 123456u);
    EXPECT_EQ(h.frame, 4334);
    EXPECT_EQ(h.music_ms, 118010u);
    ASSERT_EQ(payload, sample_payload());
    checkpoint::header only;
    ASSERT_TRUE(checkpoint::read_header(f.path.string(), only, error)) << error;
    EXPECT_EQ(only.frame, 4334);

    checkpoint::reader r(payload.data(), payload.size());
    EXPECT_EQ(r.u8("a"), 0xAB);
    EXPECT_EQ(r.u16("b"), 0xBEEF);
    EXPECT_EQ(r.u32("c"), 0xDEADBEEFu);
    EXPECT_EQ(r.u64("d"), 0x0123456789ABCDEFull);
    EXPECT_EQ(r.i32("e"), -7);
    EXPECT_EQ(r.i64("f"), -8);
    EXPECT_EQ(r.f32("g"), -1.5f);
    EXPECT_EQ(r.str("h"), "./gfx/bais.png");
    EXPECT_EQ(r.left(), 2000u);
    r.raw(nullptr, 0, "nothing");
    EXPECT_TRUE(r.ok());
}

TEST(CheckpointFile, ReadsPastTheEndFailAndNameWhatWasRead) {
    const std::uint8_t bytes[] = {1, 2, 3, 4, 5, 6};
    checkpoint::reader r(bytes, sizeof bytes);
    EXPECT_EQ(r.u32("the first word"), 0x04030201u);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.u32("the second word"), 0u);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.error(), "truncated while reading the second word");
    EXPECT_EQ(r.u8("more"), 0) << "nothing is read after a failure";
    EXPECT_EQ(r.error(), "truncated while reading the second word") << "the first failure is kept";

    // Counts: within the limit and what is left, or refused.
    const std::uint8_t c[] = {3, 0, 0, 0, 9, 9, 9, 9, 9, 9};
    checkpoint::reader fits(c, sizeof c);
    EXPECT_EQ(fits.count("pairs", 3, 2), 3u);
    EXPECT_TRUE(fits.ok());
    checkpoint::reader too_many(c, sizeof c);
    EXPECT_EQ(too_many.count("words", 3, 4), 0u) << "3 words need 12 bytes, 6 are left";
    EXPECT_FALSE(too_many.ok());
    checkpoint::reader over_limit(c, sizeof c);
    EXPECT_EQ(over_limit.count("pairs", 2, 2), 0u);
    EXPECT_FALSE(over_limit.ok());
}

TEST(CheckpointFile, EveryCutAndEveryDamagedByteIsRefusedWithAMessage) {
    temp_file f;
    std::string error;
    ASSERT_TRUE(checkpoint::write_file(f.path.string(), sample_header(), sample_payload(), error)) << error;
    const std::vector<std::uint8_t> good = bytes_of(f.path);
    checkpoint::header h;
    std::vector<std::uint8_t> payload;
    for (size_t n = 0; n < good.size(); ++n) {
        error.clear();
        EXPECT_FALSE(checkpoint::parse(good.data(), n, h, payload, error)) << "cut to " << n << " bytes";
        EXPECT_FALSE(error.empty()) << n;
    }
    // The header's fields are read as they are (a flipped identity is the
    // caller's to refuse); any damage from the flags on is refused here.
    const size_t flags_at = 8 + 4 + 8 + 8;
    size_t refused = 0;
    for (size_t i = 0; i < good.size(); ++i) {
        std::vector<std::uint8_t> bad = good;
        bad[i] ^= 0x40;
        error.clear();
        const bool read = checkpoint::parse(bad.data(), bad.size(), h, payload, error);
        const bool header_value = (i >= 12 && i < flags_at) || (i >= flags_at + 2 && i < flags_at + 2 + 4 + 4 + 8 + 4);
        // Refused, or (a bit deflate does not use) read as the very payload.
        if (!header_value) {
            EXPECT_TRUE(read ? payload == sample_payload() : !error.empty()) << "byte " << i;
            refused += !read;
        }
    }
    EXPECT_GT(refused, good.size() * 9 / 10);
    // A longer file, another mark, another format.
    std::vector<std::uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_FALSE(checkpoint::parse(longer.data(), longer.size(), h, payload, error));
    EXPECT_NE(error.find("the file holds"), std::string::npos) << error;
    std::vector<std::uint8_t> other = good;
    other[8] = static_cast<std::uint8_t>(checkpoint::format_version + 1);
    EXPECT_FALSE(checkpoint::parse(other.data(), other.size(), h, payload, error));
    EXPECT_EQ(error, "checkpoint format " + std::to_string(checkpoint::format_version + 1) +
                         ", this program reads format " + std::to_string(checkpoint::format_version));
    other = good;
    other[0] = 'X';
    EXPECT_FALSE(checkpoint::parse(other.data(), other.size(), h, payload, error));
    EXPECT_EQ(error, "not a checkpoint file (no OSTRACKP mark)");

    // A truncated file on disk is refused with its name.
    {
        std::ofstream out(f.path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(good.data()), static_cast<std::streamsize>(good.size() - 5));
    }
    EXPECT_FALSE(checkpoint::read_file(f.path.string(), h, payload, error));
    EXPECT_EQ(error.rfind(f.path.string() + ": ", 0), 0u) << error;
    EXPECT_NE(error.find("(truncated)"), std::string::npos) << error;
    EXPECT_FALSE(checkpoint::read_file((f.path.string() + ".missing"), h, payload, error));
    EXPECT_NE(error.find(".missing: cannot open"), std::string::npos) << error;
}
