// Damaged, misnamed and oversized pictures: each refused from its first
// bytes or its header with a reason, before any pixel memory is taken; and
// the PNG chunk walk's own rules (CRC, order, sizes at the limit).
#include <SDL.h>
#include <gtest/gtest.h>
#include <jpeglib.h>

#include <cstdint>
#include <cstdio>
#include <unistd.h>
#include <string>
#include <vector>

#include "decode_image.h"
#include "png_check.h"
#include "test_png_bytes.h"

namespace {

using namespace test_png;

bytes jpeg_file(int w, int h, bool progressive = false) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(w) * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            row[x * 3] = static_cast<unsigned char>(x * 7 + y);
            row[x * 3 + 1] = static_cast<unsigned char>(y * 3);
            row[x * 3 + 2] = static_cast<unsigned char>(x ^ y);
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    bytes b(out, out + size);
    std::free(out);
    return b;
}

bytes text(const std::string& s) { return bytes(s.begin(), s.end()); }

// Decodes; empty string when it decoded (and the size is w x h), else the reason.
std::string refusal(const bytes& b, const char* name, int w = -1, int h = -1) {
    std::string error;
    SDL_Surface* s = decode_image_bytes(b.data(), b.size(), name, error);
    if (!s) return error.empty() ? "(refused without a reason)" : error;
    const bool size_ok = (w < 0 || s->w == w) && (h < 0 || s->h == h);
    SDL_FreeSurface(s);
    return size_ok ? "" : "(decoded at another size)";
}

bool has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

}  // namespace

TEST(PictureRefusals, OtherFormatsNamedAsPicturesAreRefusedFromTheirFirstBytes) {
    // a 16-bit greyscale PNM (PGM) of the show's size, a 10-byte PNM and a
    // 15-byte PPM header with no pixels, each named .png
    bytes pgm = text("P5\n640 480\n65535\n");
    pgm.resize(pgm.size() + 640 * 480 * 2, 0x80);
    EXPECT_TRUE(has(refusal(pgm, "lights.png"), "named .png but holds a PNM picture")) << refusal(pgm, "x.png");
    EXPECT_TRUE(has(refusal(text("P5 1 1 65535"), "bais.png"), "PNM")) << refusal(text("P5 1 1 65535"), "b.png");
    EXPECT_TRUE(has(refusal(text("P6\n640 480\n255\n"), "x.png"), "PNM"));
    EXPECT_TRUE(has(refusal(text("BM\x36\0\0\0"), "x.png"), "BMP"));
    EXPECT_TRUE(has(refusal(text("GIF89a"), "x.jpg"), "holds a GIF picture"));
    EXPECT_TRUE(has(refusal(text("BM"), "x.png"), "holds a BMP picture"));
    EXPECT_TRUE(has(refusal(text("P7\nWIDTH 1"), "x.png"), "holds a PNM picture"));
    EXPECT_TRUE(has(refusal(text("P1 1 1 1"), "x.png"), "holds a PNM picture"));
    EXPECT_TRUE(has(refusal(text("P8 1 1 1"), "x.png"), "holds no picture format"));
    EXPECT_TRUE(has(refusal(text("P0 1 1 1"), "x.png"), "holds no picture format"));
    // a good file under the other format's name
    const bytes png = png_file(4, 3), jpg = jpeg_file(16, 8);
    EXPECT_EQ(refusal(png, "a.png", 4, 3), "");
    EXPECT_EQ(refusal(png, "A.PNG", 4, 3), "") << "the extension's case does not matter";
    EXPECT_EQ(refusal(jpg, "a.jpg", 16, 8), "");
    EXPECT_EQ(refusal(jpg, "a.jpeg", 16, 8), "");
    EXPECT_TRUE(has(refusal(png, "a.jpg"), "named as a JPEG but holds a PNG"));
    EXPECT_TRUE(has(refusal(jpg, "a.png"), "named .png but holds a JPEG"));
    // names that say no format the show reads
    for (const char* name : {"a.bmp", "a.tga", "apng", "dir.png/a", "a."})
        EXPECT_TRUE(has(refusal(png, name), "not named as a picture")) << name;
    // a file shorter than a signature
    EXPECT_TRUE(has(refusal(bytes{0x89, 'P', 'N'}, "a.png"), "named .png"));
    EXPECT_TRUE(has(refusal(bytes{0xFF, 0xD8}, "a.jpg"), "named as a JPEG"));
    // a JPEG starts FF D8 FF: each of the three bytes counts
    for (const bytes& b : {bytes{0x00, 0xD8, 0xFF, 0xE0}, bytes{0xFF, 0x00, 0xFF, 0xE0}, bytes{0xFF, 0xD8, 0x00, 0xE0}})
        EXPECT_TRUE(has(refusal(b, "a.jpg"), "named as a JPEG but holds no picture format")) << refusal(b, "a.jpg");
    EXPECT_EQ(refusal(bytes{}, "a.png"), "empty file");
    // files beyond 8 MB are refused from their size, in memory and on disk
    bytes big = png_file(4, 3);
    big.resize(static_cast<size_t>(max_picture_file_bytes) + 1);
    EXPECT_TRUE(has(refusal(big, "a.png"), "too large for a picture (8388609 bytes)"));
    big.resize(static_cast<size_t>(max_picture_file_bytes));
    EXPECT_TRUE(has(refusal(big, "a.png"), "bytes follow its end chunk")) << "8 MB itself is read";
    const std::string path = testing::TempDir() + "fx_big.png";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(big.data(), 1, 64, f);
    std::fclose(f);
    ASSERT_EQ(truncate(path.c_str(), max_picture_file_bytes + 1), 0);
    std::string error;
    EXPECT_EQ(decode_image(path.c_str(), error), nullptr);
    EXPECT_EQ(error, "too large for a picture (8388609 bytes; at most 8388608)");
    ASSERT_EQ(truncate(path.c_str(), max_picture_file_bytes), 0);
    EXPECT_EQ(decode_image(path.c_str(), error), nullptr);
    EXPECT_TRUE(has(error, "not a usable PNG")) << error;
    std::remove(path.c_str());
}

