// Title cards (logo, credits, presents, title) and the two greetings cards.
// Title cards are black with their content inside the rows the ripple shows
// (150..349, credits 10..459); greets2 is white (transparent) below its panel.
#include <algorithm>
#include <cmath>

#include "pictures/designs.h"
#include "pictures/picture_effects.h"
#include "common/procedural_noise.h"

namespace pic {

namespace {
const char* sans_bold = "DejaVuSans-Bold.ttf";
const char* sans = "DejaVuSans.ttf";
const char* sans_light = "DejaVuSans-ExtraLight.ttf";
const char* serif_bi = "DejaVuSerif-BoldItalic.ttf";
const char* serif_i = "DejaVuSerif-Italic.ttf";

// Text with a dark outline, soft drop shadow, outer glow and a fill painted
// per pixel: the shared look of the cards' headlines.
template <class F>
void headline(image& img, const mask& t, F fill, rgb outline, int outline_px, rgb glow_colour, int glow_px,
              float glow_k) {
    mask edge = grow(t, outline_px, 6.f);
    shadow(img, edge, 3, 4, 3, 0.85f);
    if (glow_k > 0.f) glow(img, edge, glow_colour, glow_px, glow_k);
    over(img, edge, outline);
    over_paint(img, t, fill);
}

// A thin horizontal rule fading out at both ends, centred on cx.
void rule(image& img, float cx, float y, float half, rgb colour, float k = 1.f) {
    mask m(frame_w, frame_h);
    line(m, cx - half, y, cx + half, y, 1.2f);
    for (int x = 0; x < frame_w; ++x) {
        float f = 1.f - std::fabs(float(x) - cx) / half;
        f = clamp01(f * 2.5f);
        for (int yy = int(y) - 2; yy <= int(y) + 2; ++yy)
            if (yy >= 0 && yy < frame_h) m.at(x, yy) *= f;
    }
    glow(img, m, colour, 3, 0.8f * k);
    add(img, m, colour, k);
}

// Small diamond ornament.
void diamond(image& img, float cx, float cy, float r, rgb colour) {
    mask m(frame_w, frame_h);
    for (int y = int(cy - r - 1); y <= int(cy + r + 1); ++y)
        for (int x = int(cx - r - 1); x <= int(cx + r + 1); ++x) {
            if (x < 0 || y < 0 || x >= frame_w || y >= frame_h) continue;
            float d = std::fabs(float(x) + 0.5f - cx) + std::fabs(float(y) + 0.5f - cy) - r;
            m.at(x, y) = clamp01(0.5f - d);
        }
    glow(img, m, colour, 4, 0.9f);
    over(img, m, mix(colour, rgb{1, 1, 1}, 0.4f));
}

void clear_outside_rows(image& img, int y0, int y1) {
    for (int y = 0; y < frame_h; ++y)
        if (y < y0 || y > y1)
            for (int x = 0; x < frame_w; ++x) img.set(x, y, {});
}
}  // namespace

picture make_logo(typesetter& ts) {
    picture p;
    p.file = &show_files::logo3;
    image& img = p.img;

    // A striped sunset disc behind the name: out = mix(sun ramp) by coverage.
    const float cx = 320.f, cy = 244.f, r = 90.f;
    mask sun(frame_w, frame_h);
    disc(sun, cx, cy, r, 1.5f);
    for (int y = int(cy) + 4; y < frame_h; ++y) {
        int k = y - int(cy) - 4;
        int gap = 1 + k / 14;  // slits widen towards the bottom
        if (k % 13 < gap)
            for (int x = 0; x < frame_w; ++x) sun.at(x, y) = 0.f;
    }
    glow(img, sun, hex(0xFF2F7A), 22, 0.55f);
    over_paint(img, sun, [&](int, int y) {
        float v = (float(y) - (cy - r)) / (2.f * r);
        return ramp({{0.f, hex(0xFFF08A)}, {0.45f, hex(0xFF9A3C)}, {0.8f, hex(0xF0306A)}, {1.f, hex(0x9A1A8A)}}, v);
    });

    // Horizon: a bright line through the disc's lower third.
    rule(img, cx, 300.f, 300.f, hex(0x40D8FF), 0.9f);

    // The name in chrome.
    const std::string name = "OSTRAMERE";
    int size = fit_size(ts, sans_bold, name, 600.f, 96, 3.f);
    mask t(frame_w, frame_h);
    ts.draw(t, sans_bold, size, name, cx, 278.f, align::centre, 3.f);
    box b = bounds(t);
    float top = float(b.y0), height = float(std::max(1, b.y1 - b.y0));
    headline(
        img, t, [&](int, int y) { return chrome((float(y) - top) / height, 0.56f); }, hex(0x0A0420), 3,
        hex(0x3AB8FF), 12, 0.55f);
    // Glints on the upper edges of the letters.
    star(img, float(b.x0) + 8.f, top + 3.f, 1.6f, 22.f, hex(0xFFFFFF));
    star(img, float(b.x1) - 60.f, top + 2.f, 1.4f, 16.f, hex(0xE0F0FF));
    star(img, cx + 10.f, top + 1.f, 1.2f, 12.f, hex(0xFFF0E0));

    // "crew" under the horizon, letter-spaced.
    mask sub(frame_w, frame_h);
    ts.draw(sub, sans, 17, "C R E W", cx, 330.f, align::centre, 5.f);
    glow(img, sub, hex(0x2090FF), 5, 0.8f);
    over(img, sub, hex(0xCFEFFF));
    diamond(img, cx - 72.f, 324.f, 4.f, hex(0x40D8FF));
    diamond(img, cx + 72.f, 324.f, 4.f, hex(0x40D8FF));

    clear_outside_rows(img, 150, 349);
    return p;
}

picture make_credits(typesetter& ts) {
    picture p;
    p.file = &show_files::credits;
    image& img = p.img;
    const float cx = 320.f;

    // Faint stars inside the shown band only.
    stars(img, 0xC0FFEE, 140, 0.45f, [](int, int y) { return y > 14 && y < 455; });

    mask head(frame_w, frame_h);
    ts.draw(head, serif_bi, 50, "credits", cx, 78.f, align::centre);
    box hb = bounds(head);
    headline(
        img, head,
        [&](int, int y) {
            float v = (float(y - hb.y0)) / float(std::max(1, hb.y1 - hb.y0));
            return ramp({{0.f, hex(0xFFF3C0)}, {0.5f, hex(0xF2B640)}, {1.f, hex(0xA0561A)}}, v);
        },
        hex(0x1A0A04), 2, hex(0xFF9A30), 10, 0.45f);
    rule(img, cx, 98.f, 210.f, hex(0xF2B640), 0.8f);

    struct role {
        const char* what;
        const char* who;
    };
    const role roles[] = {{"CODE", "the Ostramere crew"},
                          {"MUSIC", "the Ostramere sound unit"},
                          {"GRAPHICS", "the Ostramere pixel shop"},
                          {"MODELS", "the Ostramere vertex works"}};
    float y = 146.f;
    for (const role& r : roles) {
        mask label(frame_w, frame_h), who(frame_w, frame_h);
        ts.draw(label, sans_bold, 16, r.what, cx, y, align::centre, 7.f);
        glow(img, label, hex(0x20A8FF), 6, 0.7f);
        over(img, label, hex(0x7FDBFF));
        float lw = ts.width(sans_bold, 16, r.what, 7.f);
        diamond(img, cx - lw * 0.5f - 18.f, y - 6.f, 3.5f, hex(0x2FB8FF));
        diamond(img, cx + lw * 0.5f + 18.f, y - 6.f, 3.5f, hex(0x2FB8FF));

        ts.draw(who, sans, 31, r.who, cx, y + 40.f, align::centre);
        box wb = bounds(who);
        headline(
            img, who,
            [&](int, int yy) {
                float v = float(yy - wb.y0) / float(std::max(1, wb.y1 - wb.y0));
                return mix(hex(0xFFFFFF), hex(0xA8C8FF), v);
            },
            hex(0x060A22), 2, hex(0x3050FF), 9, 0.5f);
        y += 72.f;
    }
    mask foot(frame_w, frame_h);
    ts.draw(foot, serif_i, 16, "every pixel, vertex and note made by our own code", cx, 448.f, align::centre);
    over(img, foot, hex(0x9A8FB8));
    clear_outside_rows(img, 10, 459);
    return p;
}

picture make_presents(typesetter& ts) {
    picture p;
    p.file = &show_files::presents;
    image& img = p.img;
    const float cx = 320.f;

    mask crew(frame_w, frame_h);
    ts.draw(crew, sans_light, 26, "the Ostramere crew", cx, 200.f, align::centre, 2.f);
    glow(img, crew, hex(0x2A9AFF), 6, 0.9f);
    over(img, crew, hex(0xDDF2FF));
    float cw = ts.width(sans_light, 26, "the Ostramere crew", 2.f);
    rule(img, cx - cw * 0.5f - 70.f, 192.f, 50.f, hex(0x40C8FF));
    rule(img, cx + cw * 0.5f + 70.f, 192.f, 50.f, hex(0x40C8FF));

    mask t(frame_w, frame_h);
    ts.draw(t, serif_bi, 84, "presents", cx, 300.f, align::centre, 1.f);
    box b = bounds(t);
    // A warm reflection of the word below it, fading downwards.
    mask refl(frame_w, frame_h);
    for (int y = b.y1 + 1; y < 349; ++y) {
        int src = 2 * b.y1 - y + 2;
        if (src < b.y0) break;
        float f = 0.3f * (1.f - float(y - b.y1) / 30.f);
        if (f <= 0.f) break;
        for (int x = 0; x < frame_w; ++x) refl.at(x, y) = t.get(x, src) * f;
    }
    add(img, refl, hex(0xFF8A3A));
    headline(
        img, t,
        [&](int x, int y) {
            float v = float(y - b.y0) / float(std::max(1, b.y1 - b.y0));
            float sheen = 0.08f * std::sin(float(x) * 0.05f + float(y) * 0.11f);
            return ramp({{0.f, hex(0xFFF8D8)}, {0.42f, hex(0xFFC84A)}, {0.6f, hex(0xC8641A)}, {1.f, hex(0xFFB050)}},
                        v) +
                   rgb{sheen, sheen, sheen * 0.5f};
        },
        hex(0x1C0804), 2, hex(0xFF6A20), 14, 0.6f);
    star(img, float(b.x1) - 24.f, float(b.y0) + 6.f, 1.6f, 20.f, hex(0xFFFFFF));
    clear_outside_rows(img, 150, 349);
    return p;
}

picture make_title(typesetter& ts) {
    picture p;
    p.file = &show_files::vormbrisk;
    image& img = p.img;
    const float cx = 320.f;

    // Embers drifting up through the band.
    rng r(0x05E05E);
    for (int i = 0; i < 70; ++i) {
        float x = r.range(60.f, 580.f), y = r.range(156.f, 344.f), b = r.range(0.2f, 0.9f);
        star(img, x, y, r.range(0.6f, 1.3f), 0.f, mix(hex(0xFF5A10), hex(0xFFD060), r.uniform()) * b);
    }

    // "05" in fire, large, behind and below the name.
    mask num(frame_w, frame_h);
    ts.draw(num, sans_bold, 146, "05", cx, 334.f, align::centre, -4.f);
    box nb = bounds(num);
    glow(img, num, hex(0xFF3A08), 24, 0.9f);
    glow(img, num, hex(0xFF9A20), 8, 0.5f);
    over_paint(img, num, [&](int x, int y) {
        float v = float(y - nb.y0) / float(std::max(1, nb.y1 - nb.y0));
        float flick = fbm(float(x) * 0.03f, float(y) * 0.012f - 3.f, 0, 0, 4, 77u) - 0.5f;
        return fire(clamp01(1.f - v + flick * 0.6f) * 0.95f);
    });
    // Inner dark core of the digits keeps them from reading as a flat blob.
    mask core = num;
    blur(core, 6);
    for (float& a : core.a) a = clamp01((a - 0.8f) * 5.f);
    for (size_t i = 0; i < core.a.size(); ++i) core.a[i] *= num.a[i];
    darken(img, core, 0.3f);

    // The show's name in cold chrome across the digits' upper part.
    const std::string name = "OSTRAMERE";
    int size = fit_size(ts, serif_bi, name, 590.f, 80, 2.f);
    mask t(frame_w, frame_h);
    ts.draw(t, serif_bi, size, name, cx, 230.f, align::centre, 2.f);
    box b = bounds(t);
    float top = float(b.y0), height = float(std::max(1, b.y1 - b.y0));
    mask edge = grow(t, 4, 6.f);
    shadow(img, edge, 0, 6, 6, 0.95f);
    over(img, edge, hex(0x02040E));
    glow(img, edge, hex(0x2AA8FF), 10, 0.45f);
    over_paint(img, t, [&](int, int y) { return chrome((float(y) - top) / height, 0.58f); });
    star(img, float(b.x0) + 30.f, top + 4.f, 1.6f, 24.f, hex(0xFFFFFF));
    star(img, float(b.x1) - 20.f, top + 10.f, 1.3f, 14.f, hex(0xE8F4FF));

    clear_outside_rows(img, 150, 349);
    return p;
}

picture make_greets1(typesetter& ts) {
    picture p;
    p.file = &show_files::greets1;
    image& img = p.img;

    // Deep water: dark at the top, teal at the sea floor, with caustics.
    paint(img, [](int x, int y) {
        float v = float(y) / float(frame_h);
        rgb base = ramp({{0.f, hex(0x020816)}, {0.55f, hex(0x06283E)}, {1.f, hex(0x0B4A52)}}, v);
        float wx = float(x) / 40.f + 0.6f * fbm(float(x) / 70.f, float(y) / 70.f, 0, 0, 3, 905u);
        cell_hit c = cellular(wx, float(y) / 26.f, 0, 0, 901u);
        float patch = smoothstep(0.35f, 0.75f, fbm(float(x) / 120.f, float(y) / 90.f, 0, 0, 3, 906u));
        float caustic = std::pow(clamp01(1.f - (c.f2 - c.f1) * 4.f), 8.f) * (0.05f + 0.3f * v) * patch;
        float haze = fbm(float(x) / 90.f, float(y) / 60.f, 0, 0, 4, 902u);
        return base + hex(0x3AD8E0) * caustic + hex(0x0A2A40) * (haze - 0.5f);
    });
    // Light shafts from the surface.
    mask shafts(frame_w, frame_h);
    for (int y = 0; y < frame_h; ++y)
        for (int x = 0; x < frame_w; ++x) {
            float s = float(x) + float(y) * 0.35f;
            float v = 0.5f + 0.5f * std::sin(s * 0.045f) * std::sin(s * 0.017f + 1.3f);
            shafts.at(x, y) = std::pow(v, 4.f) * (1.f - float(y) / float(frame_h));
        }
    add(img, shafts, hex(0x2A6A8A), 0.45f);
    // Bubbles rising on both sides.
    rng r(0xB0BB1E);
    mask bubbles(frame_w, frame_h);
    for (int i = 0; i < 46; ++i) {
        float x = (i & 1) ? r.range(20.f, 130.f) : r.range(510.f, 620.f), y = r.range(10.f, 470.f);
        float rad = r.range(1.5f, 6.f);
        ring(bubbles, x, y, rad, 1.f);
        star(img, x - rad * 0.4f, y - rad * 0.4f, 0.6f, 0.f, hex(0xD8FFFF) * 0.6f);
    }
    add(img, bubbles, hex(0x9AEAFF), 0.5f);
    // Glowing sea floor at the bottom.
    mask floor(frame_w, frame_h);
    for (int x = 0; x < frame_w; ++x) {
        float hgt = 400.f + 26.f * fbm(float(x) / 70.f, 0.5f, 0, 0, 4, 903u) + 10.f * std::sin(float(x) * 0.03f);
        for (int y = int(hgt); y < frame_h; ++y) floor.at(x, y) = 1.f;
    }
    blur(floor, 1, 1);
    over_paint(img, floor, [](int x, int y) {
        float n = fbm(float(x) / 20.f, float(y) / 14.f, 0, 0, 4, 904u);
        return mix(hex(0x03131A), hex(0x10404A), n);
    });

    // Heading.
    mask head(frame_w, frame_h);
    ts.draw(head, serif_bi, 54, "greetings", 320.f, 72.f, align::centre);
    box hb = bounds(head);
    headline(
        img, head,
        [&](int, int y) {
            float v = float(y - hb.y0) / float(std::max(1, hb.y1 - hb.y0));
            return ramp({{0.f, hex(0xFFF6CC)}, {0.5f, hex(0xFFC040)}, {1.f, hex(0xB0601C)}}, v);
        },
        hex(0x140804), 2, hex(0xFFB040), 12, 0.45f);
    mask sub(frame_w, frame_h);
    ts.draw(sub, serif_i, 18, "to the open-source projects this show stands on", 320.f, 102.f, align::centre);
    over(img, sub, hex(0xA8DCE8));

    // The first half of the list, two columns.
    const char* names[] = {"SDL", "stb_image", "libopenmpt", "kissfft", "FreeType", "DejaVu fonts", "libpng", "libjpeg"};
    for (int i = 0; i < 8; ++i) {
        float x = i % 2 == 0 ? 190.f : 450.f, y = 150.f + float(i / 2) * 36.f;
        mask t(frame_w, frame_h);
        ts.draw(t, sans_bold, 28, names[i], x, y, align::centre);
        box b = bounds(t);
        headline(
            img, t,
            [&](int, int yy) {
                float v = float(yy - b.y0) / float(std::max(1, b.y1 - b.y0));
                return mix(hex(0xFFFFFF), hex(0x7FE0F0), v);
            },
            hex(0x02101A), 2, hex(0x20B0D0), 8, 0.4f);
    }
    diamond(img, 320.f, 195.f, 5.f, hex(0xFFB040));
    return p;
}

picture make_greets2(typesetter& ts) {
    picture p;
    p.file = &show_files::greets2;
    image& img = p.img;
    // White is the transparent colour of this card: everything but the panel.
    paint(img, [](int, int) { return rgb{1, 1, 1}; });

    // The card is drawn centred at x 340, so it sits 21 columns right of
    // where it lies in the file: centre the panel on screen column 320.
    const float cx = 299.f, x0 = cx - 270.f, x1 = cx + 270.f, y0 = 40.f, y1 = 247.f;
    mask panel(frame_w, frame_h);
    rounded_rect(panel, x0, y0, x1, y1, 18.f, 1.f);
    for (float& a : panel.a) a = a >= 0.5f ? 1.f : 0.f;  // hard edge: no pale fringe
    image body(frame_w, frame_h);
    paint(body, [&](int x, int y) {
        float v = (float(y) - y0) / (y1 - y0);
        rgb base = ramp({{0.f, hex(0x241050)}, {0.5f, hex(0x10183C)}, {1.f, hex(0x062A3A)}}, v);
        float n = fbm(float(x) / 40.f, float(y) / 40.f, 0, 0, 3, 1201u);
        return base + hex(0x181040) * (n - 0.5f);
    });
    // Frame line inside the panel edge.
    mask frame(frame_w, frame_h);
    rounded_rect(frame, x0 + 6.f, y0 + 6.f, x1 - 6.f, y1 - 6.f, 13.f, 1.f);
    mask inner(frame_w, frame_h);
    rounded_rect(inner, x0 + 8.f, y0 + 8.f, x1 - 8.f, y1 - 8.f, 11.f, 1.f);
    for (size_t i = 0; i < frame.a.size(); ++i) frame.a[i] = clamp01(frame.a[i] - inner.a[i]);
    glow(body, frame, hex(0x30C0FF), 4, 0.6f);
    over(body, frame, hex(0x70D8F0));

    mask head(frame_w, frame_h);
    ts.draw(head, serif_bi, 32, "and greetings to", cx, 84.f, align::centre);
    box hb = bounds(head);
    headline(
        body, head,
        [&](int, int y) {
            float v = float(y - hb.y0) / float(std::max(1, hb.y1 - hb.y0));
            return mix(hex(0xF0E0A0), hex(0xE09030), v);
        },
        hex(0x100408), 2, hex(0xFF9A30), 8, 0.35f);
    const char* names[] = {"zlib", "GoogleTest", "Google Benchmark", "CLI11", "CMake", "GCC", "FFmpeg", "Debian"};
    for (int i = 0; i < 8; ++i) {
        float x = i % 2 == 0 ? cx - 128.f : cx + 128.f, y = 122.f + float(i / 2) * 30.f;
        mask t(frame_w, frame_h);
        ts.draw(t, sans_bold, 22, names[i], x, y, align::centre);
        glow(body, t, hex(0x2080E0), 6, 0.5f);
        over(body, t, hex(0xE8F0F0));
    }
    mask foot(frame_w, frame_h);
    ts.draw(foot, serif_i, 16, "and everyone who shares their code", cx, 234.f, align::centre);
    over(body, foot, hex(0x90C8D8));

    // Panel over white; content colours stay below white so no panel pixel
    // turns transparent.
    over_paint(img, panel, [&](int x, int y) {
        rgb c = body.get(x, y);
        return rgb{std::min(c.r, 0.94f), std::min(c.g, 0.94f), std::min(c.b, 0.94f)};
    });
    p.dither = true;
    // Exact white outside the panel (dithering never lowers 1.0, but keep it explicit).
    p.finish = [panel](std::vector<uint8_t>& bytes) {
        for (size_t i = 0; i < panel.a.size(); ++i)
            if (panel.a[i] < 0.5f) bytes[i * 3] = bytes[i * 3 + 1] = bytes[i * 3 + 2] = 255;
    };
    return p;
}

}  // namespace pic
