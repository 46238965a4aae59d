// The song cache's file: written by rendering the song through the
// renderer, read back from a chosen block with every chunk's checksum
// checked.
#include "song_cache.h"

#include "sound_render.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace song_cache {

static_assert(std::endian::native == std::endian::little, "the cache's samples are stored as the machine holds them");

namespace {
constexpr char mark[8] = {'O', 'S', 'T', 'R', 'S', 'O', 'N', 'G'};
constexpr std::size_t block_values = 2 * sound_render::block_frames;  // int16 per block
constexpr std::size_t block_bytes = block_values * sizeof(std::int16_t);
constexpr std::size_t position_bytes = 6;
constexpr std::size_t max_player = 64;

std::uint64_t fnv1a(const void* p, std::size_t n, std::uint64_t h = 0xcbf29ce484222325ull) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i) h = (h ^ b[i]) * 0x100000001b3ull;
    return h;
}

std::int64_t chunks_of(std::int64_t blocks) { return (blocks + chunk_blocks - 1) / chunk_blocks; }

template <typename T>
void put(std::vector<char>& out, T v) {
    char b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    out.insert(out.end(), b, b + sizeof(T));
}
template <typename T>
bool get(std::ifstream& f, T& v) {
    return static_cast<bool>(f.read(reinterpret_cast<char*>(&v), sizeof(T)));
}
}  // namespace

std::string player_version() {
    const std::uint32_t v = openmpt_get_library_version();
    return "libopenmpt " + std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 0xFF) + "." +
           std::to_string(v & 0xFFFF);
}

bool write(const std::string& path, openmpt_module* m, double seconds, std::uint64_t key, std::string& error) {
    if (!m || !(seconds > 0.0)) {
        error = path + ": no song to cache";
        return false;
    }
    const std::int64_t count = std::min<std::int64_t>(
        max_blocks, static_cast<std::int64_t>(std::ceil(std::min(seconds, 600.0) * sound_render::rate /
                                                        sound_render::block_frames)));
    // The renderer itself reads the blocks, so the cache holds the very
    // samples and positions a run would.
    auto r = std::make_unique<sound_render::renderer>();
    r->start(m);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(count) * block_values);
    std::vector<char> positions;
    for (std::int64_t b = 0; b < count; ++b) {
        r->render(samples.data() + static_cast<std::size_t>(b) * block_values, sound_render::block_frames);
        const sound_render::position& p = r->ring[static_cast<std::size_t>((r->ring_count - 1) % sound_render::ring_entries)];
        put(positions, static_cast<std::int16_t>(p.order));
        put(positions, static_cast<std::int16_t>(p.pattern));
        put(positions, static_cast<std::int16_t>(p.row));
    }
    std::vector<char> head(mark, mark + sizeof mark);
    put(head, format_version);
    put(head, key);
    const std::string player = player_version().substr(0, max_player);
    put(head, static_cast<std::uint32_t>(player.size()));
    head.insert(head.end(), player.begin(), player.end());
    put(head, static_cast<std::uint32_t>(sound_render::block_frames));
    put(head, static_cast<std::uint32_t>(chunk_blocks));
    put(head, static_cast<std::uint64_t>(count));
    put(head, fnv1a(positions.data(), positions.size()));
    head.insert(head.end(), positions.begin(), positions.end());
    for (std::int64_t c = 0; c < chunks_of(count); ++c) {
        const std::int64_t first = c * chunk_blocks, n = std::min<std::int64_t>(chunk_blocks, count - first);
        put(head, fnv1a(samples.data() + static_cast<std::size_t>(first) * block_values,
                        static_cast<std::size_t>(n) * block_bytes));
    }
    const std::string tmp = path + ".part";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        if (!f || !f.write(head.data(), static_cast<std::streamsize>(head.size())) ||
            !f.write(reinterpret_cast<const char*>(samples.data()),
                     static_cast<std::streamsize>(samples.size() * sizeof(std::int16_t))) ||
            !f.flush()) {
            error = tmp + ": cannot write (" + std::strerror(errno) + ")";
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        error = path + ": cannot put in place (" + std::strerror(errno) + ")";
        return false;
    }
    return true;
}

