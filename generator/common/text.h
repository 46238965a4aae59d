// Typesetting for the pictures: renders UTF-8 text with FreeType and the
// DejaVu fonts into coverage masks. Owns the FreeType library and the faces;
// draws nothing into images itself.
#pragma once

#include <map>
#include <string>

#include "common/canvas.h"

struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace pic {

// Folder of the DejaVu fonts (Debian package fonts-dejavu-core).
inline constexpr const char* font_dir = "/usr/share/fonts/truetype/dejavu/";

enum class align { left, centre, right };

class typesetter {
public:
    typesetter();
    ~typesetter();
    typesetter(const typesetter&) = delete;
    typesetter& operator=(const typesetter&) = delete;

    // False after a font failed to open; `error` then names the file.
    bool ok() const { return error.empty(); }
    std::string error;

    // Advance width in pixels of `s` in `font` (file name in font_dir) at
    // `size` pixels, with `tracking` extra pixels between letters.
    float width(const std::string& font, int size, const std::string& s, float tracking = 0.f);
    // Draws `s` with its baseline at y; x is the left edge, centre or right
    // edge as `how` says. Coverage is merged into m by max.
    void draw(mask& m, const std::string& font, int size, const std::string& s, float x, float baseline,
              align how = align::centre, float tracking = 0.f);

private:
    FT_FaceRec_* face(const std::string& font, int size);
    FT_LibraryRec_* lib_ = nullptr;
    std::map<std::string, FT_FaceRec_*> faces_;
};

}  // namespace pic
