// Picture decoding: JPEG files go to libjpeg (islow DCT, fancy upsampling,
// RGB output), everything else to stb_image; the pixels are copied into a
// surface that owns them. Reads the file whole; touches no other state.
#include "decode_image.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb_image.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

// Byte order of the surfaces: R, G, B (and A) in memory order.
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
constexpr Uint32 r_mask = 0x000000FF, g_mask = 0x0000FF00, b_mask = 0x00FF0000, a_mask = 0xFF000000;
#else
constexpr Uint32 r_mask = 0xFF000000, g_mask = 0x00FF0000, b_mask = 0x0000FF00, a_mask = 0x000000FF;
#endif
constexpr long max_file_bytes = 64L << 20;
constexpr int max_side = 16384;

bool read_file(const char* path, std::vector<unsigned char>& out, std::string& error) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(f) : -1;
    ok = ok && size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
    if (!ok)
        error = "cannot read its size";
    else if (size == 0)
        error = "empty file";
    else if (size > max_file_bytes)
        error = "too large for a picture (" + std::to_string(size) + " bytes)";
    if (ok && error.empty()) {
        out.resize(static_cast<size_t>(size));
        if (std::fread(out.data(), 1, out.size(), f) != out.size())
            error = "read error";
    }
    std::fclose(f);
    return error.empty();
}

// A surface of w x h with `channels` bytes per pixel (3 or 4), pixels
// copied from rows of exactly w * channels bytes.
SDL_Surface* surface_from(const unsigned char* pixels, int w, int h, int channels, std::string& error) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, channels * 8, r_mask, g_mask, b_mask,
                                          channels == 4 ? a_mask : 0);
    if (!s) {
        error = std::string("no surface for the picture: ") + SDL_GetError();
        return nullptr;
    }
    const size_t row = static_cast<size_t>(w) * channels;
    for (int y = 0; y < h; ++y)
        std::memcpy(static_cast<unsigned char*>(s->pixels) + static_cast<size_t>(y) * s->pitch,
                    pixels + static_cast<size_t>(y) * row, row);
    return s;
}

struct jpeg_failure {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpeg_fail(j_common_ptr cinfo) {
    auto* f = reinterpret_cast<jpeg_failure*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, f->message);
    std::longjmp(f->jump, 1);
}
void jpeg_quiet(j_common_ptr, int) {}

// Plain C-style on purpose: longjmp leaves it, so nothing here has a destructor.
// rows must hold w * h * 3 bytes once the header is read; it is sized through
// the callback-free two-step below.
bool decode_jpeg_into(const unsigned char* data, size_t size, std::vector<unsigned char>& rows, int& w, int& h,
                      char* message) {
    jpeg_decompress_struct cinfo;
    jpeg_failure failure;
    cinfo.err = jpeg_std_error(&failure.mgr);
    failure.mgr.error_exit = jpeg_fail;
    failure.mgr.emit_message = jpeg_quiet;
    failure.message[0] = '\0';
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", failure.message);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;  // grey pictures come out as RGB too
    cinfo.quantize_colors = FALSE;
    jpeg_calc_output_dimensions(&cinfo);
    if (cinfo.output_width == 0 || cinfo.output_height == 0 || cinfo.output_width > max_side ||
        cinfo.output_height > max_side || cinfo.output_components != 3) {
        std::snprintf(message, JMSG_LENGTH_MAX, "unsupported JPEG layout (%ux%u, %d components)",
                      cinfo.output_width, cinfo.output_height, cinfo.output_components);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    w = static_cast<int>(cinfo.output_width);
    h = static_cast<int>(cinfo.output_height);
    // Sized before decompression starts: resize allocates, and a longjmp
    // past a finished resize leaks nothing (the vector belongs to the caller).
    rows.resize(static_cast<size_t>(w) * h * 3);
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = rows.data() + static_cast<size_t>(cinfo.output_scanline) * w * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool is_jpeg(const std::vector<unsigned char>& b) {
    return b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
}

}  // namespace

SDL_Surface* decode_image(const char* path, std::string& error) {
    error.clear();
    if (!path) {
        error = "no path given";
        return nullptr;
    }
    std::vector<unsigned char> bytes;
    if (!read_file(path, bytes, error))
        return nullptr;

    if (is_jpeg(bytes)) {
        std::vector<unsigned char> rows;
        int w = 0, h = 0;
        char message[JMSG_LENGTH_MAX];
        if (!decode_jpeg_into(bytes.data(), bytes.size(), rows, w, h, message)) {
            error = std::string("not a readable JPEG (") + message + ")";
            return nullptr;
        }
        return surface_from(rows.data(), w, h, 3, error);
    }

    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels)) {
        error = std::string("not a readable PNG, JPEG or BMP (") + stbi_failure_reason() + ")";
        return nullptr;
    }
    if (w <= 0 || h <= 0 || w > max_side || h > max_side) {
        error = "unsupported picture size " + std::to_string(w) + "x" + std::to_string(h);
        return nullptr;
    }
    // Grey and RGB become RGB; anything with alpha (including a palette with
    // a transparent entry, which stb reports as 4 channels) becomes RGBA.
    const int want = (channels == 2 || channels == 4) ? 4 : 3;
    int got = 0;
    unsigned char* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &got, want);
    if (!pixels) {
        error = std::string("not a readable picture (") + stbi_failure_reason() + ")";
        return nullptr;
    }
    SDL_Surface* s = surface_from(pixels, w, h, want, error);
    stbi_image_free(pixels);
    return s;
}
