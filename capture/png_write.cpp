// PNG output for captured frames: RGB565 rows expanded to RGB24 and handed to
// libpng one row at a time.
#include "png_write.h"

#include "frame_read_lock.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>

void rgb565_to_rgb24(const Uint16* src, int width, std::uint8_t* dst) {
    for (int x = 0; x < width; ++x) {
        const unsigned p = src[x];
        const unsigned r = p >> 11, g = (p >> 5) & 63, b = p & 31;
        dst[0] = static_cast<std::uint8_t>((r << 3) | (r >> 2));
        dst[1] = static_cast<std::uint8_t>((g << 2) | (g >> 4));
        dst[2] = static_cast<std::uint8_t>((b << 3) | (b >> 2));
        dst += 3;
    }
}

namespace {
struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The libpng calls; a libpng error longjmps back here and gives false.
bool encode(png_structp png, png_infop info, std::FILE* f, SDL_Surface* s, int level,
            std::uint8_t* row) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, f);
    png_set_compression_level(png, level);
    png_set_filter(png, 0, PNG_FILTER_SUB);
    png_set_IHDR(png, info, s->w, s->h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const auto* base = static_cast<const std::uint8_t*>(s->pixels);
    for (int y = 0; y < s->h; ++y) {
        rgb565_to_rgb24(reinterpret_cast<const Uint16*>(base + static_cast<size_t>(y) * s->pitch),
                        s->w, row);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}
}  // namespace

bool write_png(const std::string& path, SDL_Surface* s, int level, std::string& error) {
    if (!s || s->format->BytesPerPixel != 2) {
        error = path + ": not a 16-bit surface";
        return false;
    }
    std::unique_ptr<std::FILE, file_closer> f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error = path + ": out of memory";
        return false;
    }
    std::vector<std::uint8_t> row(static_cast<size_t>(s->w) * 3);
    bool ok;
    {
        frame_read_lock lock(s);
        ok = encode(png, info, f.get(), s, level, row.data());
    }
    png_destroy_write_struct(&png, &info);
    if (!ok)
        error = path + ": PNG encoding failed";
    else if (std::fflush(f.get()) != 0)
        error = path + ": " + std::strerror(errno);
    return ok && error.empty();
}