TEST(PictureRefusals, SizesBeyondTheShowsAreRefusedFromTheHeader) {
    // 640 x 480 is the largest: one more column or row is refused
    EXPECT_EQ(refusal(png_file(640, 480), "a.png", 640, 480), "");
    EXPECT_TRUE(has(refusal(png_file(641, 1), "a.png"), "641x1 is beyond the 640x480"));
    EXPECT_TRUE(has(refusal(png_file(1, 481), "a.png"), "1x481 is beyond"));
    EXPECT_EQ(refusal(jpeg_file(640, 480), "a.jpg", 640, 480), "");
    EXPECT_TRUE(has(refusal(jpeg_file(641, 8), "a.jpg"), "641x8 is beyond the 640x480"));
    EXPECT_TRUE(has(refusal(jpeg_file(8, 481), "a.jpg"), "8x481 is beyond"));
    // a 16383 x 16383 header with almost nothing behind it
    bytes huge(png_signature, png_signature + 8);
    chunk(huge, "IHDR", ihdr(16383, 16383));
    chunk(huge, "IDAT", {0x78, 0x01});
    chunk(huge, "IEND", {});
    EXPECT_TRUE(has(refusal(huge, "a.png"), "16383x16383 is beyond"));
    bytes huge_jpeg = jpeg_file(8, 8);
    for (size_t i = 2; i + 8 < huge_jpeg.size(); ++i)
        if (huge_jpeg[i] == 0xFF && huge_jpeg[i + 1] == 0xC0) {  // SOF0: height, width at +5
            huge_jpeg[i + 5] = 0x3F, huge_jpeg[i + 6] = 0xFF, huge_jpeg[i + 7] = 0x3F, huge_jpeg[i + 8] = 0xFF;
            break;
        }
    EXPECT_TRUE(has(refusal(huge_jpeg, "a.jpg"), "16383x16383 is beyond"));
    // an IDAT that claims 1.9 GB
    bytes claim(png_signature, png_signature + 8);
    chunk(claim, "IHDR", ihdr(640, 480));
    put32(claim, 1900000000u);
    claim.insert(claim.end(), {'I', 'D', 'A', 'T', 0x78, 0x01, 0, 0});
    EXPECT_TRUE(has(refusal(claim, "a.png"), "ends inside chunk 1 (IDAT, 1900000000 bytes claimed, 0 left)"))
        << refusal(claim, "a.png");
    EXPECT_TRUE(has(refusal(jpeg_file(16, 16, true), "a.jpg"), "progressive"));
}

