// Contact sheet: a grid of thumbnails (four per row for the pictures), each
// the picture reduced by area averaging after the RGB565 truncation the
// show's loader applies, with its name below.
#include "common/sheet.h"

#include <algorithm>

#include "common/canvas.h"
#include "common/files.h"

namespace pic {

bool write_contact_sheet(const std::string& path, const std::vector<sheet_entry>& entries, typesetter& ts,
                         std::string& error, const sheet_layout& layout) {
    const int cols = std::max(1, layout.cols), tw = std::max(1, layout.thumb_w), th = std::max(1, layout.thumb_h);
    const int pad = 12, label = 22, head = 44;
    const int rows = (int(entries.size()) + cols - 1) / cols;
    const int sw = cols * tw + (cols + 1) * pad, sh = head + rows * (th + label + pad) + pad;
    image sheet(sw, sh, hex(0x16161C));

    mask title(sw, sh);
    ts.draw(title, "DejaVuSans-Bold.ttf", 20, layout.title, float(pad), 30.f, align::left);
    over(sheet, title, hex(0xE8E4D8));

    mask names(sw, sh);
    for (size_t i = 0; i < entries.size(); ++i) {
        const sheet_entry& e = entries[i];
        int cx = pad + int(i % cols) * (tw + pad), cy = head + int(i / cols) * (th + label + pad);
        // frame behind the thumbnail: out = frame colour
        for (int y = cy - 1; y <= cy + th; ++y)
            for (int x = cx - 1; x <= cx + tw; ++x) sheet.set(x, y, hex(0x50505A));
        for (int y = 0; y < th; ++y)
            for (int x = 0; x < tw; ++x) {
                int sx0 = x * e.w / tw, sx1 = std::max(sx0 + 1, (x + 1) * e.w / tw);
                int sy0 = y * e.h / th, sy1 = std::max(sy0 + 1, (y + 1) * e.h / th);
                float acc[3] = {0, 0, 0};
                for (int sy = sy0; sy < sy1; ++sy)
                    for (int sx = sx0; sx < sx1; ++sx) {
                        const uint8_t* p = &e.rgb[(size_t(sy) * size_t(e.w) + size_t(sx)) * 3];
                        // what the show displays: channel = (v >> 3) / 31, green (v >> 2) / 63
                        acc[0] += float(p[0] >> 3) / 31.f;
                        acc[1] += float(p[1] >> 2) / 63.f;
                        acc[2] += float(p[2] >> 3) / 31.f;
                    }
                float n = float((sx1 - sx0) * (sy1 - sy0));
                sheet.set(cx + x, cy + y, {acc[0] / n, acc[1] / n, acc[2] / n});
            }
        ts.draw(names, "DejaVuSansMono.ttf", 13, e.name, float(cx + tw / 2), float(cy + th + 16), align::centre);
    }
    over(sheet, names, hex(0xC8D2E0));
    if (!ts.ok()) {
        error = ts.error;
        return false;
    }
    return write_png(path, sw, sh, to_bytes(sheet, false), error);
}

}  // namespace pic
