// Picture files of the generator: writes 8-bit RGB bytes as PNG (libpng) or
// JPEG (libjpeg, fixed quality), with no time stamps, so every run writes the
// same bytes. Reads nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pic {

// Each returns false and fills `error` (naming the file) when writing fails.
bool write_png(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb_bytes, std::string& error);
bool write_jpeg(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb_bytes, int quality,
                std::string& error);

}  // namespace pic
