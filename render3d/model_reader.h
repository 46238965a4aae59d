// The .3D text format shared by room and room_2D: line and number reads with
// the stream's failure rules, checks of every count and index, and texture
// coordinates converted to texels. Builds no object and touches no surface.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "load_result.h"
#include "object.h"

// Texture coordinates are kept within +-2^28 texels (far beyond any texture).
inline constexpr double max_tex_coord = 268435456.0;

// The fewest bytes the text of n objects can take: each begins with the end
// of the previous number's line, a separator line and its name line (three
// line ends at least), then "V F", the end of that line, a heading line end
// and T: "\n\n\n0 0\n\n0". A textured room adds " G".
inline constexpr long long min_object_bytes = 9;
inline constexpr long long min_textured_object_bytes = 11;
// The fewest bytes of n records of three numbers: "0 0 0", one white-space
// character between records.
inline constexpr long long min_record_bytes(long long n) { return n > 0 ? 6 * n - 1 : 0; }

// The largest model file read: the show's models are 9 to 160 KB. A bigger
// file is refused from its size, before a byte of it is read.
inline constexpr long long max_model_bytes = 4LL << 20;

// Physical memory of this machine in bytes (0 when the system cannot say).
unsigned long long physical_memory();

struct model_format {
    bool unit_tex = false;   // false: u, v in -2..2 for 640 x 480; true: 0..1 scaled by tex_w/h
    int tex_w = 640;
    int tex_h = 480;
    bool tex_faces = false;  // G texture-face records follow the texture coordinates
    // Memory one object takes once built, besides its vertex, face and
    // texture arrays (its texture surface, scan-line tables, the record).
    unsigned long long object_bytes = 0;
    // Memory the model may take at most (0: this machine's physical memory).
    unsigned long long memory_limit = 0;
};

struct parsed_object {
    std::string name;  // at most 99 characters (a longer name line is cut)
    std::vector<vertex> verts;
    std::vector<face> faces;
    std::vector<tex_coord> tex;
    std::vector<std::array<int, 3>> tex_faces;
};

struct parsed_model {
    std::string name;  // at most 199 characters
    std::vector<parsed_object> objects;
};

// Parses the text of a .3D file; `path` only names the file in messages.
// A count is refused when the rest of the text cannot hold that many
// records, or the objects cannot fit in memory; files of any size load.
load_result parse_model(std::string_view text, const std::string& path, const model_format& fmt,
                        parsed_model& out);

// Reads the file at `path` (at most max_model_bytes) and parses it.
load_result read_model(const char* path, const model_format& fmt, parsed_model& out);

// Texel coordinate of a room file's u (or v) in -2..2: trunc((u + 2) * (size - 1) * 0.25).
int room_tex_coord(float u, int size);
// Texel coordinate of a textured room's u (or v) in 0..1: trunc(size * u).
int unit_tex_coord(float u, int size);
