// libFuzzer target for the song cache's reader: the input written to a file
// of its own and read back from block 0 and from a block the input's last
// byte picks. The key the reader expects is the one the input's header
// carries, so the fuzzer gets past the key to the sizes, positions,
// checksums and samples. Owns the scratch file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "song_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/fuzz-song-cache-" + std::to_string(getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    std::uint64_t key = 0;
    if (size >= 20)
        std::memcpy(&key, data + 12, sizeof key);  // after the mark and the format
    const std::int64_t from = size ? std::int64_t(data[size - 1]) * 256 * 7 + data[size - 1] : 0;
    for (const std::int64_t at : {std::int64_t(0), from}) {
        std::string error;
        const auto blocks = song_cache::read(path, key, at, error);
        if (!blocks) {
            if (error.empty()) __builtin_trap();  // a refusal says why
            continue;
        }
        // what a restore relies on: the block asked for is held, whole
        if (!blocks->holds(at / 256) ||
            blocks->samples.size() != static_cast<std::size_t>(blocks->count()) * 512)
            __builtin_trap();
    }
    return 0;
}
