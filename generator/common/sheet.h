// Contact sheet of the generated pictures: thumbnails in a grid with their
// file names, as the show sees them (after the RGB565 conversion).
// Reads the pictures' bytes only; writes one PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/text.h"

namespace pic {

struct sheet_entry {
    std::string name;
    int w, h;
    std::vector<uint8_t> rgb;  // 8-bit RGB bytes as written
};

// Grid and heading of a sheet; the defaults make the pictures' sheet.
struct sheet_layout {
    std::string title = "Ostramere 05 - pictures (as converted to RGB565)";
    int cols = 4, thumb_w = 200, thumb_h = 150;
};

bool write_contact_sheet(const std::string& path, const std::vector<sheet_entry>& entries, typesetter& ts,
                         std::string& error, const sheet_layout& layout = {});

}  // namespace pic
