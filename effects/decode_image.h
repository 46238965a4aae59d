// Picture files into SDL surfaces: JPEG through libjpeg, PNG and BMP through
// stb_image, the same code on every platform so a picture gives the same
// pixels everywhere. Returns new surfaces only; converts nothing to RGB565.
#pragma once

#include <SDL.h>

#include <string>

// Decodes the picture at path into a new surface: 24-bit RGB (bytes R, G, B
// in memory order), or 32-bit RGBA with per-pixel alpha when the file has
// an alpha channel or a transparent colour. Null on failure, with the reason
// (not the path) in error. The caller frees the surface.
SDL_Surface* decode_image(const char* path, std::string& error);