TEST(PictureRefusals, CutAndDamagedFilesAreErrorsNotPictures) {
    const bytes png = png_file(64, 48);
    bytes half(png.begin(), png.begin() + png.size() / 2);
    EXPECT_TRUE(has(refusal(half, "a.png"), "the file ends inside chunk 1 (IDAT"));
    bytes no_end(png.begin(), png.end() - 12);
    EXPECT_TRUE(has(refusal(no_end, "a.png"), "before its end chunk (IEND)"));
    bytes trailing = png;
    trailing.push_back(0);
    EXPECT_TRUE(has(refusal(trailing, "a.png"), "1 bytes follow its end chunk"));
    bytes flipped = png;
    flipped[png.size() / 2] ^= 0x40;  // one bit inside the image data
    EXPECT_TRUE(has(refusal(flipped, "a.png"), "chunk 1 (IDAT) fails its CRC"));
    const bytes jpg = jpeg_file(320, 240);
    bytes cut(jpg.begin(), jpg.begin() + jpg.size() / 2);
    EXPECT_TRUE(has(refusal(cut, "skin.jpg"), "a damaged JPEG (Premature end of JPEG file, and more)"))
        << refusal(cut, "s.jpg");
    // Bytes between the first segment and the next marker: one warning
    // alone, named without "and more".
    bytes junk = jpg;
    ASSERT_EQ(jpg[2], 0xFF);
    const long first_end = 4 + (jpg[4] << 8 | jpg[5]);
    junk.insert(junk.begin() + first_end, {0x12, 0x34, 0x56});
    const std::string one = refusal(junk, "skin.jpg");
    EXPECT_TRUE(has(one, "3 extraneous bytes before marker")) << one;
    EXPECT_FALSE(has(one, "and more")) << one;
}

