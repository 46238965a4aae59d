// Picture decoding: the extension names the format and the signature must
// match it; JPEG files go to libjpeg (islow DCT, fancy upsampling, RGB
// output, every warning an error), PNG files are walked chunk by chunk
// (png_check) and then decoded by stb_image built with PNG alone; sizes are
// checked from the header before anything is allocated. The pixels are
// copied into a surface that owns them. Reads the file whole; touches no
// other state.
#include "decode_image.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include <jpeglib.h>

#include "png_check.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#define STBI_ONLY_PNG
#define STBI_MAX_DIMENSIONS 640
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

static_assert(max_picture_w <= STBI_MAX_DIMENSIONS && max_picture_h <= STBI_MAX_DIMENSIONS,
              "stb_image must accept every picture size the show can use");

namespace {

// Byte order of the surfaces: R, G, B (and A) in memory order.
#if SDL_BYTEORDER == SDL_LIL_ENDIAN
constexpr Uint32 r_mask = 0x000000FF, g_mask = 0x0000FF00, b_mask = 0x00FF0000, a_mask = 0xFF000000;
#else
constexpr Uint32 r_mask = 0xFF000000, g_mask = 0x00FF0000, b_mask = 0x0000FF00, a_mask = 0x000000FF;
#endif

enum class format { none, png, jpeg };

// The format a file name's extension names (case does not matter).
format format_of_name(const char* name) {
    const std::string_view n = name ? name : "";
    const size_t dot = n.rfind('.');
    if (dot == std::string_view::npos || n.find('/', dot) != std::string_view::npos) return format::none;
    std::string ext(n.substr(dot + 1));
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "png") return format::png;
    if (ext == "jpg" || ext == "jpeg") return format::jpeg;
    return format::none;
}

bool is_jpeg(const unsigned char* b, size_t size) {
    return size >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
}
bool is_png(const unsigned char* b, size_t size) {
    return size >= sizeof png_signature && std::memcmp(b, png_signature, sizeof png_signature) == 0;
}

