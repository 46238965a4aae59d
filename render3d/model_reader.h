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

// Sane limits: a model larger than this is refused as malformed.
inline constexpr int max_model_objects = 256;
inline constexpr int max_model_count = 1000000;  // vertices, faces, texture records
inline constexpr long max_model_file_bytes = 64L << 20;
// Texture coordinates are kept within +-2^28 texels (far beyond any texture).
inline constexpr double max_tex_coord = 268435456.0;

struct model_format {
    bool unit_tex = false;   // false: u, v in -2..2 for 640 x 480; true: 0..1 scaled by tex_w/h
    int tex_w = 640;
    int tex_h = 480;
    bool tex_faces = false;  // G texture-face records follow the texture coordinates
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
load_result parse_model(std::string_view text, const std::string& path, const model_format& fmt,
                        parsed_model& out);

// Reads the file at `path` and parses it.
load_result read_model(const char* path, const model_format& fmt, parsed_model& out);

// Texel coordinate of a room file's u (or v) in -2..2: trunc((u + 2) * (size - 1) * 0.25).
int room_tex_coord(float u, int size);
// Texel coordinate of a textured room's u (or v) in 0..1: trunc(size * u).
int unit_tex_coord(float u, int size);