TEST(PictureRefusals, ThePngChunkWalkKeepsItsOrder) {
    // the CRC of an empty IEND, as every PNG ends
    const unsigned char iend[] = {'I', 'E', 'N', 'D'};
    EXPECT_EQ(png_crc(iend, 4), 0xAE426082u);
    const bytes raw = [] {
        bytes r;
        for (int y = 0; y < 2; ++y) r.insert(r.end(), {0, 1, 2, 3, 4, 5, 6});
        return r;
    }();
    const bytes data = stored_zlib(raw);
    auto file = [&](auto&& build) {
        bytes f(png_signature, png_signature + 8);
        build(f);
        return f;
    };
    png_layout layout;
    // two IDATs in a row and an ancillary chunk before them: fine
    const bytes split = file([&](bytes& f) {
        chunk(f, "IHDR", ihdr(2, 2));
        chunk(f, "tEXt", text("a\0b"));
        chunk(f, "IDAT", bytes(data.begin(), data.begin() + 5));
        chunk(f, "IDAT", bytes(data.begin() + 5, data.end()));
        chunk(f, "IEND", {});
    });
    EXPECT_EQ(check_png(split.data(), split.size(), 640, 480, layout), "");
    EXPECT_EQ(layout.width, 2u);
    EXPECT_EQ(layout.idat_bytes, data.size());
    EXPECT_EQ(refusal(split, "a.png", 2, 2), "");
    // the header at the limits, exactly
    const bytes edge = file([&](bytes& f) {
        chunk(f, "IHDR", ihdr(3, 2));
        chunk(f, "IDAT", data);
        chunk(f, "IEND", {});
    });
    EXPECT_EQ(check_png(edge.data(), edge.size(), 3, 2, layout), "");
    EXPECT_NE(check_png(edge.data(), edge.size(), 2, 2, layout), "");
    EXPECT_NE(check_png(edge.data(), edge.size(), 3, 1, layout), "");
    const std::vector<std::pair<std::string, bytes>> bad = {
        {"the first chunk is not a 13-byte IHDR", file([&](bytes& f) { chunk(f, "IDAT", data); })},
        {"a second IHDR", file([&](bytes& f) {
             chunk(f, "IHDR", ihdr(2, 2));
             chunk(f, "IHDR", ihdr(2, 2));
         })},
        {"an IDAT after other chunks", file([&](bytes& f) {
             chunk(f, "IHDR", ihdr(2, 2));
             chunk(f, "IDAT", data);
             chunk(f, "tEXt", text("a"));
             chunk(f, "IDAT", data);
             chunk(f, "IEND", {});
         })},
        {"no image data", file([&](bytes& f) {
             chunk(f, "IHDR", ihdr(2, 2));
             chunk(f, "IEND", {});
         })},
        {"IEND) is not empty", file([&](bytes& f) {
             chunk(f, "IHDR", ihdr(2, 2));
             chunk(f, "IDAT", data);
             chunk(f, "IEND", {0});
         })},
        {"no valid type", file([&](bytes& f) {
             chunk(f, "IHDR", ihdr(2, 2));
             chunk(f, "ID@T", data);
         })},
        // a type is four letters: each place checked, the bytes next to A-Z and a-z refused
        {"no valid type", file([&](bytes& f) {
             chunk(f, "IHDR", ihdr(2, 2));
             chunk(f, "`DAT", data);
         })},
        {"no valid type", file([&](bytes& f) {
             chunk(f, "IHDR", ihdr(2, 2));
             chunk(f, "I[AT", data);
         })},
        {"no valid type", file([&](bytes& f) {
             chunk(f, "IHDR", ihdr(2, 2));
             chunk(f, "IDA{", data);
         })},
        {"fails its CRC", file([&](bytes& f) { chunk(f, "IHDR", ihdr(2, 2), 1); })},
        {"no valid PNG layout (colour type 2, 4 bits)", file([&](bytes& f) { chunk(f, "IHDR", ihdr(2, 2, 4, 2)); })},
        {"no valid PNG layout (colour type 5", file([&](bytes& f) { chunk(f, "IHDR", ihdr(2, 2, 8, 5)); })},
        {"0x2 is beyond", file([&](bytes& f) { chunk(f, "IHDR", ihdr(0, 2)); })},
        {"the file ends before its header chunk", bytes(png_signature, png_signature + 8)},
        // a whole PNG but for one signature byte, and a signature cut short
        {"no PNG signature", [&] {
             bytes f = file([&](bytes& g) { chunk(g, "IHDR", ihdr(2, 2)); });
             f[3] ^= 1;
             return f;
         }()},
        {"no PNG signature", bytes(png_signature, png_signature + 7)},
    };
    for (const auto& [why, f] : bad)
        EXPECT_TRUE(has(check_png(f.data(), f.size(), 640, 480, layout), why))
            << why << ": " << check_png(f.data(), f.size(), 640, 480, layout);
    // every depth each colour type allows passes the header check
    for (const auto& [type, depths] : std::vector<std::pair<int, std::vector<int>>>{
             {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}})
        for (int d : depths) {
            const bytes f = file([&](bytes& g) {
                chunk(g, "IHDR", ihdr(2, 2, d, type));
                chunk(g, "IDAT", data);
                chunk(g, "IEND", {});
            });
            EXPECT_EQ(check_png(f.data(), f.size(), 640, 480, layout), "") << type << "/" << d;
        }
}