std::shared_ptr<const blocks> read(const std::string& path, std::uint64_t key, std::int64_t from, std::string& error) {
    auto fail = [&](const std::string& why) -> std::shared_ptr<const blocks> {
        error = path + ": " + why;
        return nullptr;
    };
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return fail("no song cache");
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    std::ifstream f(path, std::ios::binary);
    if (ec || !f)
        return fail("cannot open (" + std::string(std::strerror(errno)) + ")");
    char m[sizeof mark];
    std::uint32_t version = 0, player_size = 0, frames = 0, chunk = 0;
    std::uint64_t file_key = 0, count = 0, positions_sum = 0;
    if (!f.read(m, sizeof m) || std::memcmp(m, mark, sizeof m) != 0)
        return fail("not a song cache");
    if (!get(f, version) || version != format_version)
        return fail("a song cache of another format");
    if (!get(f, file_key) || file_key != key)
        return fail("a song cache of another program or other data");
    if (!get(f, player_size) || player_size > max_player)
        return fail("a song cache of another player");
    std::string player(player_size, '\0');
    if (!f.read(player.data(), player_size) || player != player_version())
        return fail("a song cache of another player");
    if (!get(f, frames) || !get(f, chunk) || frames != sound_render::block_frames || chunk != chunk_blocks)
        return fail("a song cache of another block size");
    if (!get(f, count) || !get(f, positions_sum) || count == 0 || count > std::uint64_t(max_blocks))
        return fail("a song cache whose block count is out of range");
    const auto blocks_n = static_cast<std::int64_t>(count);
    const std::uintmax_t head = static_cast<std::uintmax_t>(f.tellg());
    const std::uintmax_t sums_at = head + count * position_bytes;
    const std::uintmax_t samples_at = sums_at + static_cast<std::uintmax_t>(chunks_of(blocks_n)) * 8;
    if (size != samples_at + count * block_bytes)
        return fail("cut or padded (" + std::to_string(size) + " bytes; its header says " +
                    std::to_string(samples_at + count * block_bytes) + ")");
    const std::int64_t wanted = std::max<std::int64_t>(0, from) / sound_render::block_frames;
    if (wanted >= blocks_n)
        return fail("the song cache ends before the start");
    std::vector<char> raw(static_cast<std::size_t>(count) * position_bytes);
    if (!f.read(raw.data(), static_cast<std::streamsize>(raw.size())) || fnv1a(raw.data(), raw.size()) != positions_sum)
        return fail("the song cache's positions are damaged");
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(chunks_of(blocks_n)));
    if (!f.read(reinterpret_cast<char*>(sums.data()), static_cast<std::streamsize>(sums.size() * 8)))
        return fail("cannot read the song cache's checksums");
    auto out = std::make_shared<blocks>();
    const std::int64_t first_chunk = wanted / chunk_blocks;
    out->first_block = first_chunk * chunk_blocks;
    const std::int64_t held = blocks_n - out->first_block;
    out->positions.resize(static_cast<std::size_t>(held));
    for (std::int64_t b = 0; b < held; ++b) {
        const char* p = raw.data() + static_cast<std::size_t>(out->first_block + b) * position_bytes;
        block_position& q = out->positions[static_cast<std::size_t>(b)];
        std::memcpy(&q.order, p, 2), std::memcpy(&q.pattern, p + 2, 2), std::memcpy(&q.row, p + 4, 2);
    }
    out->samples.resize(static_cast<std::size_t>(held) * block_values);
    f.seekg(static_cast<std::streamoff>(samples_at + static_cast<std::uintmax_t>(out->first_block) * block_bytes));
    if (!f.read(reinterpret_cast<char*>(out->samples.data()),
                static_cast<std::streamsize>(out->samples.size() * sizeof(std::int16_t))))
        return fail("cannot read the song cache's samples");
    for (std::int64_t c = first_chunk; c < chunks_of(blocks_n); ++c) {
        const std::int64_t b0 = c * chunk_blocks, n = std::min<std::int64_t>(chunk_blocks, blocks_n - b0);
        if (fnv1a(out->samples.data() + static_cast<std::size_t>(b0 - out->first_block) * block_values,
                  static_cast<std::size_t>(n) * block_bytes) != sums[static_cast<std::size_t>(c)])
            return fail("the song cache's samples are damaged (chunk " + std::to_string(c) + ")");
    }
    return out;
}

}  // namespace song_cache
