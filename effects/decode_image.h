// Picture files into SDL surfaces: JPEG through libjpeg, PNG through
// stb_image (no other format is compiled in), the same code on every platform
// so a picture gives the same pixels everywhere. Returns new surfaces only;
// converts nothing to RGB565.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <string>

#include "show_files.h"

// The largest picture the show can use: every picture of the show is one
// 640 x 480 frame, so a file that claims more is refused from its header,
// before anything is decoded or allocated (at most 640 x 480 x 4 bytes of
// pixels). Files are at most 8 MB: a 640 x 480 PNG of 16-bit RGBA stored
// without compression takes about 2.5 MB.
inline constexpr int max_picture_w = show_files::picture_w;
inline constexpr int max_picture_h = show_files::picture_h;
inline constexpr long max_picture_file_bytes = 8L << 20;

// Decodes the picture at path into a new surface: 24-bit RGB (bytes R, G, B
// in memory order), or 32-bit RGBA with per-pixel alpha when the file has
// an alpha channel or a transparent colour. The name's extension says the
// format (.png, or .jpg / .jpeg) and the file's first bytes must be that
// format's signature. A damaged file is refused, not patched: a PNG whose
// chunks are cut, out of order or fail their CRC, a JPEG that libjpeg warns
// about (a premature end, corrupt data). Null on failure, with the reason
// (not the path) in error. The caller frees the surface.
SDL_Surface* decode_image(const char* path, std::string& error);

// The same for bytes in memory; `name` is only read for its extension.
SDL_Surface* decode_image_bytes(const unsigned char* data, std::size_t size, const char* name,
                                std::string& error);