// What the first bytes look like, for the message of a misnamed file.
std::string looks_like(const unsigned char* b, size_t size) {
    if (is_png(b, size)) return "a PNG";
    if (is_jpeg(b, size)) return "a JPEG";
    if (size >= 2 && b[0] == 'B' && b[1] == 'M') return "a BMP picture";
    if (size >= 2 && b[0] == 'P' && b[1] >= '1' && b[1] <= '7') return "a PNM picture";
    if (size >= 3 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F') return "a GIF picture";
    return "no picture format the show reads";
}

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
    else if (size > max_picture_file_bytes)
        error = "too large for a picture (" + std::to_string(size) + " bytes; at most " +
                std::to_string(max_picture_file_bytes) + ")";
    if (error.empty()) {
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

// libjpeg's error manager: errors jump out, warnings (a premature end,
// corrupt data, extraneous bytes) are counted and the first one kept.
struct jpeg_failure {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int warnings;
    char first_warning[JMSG_LENGTH_MAX];
};

void jpeg_fail(j_common_ptr cinfo) {
    auto* f = reinterpret_cast<jpeg_failure*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, f->message);
    std::longjmp(f->jump, 1);
}
// msg_level -1 is a warning; 0 and up are trace messages, ignored.
void jpeg_note(j_common_ptr cinfo, int msg_level) {
    if (msg_level >= 0) return;
    auto* f = reinterpret_cast<jpeg_failure*>(cinfo->err);
    if (f->warnings++ == 0) (*cinfo->err->format_message)(cinfo, f->first_warning);
}

// Plain C-style on purpose: longjmp leaves it, so nothing here has a destructor.
// rows is sized once the header is read and the size checked.
bool decode_jpeg_into(const unsigned char* data, size_t size, std::vector<unsigned char>& rows, int& w, int& h,
                      char* message) {
    jpeg_decompress_struct cinfo;
    jpeg_failure failure;
    cinfo.err = jpeg_std_error(&failure.mgr);
    failure.mgr.error_exit = jpeg_fail;
    failure.mgr.emit_message = jpeg_note;
    failure.message[0] = '\0';
    failure.warnings = 0;
    failure.first_warning[0] = '\0';
    if (setjmp(failure.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(message, JMSG_LENGTH_MAX, "not a readable JPEG (%s)", failure.message);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    // Refused from the header, before any pixel memory: the size, and a
    // progressive file (its scans each pass over the whole picture; the
    // show's JPEGs are baseline).
    if (cinfo.image_width > static_cast<unsigned>(max_picture_w) ||
        cinfo.image_height > static_cast<unsigned>(max_picture_h)) {
        std::snprintf(message, JMSG_LENGTH_MAX, "its size %ux%u is beyond the %dx%d the show can use",
                      cinfo.image_width, cinfo.image_height, max_picture_w, max_picture_h);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    if (cinfo.progressive_mode) {
        std::snprintf(message, JMSG_LENGTH_MAX, "a progressive JPEG (the show reads baseline JPEGs)");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;  // grey pictures come out as RGB too
    cinfo.quantize_colors = FALSE;
    jpeg_calc_output_dimensions(&cinfo);
    if (cinfo.output_width == 0 || cinfo.output_height == 0 || cinfo.output_components != 3) {
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
    if (failure.warnings > 0) {
        std::snprintf(message, JMSG_LENGTH_MAX, "a damaged JPEG (%s%s)", failure.first_warning,
                      failure.warnings > 1 ? ", and more" : "");
        return false;
    }
    return true;
}

SDL_Surface* decode_png(const unsigned char* data, size_t size, std::string& error) {
    png_layout layout;
    if (std::string why = check_png(data, size, max_picture_w, max_picture_h, layout); !why.empty()) {
        error = "not a usable PNG: " + why;
        return nullptr;
    }
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(data, static_cast<int>(size), &w, &h, &channels)) {
        error = std::string("not a readable PNG (") + stbi_failure_reason() + ")";
        return nullptr;
    }
    // Grey and RGB become RGB; anything with alpha (including a palette with
    // a transparent entry, which stb reports as 4 channels) becomes RGBA.
    const int want = (channels == 2 || channels == 4) ? 4 : 3;
    int got = 0;
    unsigned char* pixels = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &got, want);
    if (!pixels) {
        error = std::string("not a readable PNG (") + stbi_failure_reason() + ")";
        return nullptr;
    }
    SDL_Surface* s = nullptr;
    if (w != static_cast<int>(layout.width) || h != static_cast<int>(layout.height))
        error = "not a readable PNG (its decoded size differs from its header)";
    else
        s = surface_from(pixels, w, h, want, error);
    stbi_image_free(pixels);
    return s;
}

}  // namespace

SDL_Surface* decode_image_bytes(const unsigned char* data, std::size_t size, const char* name,
                                std::string& error) {
    error.clear();
    if (!data || size == 0) {
        error = "empty file";
        return nullptr;
    }
    if (size > static_cast<std::size_t>(max_picture_file_bytes)) {
        error = "too large for a picture (" + std::to_string(size) + " bytes)";
        return nullptr;
    }
    switch (format_of_name(name)) {
    case format::png:
        if (!is_png(data, size)) {
            error = "named .png but holds " + looks_like(data, size);
            return nullptr;
        }
        return decode_png(data, size, error);
    case format::jpeg: {
        if (!is_jpeg(data, size)) {
            error = "named as a JPEG but holds " + looks_like(data, size);
            return nullptr;
        }
        std::vector<unsigned char> rows;
        int w = 0, h = 0;
        char message[JMSG_LENGTH_MAX + 64];
        if (!decode_jpeg_into(data, size, rows, w, h, message)) {
            error = message;
            return nullptr;
        }
        return surface_from(rows.data(), w, h, 3, error);
    }
    case format::none: break;
    }
    error = "not named as a picture the show reads (.png, .jpg or .jpeg)";
    return nullptr;
}

SDL_Surface* decode_image(const char* path, std::string& error) {
    error.clear();
    if (!path) {
        error = "no path given";
        return nullptr;
    }
    if (format_of_name(path) == format::none) {
        error = "not named as a picture the show reads (.png, .jpg or .jpeg)";
        return nullptr;
    }
    std::vector<unsigned char> bytes;
    if (!read_file(path, bytes, error))
        return nullptr;
    return decode_image_bytes(bytes.data(), bytes.size(), path, error);
}
