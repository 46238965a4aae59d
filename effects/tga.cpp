// read_TGA: the 640 x 480 x 24-bit TGA loader, its header and size checked
// before the surface is touched. Owns its read buffer for the call only.
#include "tga.h"

#include <fstream>
#include <memory>

#include "pixel.h"

std::string tga_header_problem(const unsigned char* h) {
    const int id_length = h[0], map_type = h[1], image_type = h[2];
    const int width = h[12] | (h[13] << 8), height = h[14] | (h[15] << 8);
    const int bits = h[16], alpha_bits = h[17] & 0x0F;
    if (id_length == 0 && map_type == 0 && image_type == 2 && width == 640 && height == 480 &&
        bits == 24 && alpha_bits == 0)
        return {};
    const char* kind = image_type == 2    ? "uncompressed true-colour"
                       : image_type == 10 ? "run-length encoded true-colour"
                       : image_type == 1 || image_type == 9 ? "colour-mapped"
                       : image_type == 3 || image_type == 11 ? "greyscale"
                                                             : "of no known type";
    std::string why = "header says type " + std::to_string(image_type) + " (" + kind + "), " +
                      std::to_string(width) + " x " + std::to_string(height) + ", " +
                      std::to_string(bits) + " bits per pixel";
    if (map_type != 0) why += ", a colour map";
    if (id_length != 0) why += ", an image ID of " + std::to_string(id_length) + " bytes";
    if (alpha_bits != 0) why += ", " + std::to_string(alpha_bits) + " alpha bits";
    return why + "; only an uncompressed 24-bit 640 x 480 picture with no ID and no colour map is read";
}

tga_result read_TGA(const char* path, SDL_Surface* surface) {
    const std::string name = path ? path : "(null)";
    auto fail = [&](const std::string& why) { return tga_result{false, name + ": " + why}; };
    if (!path) return fail("no file name given");
    if (!surface) return fail("no target surface");
    if (surface->format->BytesPerPixel != 2 || surface->w < 640 || surface->h < 480)
        return fail("target surface is not a 16-bit surface of at least 640 x 480");

    std::ifstream in(path, std::ios::binary);
    if (!in) return fail("cannot open file");
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    unsigned char header[tga_header_bytes];
    if (size >= tga_header_bytes) {
        in.seekg(0, std::ios::beg);
        in.read(reinterpret_cast<char*>(header), tga_header_bytes);
        if (in.gcount() != tga_header_bytes) return fail("read error in the header");
        if (const std::string why = tga_header_problem(header); !why.empty()) return fail(why);
    }
    if (size < tga_header_bytes + tga_pixel_bytes)
        return fail("file holds " + std::to_string(size < 0 ? 0 : size) + " bytes, needs at least " +
                    std::to_string(tga_header_bytes + tga_pixel_bytes) +
                    " (18-byte header and 640 x 480 x 24-bit pixels)");

    std::unique_ptr<unsigned char[]> buffer(new unsigned char[tga_pixel_bytes]);
    in.seekg(tga_header_bytes, std::ios::beg);
    in.read(reinterpret_cast<char*>(buffer.get()), tga_pixel_bytes);
    if (in.gcount() != tga_pixel_bytes) return fail("read error in the pixel block");

    surface_lock lock(surface);
    const unsigned char* s = buffer.get();
    for (int y = 0; y < 480; ++y) {
        Uint16* d = lock.row(y);
        for (int x = 0; x < 640; ++x, s += 3) {
            // bytes blue, green, red: out = (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3)
            d[x] = static_cast<Uint16>(((s[2] >> 3) << 11) | ((s[1] >> 2) << 5) | (s[0] >> 3));
        }
    }
    return tga_result{true, {}};
}
