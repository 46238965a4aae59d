// Picture files of the generator: writes 8-bit RGB bytes as PNG (libpng) or
// JPEG (libjpeg, fixed quality), with no time stamps, so every run writes the
// same bytes; reads a written JPEG back for the contact sheet.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pic {

// Each returns false and fills `error` (naming the file) when writing fails.
bool write_png(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb_bytes, std::string& error);
bool write_jpeg(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb_bytes, int quality,
                std::string& error);

// Decodes a JPEG file back to 8-bit RGB bytes (for the contact sheet, which
// shows the pictures as written). False with `error` naming the file.
bool read_jpeg(const std::string& path, int& w, int& h, std::vector<uint8_t>& rgb_bytes, std::string& error);

}  // namespace pic
