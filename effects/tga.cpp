// read_TGA: the 640 x 480 x 24-bit TGA loader, checked before the surface is touched.
// Owns its read buffer for the call only.
#include "tga.h"

#include <fstream>
#include <memory>

#include "pixel.h"

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
