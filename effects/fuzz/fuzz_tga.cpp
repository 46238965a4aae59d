// libFuzzer target for read_TGA: the input as a whole file, then padded
// with zeros to a full 640 x 480 file so that a header it accepts also
// reaches the pixel conversion. The file lives in memory (memfd). Owns
// nothing beyond one run.
#include <SDL.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bitmap.h"
#include "tga.h"

namespace {
// Replaces the memory file's bytes by `bytes`.
void put(int fd, const std::uint8_t* bytes, std::size_t size) {
    if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) __builtin_trap();
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, bytes + done, size - done);
        if (n <= 0) __builtin_trap();
        done += static_cast<std::size_t>(n);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("fuzz.tga", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    static SDL_Surface* target = new_surface16(640, 480);
    if (fd < 0 || !target) __builtin_trap();

    put(fd, data, size);
    tga_result r = read_TGA(path.c_str(), target);
    if (!r.ok && r.error.find(path) != 0) __builtin_trap();  // a refusal names the file

    const std::size_t whole = tga_header_bytes + tga_pixel_bytes;
    if (size < whole) {
        std::vector<std::uint8_t> padded(data, data + size);
        padded.resize(whole, 0);
        put(fd, padded.data(), padded.size());
        r = read_TGA(path.c_str(), target);
        if (!r.ok && r.error.find(path) != 0) __builtin_trap();
    }
    return 0;
}
