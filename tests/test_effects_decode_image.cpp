// Picture decoding: PNG pixels come back exactly, with alpha only when the
// file has it; JPEG goes through libjpeg to RGB (grey too); broken, empty and
// missing files give a reason and no surface.
#include <SDL.h>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "decode_image.h"

namespace {

std::string temp_path(const std::string& name) {
    return "/tmp/ostra_decode_" + std::to_string(getpid()) + "_" + name;
}

// Writes a w x h PNG of `channels` (1, 3 or 4) 8-bit channels.
void write_png(const std::string& path, int w, int h, int channels, const std::vector<unsigned char>& px) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    const int type = channels == 1 ? PNG_COLOR_TYPE_GRAY : channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA;
    png_set_IHDR(png, info, w, h, 8, type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y)
        png_write_row(png, const_cast<unsigned char*>(px.data()) + static_cast<size_t>(y) * w * channels);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

void write_jpeg(const std::string& path, int w, int h, int channels, const std::vector<unsigned char>& px) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = w;
    c.image_height = h;
    c.input_components = channels;
    c.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < h; ++y) {
        JSAMPROW row = const_cast<unsigned char*>(px.data()) + static_cast<size_t>(y) * w * channels;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

void write_bytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

const unsigned char* pixel(SDL_Surface* s, int x, int y) {
    return static_cast<const unsigned char*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
}

}  // namespace

TEST(DecodeImage, PngComesBackExactlyWithAlphaOnlyWhenTheFileHasIt) {
    const int w = 7, h = 5;  // odd width: rows are not 4-byte multiples
    std::vector<unsigned char> rgb, rgba;
    for (int i = 0; i < w * h; ++i) {
        rgb.insert(rgb.end(), {static_cast<unsigned char>(i * 7), static_cast<unsigned char>(255 - i),
                               static_cast<unsigned char>(i * 3 + 1)});
        rgba.insert(rgba.end(), {static_cast<unsigned char>(i), 200, 3, static_cast<unsigned char>(i * 5)});
    }
    const std::string p3 = temp_path("rgb.png"), p4 = temp_path("rgba.png");
    write_png(p3, w, h, 3, rgb);
    write_png(p4, w, h, 4, rgba);
    std::string error;
    SDL_Surface* s3 = decode_image(p3.c_str(), error);
    ASSERT_NE(s3, nullptr) << error;
    EXPECT_EQ(s3->w, w);
    EXPECT_EQ(s3->h, h);
    EXPECT_EQ(s3->format->BitsPerPixel, 24);
    EXPECT_EQ(s3->format->Amask, 0u);
    bool same = true;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k)
                same = same && pixel(s3, x, y)[k] == rgb[(y * w + x) * 3 + k];
    EXPECT_TRUE(same);
    // the bytes are R, G, B in memory order, which the masks must say
    Uint8 r = 0, g = 0, b = 0;
    Uint32 v = 0;
    std::memcpy(&v, pixel(s3, 2, 1), 3);
    SDL_GetRGB(v, s3->format, &r, &g, &b);
    EXPECT_EQ(r, rgb[(1 * w + 2) * 3]);
    EXPECT_EQ(b, rgb[(1 * w + 2) * 3 + 2]);
    SDL_FreeSurface(s3);

    SDL_Surface* s4 = decode_image(p4.c_str(), error);
    ASSERT_NE(s4, nullptr) << error;
    EXPECT_EQ(s4->format->BitsPerPixel, 32);
    EXPECT_NE(s4->format->Amask, 0u);
    Uint8 a = 0;
    std::memcpy(&v, pixel(s4, w - 1, h - 1), 4);
    SDL_GetRGBA(v, s4->format, &r, &g, &b, &a);
    EXPECT_EQ(r, w * h - 1);
    EXPECT_EQ(g, 200);
    EXPECT_EQ(a, (w * h - 1) * 5);
    SDL_FreeSurface(s4);
    std::remove(p3.c_str());
    std::remove(p4.c_str());
}

TEST(DecodeImage, JpegAndGreyPicturesBecomeRgb) {
    const int w = 24, h = 16;
    std::vector<unsigned char> colour, grey;
    for (int i = 0; i < w * h; ++i) {
        colour.insert(colour.end(), {200, 40, 90});
        grey.push_back(128);
    }
    const std::string pj = temp_path("c.jpg"), pg = temp_path("g.jpg"), pp = temp_path("g.png");
    write_jpeg(pj, w, h, 3, colour);
    write_jpeg(pg, w, h, 1, grey);
    write_png(pp, w, h, 1, grey);
    std::string error;
    SDL_Surface* c = decode_image(pj.c_str(), error);
    ASSERT_NE(c, nullptr) << error;
    EXPECT_EQ(c->w, w);
    EXPECT_EQ(c->h, h);
    EXPECT_EQ(c->format->BitsPerPixel, 24);
    const unsigned char* p = pixel(c, w - 1, h - 1);
    EXPECT_NEAR(p[0], 200, 3);
    EXPECT_NEAR(p[1], 40, 3);
    EXPECT_NEAR(p[2], 90, 3);
    SDL_FreeSurface(c);
    for (const std::string& path : {pg, pp}) {
        SDL_Surface* g = decode_image(path.c_str(), error);
        ASSERT_NE(g, nullptr) << path << ": " << error;
        EXPECT_EQ(g->format->BitsPerPixel, 24) << path;
        const unsigned char* q = pixel(g, 3, 2);
        EXPECT_NEAR(q[0], 128, 1) << path;
        EXPECT_EQ(q[0], q[1]) << path;
        EXPECT_EQ(q[1], q[2]) << path;
        SDL_FreeSurface(g);
    }
    for (const auto& path : {pj, pg, pp}) std::remove(path.c_str());
}

TEST(DecodeImage, BadFilesGiveAReasonAndNoSurface) {
    std::string error;
    EXPECT_EQ(decode_image("/nonexistent/dir/x.png", error), nullptr);
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
    EXPECT_EQ(decode_image(nullptr, error), nullptr);
    EXPECT_FALSE(error.empty());

    const std::string empty = temp_path("empty.png"), junk = temp_path("junk.png"), badjpg = temp_path("bad.jpg"),
                      trunc = temp_path("trunc.png");
    write_bytes(empty, "");
    write_bytes(junk, "this is not a picture at all");
    write_bytes(badjpg, std::string("\xFF\xD8\xFF\xE0", 4) + std::string(200, '\x11'));
    std::vector<unsigned char> px(16 * 16 * 3, 77);
    write_png(trunc, 16, 16, 3, px);
    {
        FILE* f = std::fopen(trunc.c_str(), "rb");
        std::string bytes(4096, '\0');
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
        std::fclose(f);
        write_bytes(trunc, bytes.substr(0, 40));  // header only
    }
    EXPECT_EQ(decode_image(empty.c_str(), error), nullptr);
    EXPECT_EQ(error, "empty file");
    EXPECT_EQ(decode_image(junk.c_str(), error), nullptr);
    EXPECT_NE(error.find("named .png but holds no picture format"), std::string::npos) << error;
    EXPECT_EQ(decode_image(badjpg.c_str(), error), nullptr);
    EXPECT_NE(error.find("JPEG"), std::string::npos) << error;
    EXPECT_EQ(decode_image(trunc.c_str(), error), nullptr);
    EXPECT_FALSE(error.empty());
    for (const auto& path : {empty, junk, badjpg, trunc}) std::remove(path.c_str());
}