// The header's layout fields against PNG's own table: each colour type with
// exactly its bit depths, compression and filter method 0, interlace 0 or 1.
TEST(PictureRefusals, TheHeaderTakesExactlyTheLayoutsPngDefines) {
    const bytes data = stored_zlib(bytes(2 * 7, 0));
    const auto header_check = [&](bytes header) {
        bytes f(png_signature, png_signature + 8);
        chunk(f, "IHDR", header);
        chunk(f, "IDAT", data);
        chunk(f, "IEND", {});
        png_layout layout;
        return check_png(f.data(), f.size(), 640, 480, layout);
    };
    const auto allowed = [](int type, int depth) {
        const bool low = depth == 1 || depth == 2 || depth == 4;
        switch (type) {
        case 0: return low || depth == 8 || depth == 16;  // grey
        case 3: return low || depth == 8;                 // palette
        case 2: case 4: case 6: return depth == 8 || depth == 16;
        default: return false;
        }
    };
    for (int type = 0; type <= 8; ++type)
        for (int depth = 0; depth <= 32; ++depth) {
            const std::string why = header_check(ihdr(2, 2, depth, type));
            if (allowed(type, depth))
                EXPECT_EQ(why, "") << "type " << type << ", " << depth << " bits";
            else
                EXPECT_EQ(why, "its header names no valid PNG layout (colour type " + std::to_string(type) + ", " +
                                   std::to_string(depth) + " bits)");
        }
    // Bytes 10, 11, 12 of the header: compression, filter, interlace.
    for (int at : {10, 11, 12})
        for (int v : {0, 1, 2, 255}) {
            bytes h = ihdr(2, 2);
            h[at] = static_cast<unsigned char>(v);
            const bool ok = v == 0 || (at == 12 && v == 1);
            EXPECT_EQ(header_check(h).empty(), ok) << "byte " << at << " = " << v;
        }
}

// What a misnamed file's first bytes are called: a format only when every
// byte of its signature is there and matches, at the shortest length too.
TEST(PictureRefusals, AMisnamedFileIsCalledAFormatOnlyByItsWholeSignature) {
    const auto called = [](const bytes& b, const char* name) {
        const std::string why = refusal(b, name);
        const size_t at = why.find("holds ");
        return at == std::string::npos ? "(" + why + ")" : why.substr(at + 6);
    };
    const std::string none = "no picture format the show reads";
    EXPECT_EQ(called(text("BM"), "a.png"), "a BMP picture");
    EXPECT_EQ(called(text("BN"), "a.png"), none);
    EXPECT_EQ(called(text("AM"), "a.png"), none);
    EXPECT_EQ(called(text("B"), "a.png"), none);
    EXPECT_EQ(called(text("P1"), "a.png"), "a PNM picture");
    EXPECT_EQ(called(text("P7"), "a.png"), "a PNM picture");
    EXPECT_EQ(called(text("Q1"), "a.png"), none);
    EXPECT_EQ(called(text("P"), "a.png"), none);
    EXPECT_EQ(called(text("GIF"), "a.png"), "a GIF picture");
    for (const char* g : {"GI", "XIF", "GXF", "GIX"}) EXPECT_EQ(called(text(g), "a.png"), none) << g;
    EXPECT_EQ(called(bytes{0xFF, 0xD8, 0xFF}, "a.png"), "a JPEG");
    for (const bytes& j : {bytes{0xFF, 0xD8}, bytes{0xFE, 0xD8, 0xFF}, bytes{0xFF, 0xD9, 0xFF}, bytes{0xFF, 0xD8, 0xFE}})
        EXPECT_EQ(called(j, "a.png"), none) << int(j[0]) << " " << int(j[1]);
    const bytes sig(png_signature, png_signature + 8);
    EXPECT_EQ(called(sig, "a.jpg"), "a PNG");
    EXPECT_EQ(called(bytes(sig.begin(), sig.end() - 1), "a.jpg"), none);
    for (size_t i = 0; i < sig.size(); ++i) {
        bytes other = sig;
        other[i] ^= 0x20;
        EXPECT_EQ(called(other, "a.jpg"), none) << "byte " << i;
    }
}
