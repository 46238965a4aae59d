// Contact sheet of the generated pictures: thumbnails in a grid with their
// file names, as the show sees them (after the RGB565 conversion).
// Reads the pictures' bytes only; writes one PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pic_text.h"

namespace pic {

struct sheet_entry {
    std::string name;
    int w, h;
    std::vector<uint8_t> rgb;  // 8-bit RGB bytes as written
};

bool write_contact_sheet(const std::string& path, const std::vector<sheet_entry>& entries, typesetter& ts,
                         std::string& error);

}  // namespace pic
