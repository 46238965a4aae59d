// read_TGA: byte order, row order and files it must refuse, each
// refusal naming the file and leaving the surface untouched.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "tga.h"
#include "test_effects_util.h"

namespace {
std::string write_file(const std::string& name, const std::vector<unsigned char>& bytes) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
}

// An 18-byte header (type 2, 640 x 480, 24 bits) and a grey pixel block.
std::vector<unsigned char> tga_bytes() {
    std::vector<unsigned char> b(18 + 921600, 0x40);
    const unsigned char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 2, 0xE0, 1, 24, 0};
    std::copy(header, header + 18, b.begin());
    return b;
}
}  // namespace

TEST(Tga, BytesAreBlueGreenRedAndRowsTopDown) {
    auto b = tga_bytes();
    auto px = [&](int x, int y, unsigned char bl, unsigned char g, unsigned char r) {
        const size_t i = 18 + (static_cast<size_t>(y) * 640 + x) * 3;
        b[i] = bl;
        b[i + 1] = g;
        b[i + 2] = r;
    };
    px(0, 0, 0x00, 0x00, 0xFF);
    px(1, 0, 0xFF, 0xFF, 0xFF);
    px(2, 0, 0x80, 0x80, 0x80);
    px(0, 1, 0xFF, 0x00, 0x00);
    px(639, 479, 0x00, 0xFC, 0x00);
    const auto path = write_file("fx_good.tga", b);
    auto s = make_surface(640, 480, 0x1234);
    const auto r = read_TGA(path.c_str(), s.get());
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(at(s.get(), 0, 0), 0xF800);
    EXPECT_EQ(at(s.get(), 1, 0), 0xFFFF);
    EXPECT_EQ(at(s.get(), 2, 0), 0x8410);
    EXPECT_EQ(at(s.get(), 0, 1), 0x001F);  // the second stored row is row 1
    EXPECT_EQ(at(s.get(), 639, 479), 0x07E0);  // green keeps six bits
    EXPECT_EQ(at(s.get(), 5, 5), 0x4208);
    std::remove(path.c_str());
}

TEST(Tga, RefusesUnusableFilesLeavingTheSurfaceUntouched) {
    auto s = make_surface(640, 480, 0x1234);
    const std::string missing = testing::TempDir() + "fx_no_such.tga";
    auto r = read_TGA(missing.c_str(), s.get());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(missing), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("cannot open"), std::string::npos) << r.error;

    auto b = tga_bytes();
    b.resize(18 + 921599);
    const auto short_path = write_file("fx_short.tga", b);
    r = read_TGA(short_path.c_str(), s.get());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find(short_path), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("921617 bytes"), std::string::npos) << r.error;
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 5) ASSERT_EQ(at(s.get(), x, y), 0x1234);
    std::remove(short_path.c_str());

    const auto good = write_file("fx_good2.tga", tga_bytes());
    auto small = make_surface(320, 240, 0);
    r = read_TGA(good.c_str(), small.get());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("640 x 480"), std::string::npos) << r.error;
    EXPECT_FALSE(read_TGA(nullptr, s.get()).ok);
    std::remove(good.c_str());
}

TEST(Tga, TheHeaderMustDescribeUncompressed24Bit640x480) {
    auto s = make_surface(640, 480, 0x1234);
    // a change to any one field of the good header is refused, and says what the header holds
    const struct {
        int at;
        unsigned char value;
        const char* says;
    } changes[] = {
        {0, 4, "an image ID of 4 bytes"},
        {1, 1, "a colour map"},
        {2, 10, "type 10 (run-length encoded true-colour)"},
        {2, 3, "type 3 (greyscale)"},
        {2, 1, "type 1 (colour-mapped)"},
        {2, 0, "type 0 (of no known type)"},
        {12, 0x81, "641 x 480"},
        {13, 3, "896 x 480"},
        {14, 0xDF, "640 x 479"},
        {15, 2, "640 x 736"},
        {16, 32, "32 bits per pixel"},
        {17, 8, "8 alpha bits"},
    };
    for (const auto& c : changes) {
        auto b = tga_bytes();
        b[static_cast<size_t>(c.at)] = c.value;
        const auto path = write_file("fx_header.tga", b);
        const auto r = read_TGA(path.c_str(), s.get());
        EXPECT_FALSE(r.ok) << c.says;
        EXPECT_EQ(r.error.find(path + ": header says"), 0u) << r.error;
        EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
        std::remove(path.c_str());
    }
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 5) ASSERT_EQ(at(s.get(), x, y), 0x1234);

    // an RLE file that claims 11522 x 8216, a module's bytes and zeros: refused from the header
    std::vector<unsigned char> rle = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x2D, 0x18, 0x20, 24, 0x20};
    const auto header_only = write_file("fx_rle_header.tga", rle);  // a header and nothing else: still its header
    EXPECT_NE(read_TGA(header_only.c_str(), s.get()).error.find("header says type 10"), std::string::npos);
    std::remove(header_only.c_str());
    rle.resize(4096, 0xFF);
    std::vector<unsigned char> module(tga_header_bytes + tga_pixel_bytes, 0);
    const std::string xm = "Extended Module: song";
    std::copy(xm.begin(), xm.end(), module.begin());
    const std::vector<unsigned char> zeros(tga_header_bytes + tga_pixel_bytes, 0);
    for (const auto& [name, bytes, says] : {std::tuple{"fx_rle.tga", rle, "type 10 (run-length encoded true-colour), 11522 x 8216"},
                                            std::tuple{"fx_xm.tga", module, "type 116"},
                                            std::tuple{"fx_zero.tga", zeros, "type 0"}}) {
        const auto path = write_file(name, bytes);
        const auto r = read_TGA(path.c_str(), s.get());
        EXPECT_FALSE(r.ok) << name;
        EXPECT_NE(r.error.find(says), std::string::npos) << r.error;
        std::remove(path.c_str());
    }

    // either row origin and a file with bytes after the pixels (a footer) are read
    for (const unsigned char descriptor : {0x00, 0x20}) {
        auto b = tga_bytes();
        b[17] = descriptor;
        b.resize(b.size() + 26, 0);
        const auto path = write_file("fx_origin.tga", b);
        const auto r = read_TGA(path.c_str(), s.get());
        EXPECT_TRUE(r.ok) << r.error;
        EXPECT_EQ(at(s.get(), 3, 3), 0x4208);
        std::remove(path.c_str());
    }
    EXPECT_EQ(tga_header_problem(tga_bytes().data()), "");
}
