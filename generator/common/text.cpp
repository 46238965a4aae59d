// Typesetting for the pictures: FreeType glyph rendering of UTF-8 strings
// into coverage masks, with kerning and letter spacing.
#include "common/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <vector>

namespace pic {

namespace {
// Decodes UTF-8 into code points; a malformed byte stands for itself.
std::vector<uint32_t> decode(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        uint32_t cp = extra == 0 ? c : (c & (0x3Fu >> extra));
        if (extra && i + size_t(extra) >= s.size()) extra = 0, cp = c;
        for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + size_t(k)]) & 0x3Fu);
        out.push_back(cp);
        i += size_t(extra) + 1;
    }
    return out;
}
}  // namespace

typesetter::typesetter() {
    if (FT_Init_FreeType(&lib_) != 0) {
        lib_ = nullptr;
        error = "cannot initialise FreeType";
    }
}

typesetter::~typesetter() {
    for (auto& f : faces_) FT_Done_Face(f.second);
    if (lib_) FT_Done_FreeType(lib_);
}

FT_FaceRec_* typesetter::face(const std::string& font, int size) {
    if (!lib_) return nullptr;
    auto it = faces_.find(font);
    FT_Face f = nullptr;
    if (it == faces_.end()) {
        std::string path = std::string(font_dir) + font;
        if (FT_New_Face(lib_, path.c_str(), 0, &f) != 0) {
            if (error.empty()) error = path + ": cannot open the font (install fonts-dejavu-core)";
            return nullptr;
        }
        faces_[font] = f;
    } else {
        f = it->second;
    }
    FT_Set_Pixel_Sizes(f, 0, FT_UInt(std::max(1, size)));
    return f;
}

float typesetter::width(const std::string& font, int size, const std::string& s, float tracking) {
    FT_Face f = face(font, size);
    if (!f) return 0.f;
    float pen = 0.f;
    FT_UInt prev = 0;
    std::vector<uint32_t> cps = decode(s);
    for (size_t i = 0; i < cps.size(); ++i) {
        FT_UInt gi = FT_Get_Char_Index(f, cps[i]);
        if (prev && gi && FT_HAS_KERNING(f)) {
            FT_Vector k;
            if (FT_Get_Kerning(f, prev, gi, FT_KERNING_DEFAULT, &k) == 0) pen += float(k.x) / 64.f;
        }
        if (FT_Load_Glyph(f, gi, FT_LOAD_DEFAULT) == 0) pen += float(f->glyph->advance.x) / 64.f;
        if (i + 1 < cps.size()) pen += tracking;
        prev = gi;
    }
    return pen;
}

void typesetter::draw(mask& m, const std::string& font, int size, const std::string& s, float x, float baseline,
                      align how, float tracking) {
    float w = width(font, size, s, tracking);
    FT_Face f = face(font, size);
    if (!f) return;
    float pen = how == align::left ? x : how == align::centre ? x - w * 0.5f : x - w;
    FT_UInt prev = 0;
    for (uint32_t cp : decode(s)) {
        FT_UInt gi = FT_Get_Char_Index(f, cp);
        if (prev && gi && FT_HAS_KERNING(f)) {
            FT_Vector k;
            if (FT_Get_Kerning(f, prev, gi, FT_KERNING_DEFAULT, &k) == 0) pen += float(k.x) / 64.f;
        }
        prev = gi;
        if (FT_Load_Glyph(f, gi, FT_LOAD_RENDER) != 0) continue;
        FT_GlyphSlot g = f->glyph;
        const FT_Bitmap& bm = g->bitmap;
        int ox = int(std::lround(pen)) + g->bitmap_left;
        int oy = int(std::lround(baseline)) - g->bitmap_top;
        for (unsigned r = 0; r < bm.rows; ++r)
            for (unsigned c = 0; c < bm.width; ++c) {
                int px = ox + int(c), py = oy + int(r);
                if (px < 0 || py < 0 || px >= m.w || py >= m.h) continue;
                float v = float(bm.buffer[int(r) * bm.pitch + int(c)]) / 255.f;
                float& a = m.at(px, py);
                a = std::max(a, v);
            }
        pen += float(g->advance.x) / 64.f + tracking;
    }
}

}  // namespace pic
