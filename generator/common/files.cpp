// PNG and JPEG writers for the generated pictures (libpng, libjpeg). Fixed
// settings and no time chunk: the same pixels give the same file bytes.
#include "common/files.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

namespace pic {

namespace {
struct file_closer {
    void operator()(FILE* f) const {
        if (f) std::fclose(f);
    }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;
}  // namespace

namespace {
// The libpng and libjpeg calls, kept apart from any C++ object: both libraries
// report failure by longjmp, which must not cross a destructor.
bool png_encode(FILE* f, int w, int h, const uint8_t* rgb) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) png_write_row(png, const_cast<png_bytep>(rgb + size_t(y) * size_t(w) * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

struct jpeg_fail {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};
void on_jpeg_error(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<jpeg_fail*>(cinfo->err);
    std::longjmp(e->jump, 1);
}

bool jpeg_encode(FILE* f, int w, int h, const uint8_t* rgb, int quality) {
    jpeg_compress_struct cinfo;
    jpeg_fail err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = on_jpeg_error;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + size_t(cinfo.next_scanline) * size_t(w) * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

bool jpeg_decode(FILE* f, int& w, int& h, std::vector<uint8_t>& out) {
    jpeg_decompress_struct cinfo;
    jpeg_fail err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = on_jpeg_error;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    w = int(cinfo.output_width), h = int(cinfo.output_height);
    if (cinfo.output_components != 3 || w <= 0 || h <= 0 || w > 8192 || h > 8192) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    out.resize(size_t(w) * size_t(h) * 3);  // sized before any row is read
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.data() + size_t(cinfo.output_scanline) * size_t(w) * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

template <class Encode>
bool write_with(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb_bytes, std::string& error,
                Encode encode) {
    if (w <= 0 || h <= 0 || rgb_bytes.size() != size_t(w) * size_t(h) * 3) {
        error = path + ": picture buffer does not match its size";
        return false;
    }
    file_ptr f(std::fopen(path.c_str(), "wb"));
    if (!f) {
        error = path + ": cannot open for writing";
        return false;
    }
    if (!encode(f.get())) {
        error = path + ": the encoder failed while writing";
        return false;
    }
    if (std::fflush(f.get()) != 0 || std::ferror(f.get())) {
        error = path + ": write error";
        return false;
    }
    return true;
}
}  // namespace

bool write_png(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb_bytes, std::string& error) {
    return write_with(path, w, h, rgb_bytes, error,
                      [&](FILE* f) { return png_encode(f, w, h, rgb_bytes.data()); });
}

bool write_jpeg(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb_bytes, int quality,
                std::string& error) {
    return write_with(path, w, h, rgb_bytes, error,
                      [&](FILE* f) { return jpeg_encode(f, w, h, rgb_bytes.data(), quality); });
}

bool read_jpeg(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgb_bytes, std::string& error) {
    file_ptr f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        error = path + ": cannot open for reading";
        return false;
    }
    if (!jpeg_decode(f.get(), w, h, rgb_bytes)) {
        error = path + ": not a readable RGB JPEG";
        return false;
    }
    return true;
}

}  // namespace pic
