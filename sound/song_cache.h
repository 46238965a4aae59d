// The song cache: the song's samples from its first frame, read in whole
// blocks exactly as the renderer reads them, with the position libopenmpt
// reported after each block. A start that restores a checkpoint plays the
// song from it instead of rendering everything before the start again.
// The file: a mark, the format, the caller's key (which program and data
// made it), the player's version, the block count, every block's position,
// a checksum per chunk of blocks, then the samples (16-bit little-endian).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct openmpt_module;

namespace song_cache {

inline constexpr std::uint32_t format_version = 1;
inline constexpr int chunk_blocks = 64;  // blocks under one checksum
// The longest song a cache holds (blocks of 256 frames: about 10 minutes).
inline constexpr std::int64_t max_blocks = 103360;

struct block_position {
    std::int16_t order = 0, pattern = 0, row = 0;
};

// The blocks of a song from first_block on, as one reader loaded them.
struct blocks {
    std::int64_t first_block = 0;
    std::vector<std::int16_t> samples;       // whole blocks, interleaved stereo
    std::vector<block_position> positions;  // one per block held
    std::int64_t count() const { return static_cast<std::int64_t>(positions.size()); }
    bool holds(std::int64_t block) const { return block >= first_block && block < first_block + count(); }
};

// Renders `m` (rewound first) for `seconds` through the renderer and
// writes the file, through a temporary file renamed into place. False with
// a message naming the file.
bool write(const std::string& path, openmpt_module* m, double seconds, std::uint64_t key, std::string& error);
// Reads the blocks from the one that holds song frame `from` to the end,
// checking every chunk read. Null with a message (naming the file) when it
// is missing, of another key or player, cut or damaged.
std::shared_ptr<const blocks> read(const std::string& path, std::uint64_t key, std::int64_t from,
                                   std::string& error);
// The key's half that the player adds: its version (a cache of another
// build of libopenmpt is refused).
std::string player_version();

}  // namespace song_cache
