// Full-frame backgrounds: the loading picture, the beat pair bakgrunn5/6
// (bakgrunn6 with braziers under the flames at the top corners), the lattice
// bakgrunn7 with its key-colour panes, and the cycle pictures new1..new3.
#include <algorithm>
#include <cmath>
#include <memory>

#include "pictures/designs.h"
#include "pictures/picture_effects.h"
#include "common/procedural_noise.h"

namespace pic {

namespace {
constexpr float pi = 3.14159265f;
}  // namespace

picture make_loadscreen(typesetter& ts) {
    picture p;
    p.file = &show_files::loadscreen;
    image& img = p.img;
    const float cx = 320.f, cy = 232.f;

    // Nebula over deep blue: domain-warped fractal noise in two colours.
    paint(img, [&](int x, int y) {
        float fx = float(x) / 160.f, fy = float(y) / 160.f;
        float wx = fbm(fx, fy, 0, 0, 4, 11u) * 2.f, wy = fbm(fx + 5.2f, fy + 1.3f, 0, 0, 4, 12u) * 2.f;
        float n = fbm(fx + wx, fy + wy, 0, 0, 5, 13u);
        float m = fbm(fx * 1.7f - wy, fy * 1.7f + wx, 0, 0, 4, 14u);
        rgb base = ramp({{0.f, hex(0x01030C)}, {0.6f, hex(0x050A22)}, {1.f, hex(0x0A0618)}}, float(y) / float(frame_h));
        float cloud = smoothstep(0.42f, 0.8f, n);
        rgb c = base + mix(hex(0x5A1A78), hex(0x127A8A), m) * cloud * 0.55f;
        return c + hex(0xC04A90) * std::pow(cloud, 3.f) * 0.25f;
    });
    stars(img, 0x10AD, 420, 0.8f);

    // The portal the model flies out of: a bright ring with a dark heart.
    mask inner(frame_w, frame_h);
    disc(inner, cx, cy, 150.f, 30.f);
    darken(img, inner, 0.55f);
    mask ringm(frame_w, frame_h);
    ring(ringm, cx, cy, 152.f, 3.f, 1.2f);
    glow(img, ringm, hex(0xFF3AA0), 24, 0.9f);
    glow(img, ringm, hex(0x40E0FF), 6, 1.0f);
    add(img, ringm, hex(0xD8FAFF));
    mask ring2(frame_w, frame_h);
    ring(ring2, cx, cy, 172.f, 1.2f, 1.f);
    for (int y = 0; y < frame_h; ++y)
        for (int x = 0; x < frame_w; ++x) {
            float a = std::atan2(float(y) - cy, float(x) - cx);
            ring2.at(x, y) *= 0.5f + 0.5f * std::sin(a * 9.f);
        }
    add(img, ring2, hex(0x60B0FF), 0.7f);
    // Spiral arms inside the portal.
    mask swirl(frame_w, frame_h);
    for (int y = 0; y < frame_h; ++y)
        for (int x = 0; x < frame_w; ++x) {
            float dx = float(x) - cx, dy = float(y) - cy, r = std::hypot(dx, dy);
            if (r > 150.f) continue;
            float a = std::atan2(dy, dx) + r * 0.03f;
            float s = std::pow(0.5f + 0.5f * std::sin(a * 4.f), 6.f);
            swirl.at(x, y) = s * (r / 150.f) * (1.f - r / 150.f) * 2.f;
        }
    add(img, swirl, hex(0x3A80D0), 0.5f);

    // Caption.
    mask t(frame_w, frame_h);
    ts.draw(t, "DejaVuSans-Bold.ttf", 22, "OSTRAMERE 05", cx, 440.f, align::centre, 8.f);
    glow(img, t, hex(0xFF3AA0), 8, 0.8f);
    over(img, t, hex(0xF0F4FF));
    mask s(frame_w, frame_h);
    ts.draw(s, "DejaVuSans.ttf", 13, "rising from the deep", cx, 462.f, align::centre, 4.f);
    over(img, s, hex(0x8AB8E0));
    vignette(img, 0.45f);
    return p;
}

picture make_bakgrunn5(typesetter&) {
    picture p;
    p.file = &show_files::bakgrunn5;
    const float cx = 320.f, cy = 240.f;
    // Sunburst of twisted rays in hot pink and orange, a hot centre and
    // halftone dots growing outward: the warm half of the beat pair. It
    // alternates with bakgrunn6 four times a second, so it contrasts in hue
    // more than in brightness: a full-screen bright/dark strobe at that rate
    // is hard on the eyes.
    paint(p.img, [&](int x, int y) {
        float dx = float(x) - cx, dy = float(y) - cy, r = std::hypot(dx, dy);
        float a = std::atan2(dy, dx) + r * 0.0016f;
        float ray = smoothstep(-0.08f, 0.08f, std::sin(a * 14.f));
        rgb c = mix(hex(0xE0206E), hex(0xFF8A1E), ray);
        float rr = r / 400.f;
        c = mix(c, hex(0x5A0A5A), smoothstep(0.3f, 1.1f, rr));
        c = c * 0.6f + hex(0xFFD890) * std::exp(-r * r / (2.f * 60.f * 60.f)) * 0.55f;
        // halftone: dots on a 12-pixel grid, radius grows with distance
        float gx = std::fmod(float(x) + 6.f, 12.f) - 6.f, gy = std::fmod(float(y) + 6.f, 12.f) - 6.f;
        float dot = clamp01(rr * 5.5f - std::hypot(gx, gy) + 0.5f) * clamp01(rr * 1.4f);
        c = mix(c, c * 0.55f, dot * 0.8f);
        // concentric rings
        float ring = std::pow(0.5f + 0.5f * std::cos(r * 0.09f), 24.f);
        return c + rgb{1.f, 0.9f, 0.7f} * ring * 0.1f;
    });
    return p;
}

picture make_bakgrunn6(typesetter&) {
    picture p;
    p.file = &show_files::bakgrunn6;
    image& img = p.img;
    // Dark blue stone hall: brick courses with mortar and stone noise.
    paint(img, [](int x, int y) {
        int row = y / 32;
        float off = (row & 1) ? 36.f : 0.f;
        float bx = std::fmod(float(x) + off, 72.f), by = float(y % 32);
        float mortar = std::min({bx, 72.f - bx, by, 32.f - by});
        float edge = smoothstep(0.5f, 3.f, mortar);
        int id = int((float(x) + off) / 72.f) + row * 31;
        float tone = 0.75f + 0.35f * hash01(id, row, 61u);
        float n = fbm(float(x) / 18.f, float(y) / 18.f, 0, 0, 5, 62u);
        rgb stone = mix(hex(0x0A1228), hex(0x1C2A4C), n) * tone;
        // bevel: top-left edges of each stone catch the light
        float lit = smoothstep(3.f, 0.f, std::min(bx, by)) * 0.25f;
        stone = stone + hex(0x3A4A7A) * lit;
        return mix(hex(0x03050C), stone, edge);
    });
    // Warm light around the two braziers, cool shade towards the floor.
    const float bx[2] = {65.f, 575.f};
    for (float x0 : bx) {
        mask m(frame_w, frame_h);
        disc(m, x0, 90.f, 8.f, 2.f);
        blur(m, 60);
        gain(m, 60.f);
        add(img, m, hex(0xFF7A2A), 0.7f);
    }
    paint(img, [&](int x, int y) {
        rgb c = img.get(x, y);
        float v = float(y) / float(frame_h);
        return c * (1.f - 0.65f * smoothstep(0.45f, 1.f, v));
    });
    // Engraved circle in the middle of the wall.
    mask emblem(frame_w, frame_h);
    ring(emblem, 320.f, 220.f, 120.f, 3.f, 1.f);
    ring(emblem, 320.f, 220.f, 104.f, 1.5f, 1.f);
    for (int k = 0; k < 12; ++k) {
        float a = float(k) * pi / 6.f;
        line(emblem, 320.f + std::cos(a) * 106.f, 220.f + std::sin(a) * 106.f, 320.f + std::cos(a) * 118.f,
             220.f + std::sin(a) * 118.f, 2.f);
    }
    shadow(img, emblem, -1, -1, 1, 0.6f);
    add(img, emblem, hex(0x2A4A8A), 0.35f, 1, 1);

    // Braziers: bowls whose rims sit at row 96, just under the flames' base.
    for (float x0 : bx) {
        mask bowl(frame_w, frame_h), stem(frame_w, frame_h);
        for (int y = 96; y <= 122; ++y) {
            float t = float(y - 96) / 26.f;
            float half = 24.f - 18.f * t * t;
            rect(bowl, x0 - half, float(y), x0 + half, float(y) + 1.f, 0.8f);
        }
        rect(stem, x0 - 3.f, 122.f, x0 + 3.f, 170.f, 1.f);
        rect(stem, x0 - 16.f, 168.f, x0 + 16.f, 174.f, 1.f);
        unite(bowl, stem);
        shadow(img, bowl, 3, 5, 4, 0.8f);
        over_paint(img, bowl, [&](int x, int y) {
            float u = (float(x) - x0) / 24.f;
            float sheen = std::exp(-(u + 0.35f) * (u + 0.35f) * 8.f);
            rgb metal = mix(hex(0x3A1E10), hex(0xC8782A), sheen) * (1.f - 0.4f * float(y - 96) / 78.f);
            return metal;
        });
        // Glowing coals in the rim.
        mask coals(frame_w, frame_h);
        rect(coals, x0 - 22.f, 95.f, x0 + 22.f, 99.f, 1.f);
        for (int x = int(x0) - 22; x <= int(x0) + 22; ++x)
            for (int y = 95; y <= 99; ++y) coals.at(x, y) *= 0.5f + 0.5f * hash01(x, y, 63u);
        glow(img, coals, hex(0xFF5A10), 6, 1.2f);
        over(img, coals, hex(0xFFC040));
    }
    // Floor: a darker band with a faint reflection line.
    mask fl(frame_w, frame_h);
    rect(fl, 0.f, 420.f, float(frame_w), float(frame_h), 1.f);
    darken(img, fl, 0.5f);
    mask edge(frame_w, frame_h);
    line(edge, 0.f, 420.f, float(frame_w), 420.f, 1.f);
    add(img, edge, hex(0x2A3A6A), 0.8f);
    return p;
}

picture make_bakgrunn7(typesetter&) {
    picture p;
    p.file = &show_files::bakgrunn7;
    // Art-deco lattice: 80-pixel tiles, each a diamond pane of the key colour
    // (transparent in the corner room) in a bevelled gold frame, with enamel
    // between the frames and gold studs where four tiles meet.
    auto pane = std::make_shared<std::vector<uint8_t>>(size_t(frame_w) * size_t(frame_h), 0);
    paint(p.img, [&](int x, int y) {
        float u = float(x % 80) - 39.5f, v = float(y % 80) - 39.5f;
        float su = u < 0.f ? -1.f : 1.f, sv = v < 0.f ? -1.f : 1.f;
        float d = std::fabs(u) + std::fabs(v);
        if (d < 26.f) {
            (*pane)[size_t(y) * size_t(frame_w) + size_t(x)] = 1;
            return rgb{0.f, 0.f, 160.f / 255.f};
        }
        // light from the top left, L = (-1, -1) / sqrt 2
        auto lit = [](float nx, float ny) { return 0.5f + 0.5f * (-nx - ny) * 0.7071f; };
        if (d < 36.f) {
            float outward = d < 31.f ? -1.f : 1.f;  // inner slope faces the pane
            float s = lit(su * outward * 0.7071f, sv * outward * 0.7071f);
            float n = fbm(float(x) / 6.f, float(y) / 6.f, 0, 0, 3, 71u);
            rgb gold = ramp({{0.f, hex(0x4A2A08)}, {0.5f, hex(0xB8862A)}, {0.85f, hex(0xF8D878)}, {1.f, hex(0xFFF6D0)}},
                            clamp01(s * 0.9f + n * 0.2f));
            float groove = smoothstep(0.9f, 0.f, std::fabs(d - 31.f));
            return gold * (1.f - 0.35f * groove);
        }
        // corner studs: small gold pyramids centred on the tile corners
        float cu = u - su * 40.f, cv = v - sv * 40.f;
        float dc = std::fabs(cu) + std::fabs(cv);
        if (dc < 9.f) {
            float s = lit((cu < 0.f ? -1.f : 1.f) * 0.7071f, (cv < 0.f ? -1.f : 1.f) * 0.7071f);
            return ramp({{0.f, hex(0x5A3A10)}, {0.6f, hex(0xD8A040)}, {1.f, hex(0xFFF0B0)}}, s);
        }
        // enamel with engraved lines parallel to the frame
        float n = fbm(float(x) / 30.f, float(y) / 30.f, 0, 0, 4, 72u);
        rgb enamel = mix(hex(0x06303A), hex(0x0E5A5A), n);
        float engr = std::pow(0.5f + 0.5f * std::cos((d - 36.f) * 1.3f), 8.f);
        enamel = enamel * (1.f - 0.4f * engr);
        float stud_shadow = smoothstep(13.f, 9.f, dc) * 0.5f;
        return enamel * (1.f - stud_shadow);
    });
    // The panes are exactly RGB (0, 0, 160), RGB565 0x0014 once converted;
    // no other pixel may convert to that value.
    p.finish = [pane](std::vector<uint8_t>& bytes) {
        for (size_t i = 0; i < pane->size(); ++i) {
            uint8_t* px = &bytes[i * 3];
            if ((*pane)[i]) {
                px[0] = 0, px[1] = 0, px[2] = 160;
            } else if (to565(px) == 0x0014) {
                px[1] = 4;  // one green level up
            }
        }
    };
    return p;
}

picture make_new1(typesetter&) {
    picture p;
    p.file = &show_files::new1;
    // Classic plasma: a sum of sines through a cosine palette, with bright
    // contour lines where the field crosses whole steps.
    paint(p.img, [](int x, int y) {
        float fx = float(x), fy = float(y);
        float v = std::sin(fx * 0.019f) + std::sin(fy * 0.023f + 1.f) + std::sin((fx + fy) * 0.011f + 2.f) +
                  std::sin(std::hypot(fx - 420.f, fy - 160.f) * 0.028f) +
                  std::sin(std::hypot(fx - 140.f, fy - 360.f) * 0.021f);
        float t = v * 0.25f + 2.f;
        t -= std::floor(t);
        rgb c = ramp({{0.f, hex(0x2A0A5A)},
                      {0.2f, hex(0xB0207A)},
                      {0.38f, hex(0xF8B040)},
                      {0.55f, hex(0x30B0A0)},
                      {0.75f, hex(0x0A2A7A)},
                      {1.f, hex(0x2A0A5A)}},
                     t);
        float frac = v * 2.f - std::floor(v * 2.f);
        float contour = std::pow(std::max(0.f, 1.f - std::fabs(frac - 0.5f) * 14.f), 2.f);
        return c * 0.85f + rgb{1.f, 0.95f, 0.8f} * contour * 0.35f;
    });
    vignette(p.img, 0.4f);
    return p;
}

picture make_new2(typesetter&) {
    picture p;
    p.file = &show_files::new2;
    const float cx = 330.f, cy = 226.f;
    // Checkerboard tunnel seen down its axis, fogged towards a far light.
    paint(p.img, [&](int x, int y) {
        float dx = float(x) - cx, dy = float(y) - cy, r = std::max(1.f, std::hypot(dx, dy));
        float depth = 2600.f / r;  // nearer walls at the edges
        float a = std::atan2(dy, dx) / (2.f * pi) + 0.5f;
        float u = a * 32.f + depth * 0.05f, w = depth * 0.2f;
        int check = (int(std::floor(u)) + int(std::floor(w))) & 1;
        float eu = std::fabs(u - std::round(u)), ew = std::fabs(w - std::round(w));
        float seam = smoothstep(0.06f, 0.0f, std::min(eu, ew * 1.6f));
        rgb c = check ? hex(0x6A1A8A) : hex(0x10607A);
        c = c + hex(0xA0F0FF) * seam * 0.8f;
        float fog = std::exp(-depth * 0.045f);
        c = c * fog;
        return c + hex(0xFFD0F0) * std::exp(-r * r / (2.f * 22.f * 22.f)) + hex(0x8040C0) * std::exp(-r / 60.f) * 0.4f;
    });
    return p;
}

picture make_new3(typesetter&) {
    picture p;
    p.file = &show_files::new3;
    image& img = p.img;
    const float horizon = 300.f, mx = 440.f, my = 140.f, mr = 56.f;
    // Night sea: sky, moon, far hills, water with the moon's glittering path.
    paint(img, [&](int x, int y) {
        float fy = float(y);
        if (fy < horizon) {
            float v = fy / horizon;
            return ramp({{0.f, hex(0x020414)}, {0.6f, hex(0x0E0E3A)}, {1.f, hex(0x4A1E5A)}}, v);
        }
        float v = (fy - horizon) / (float(frame_h) - horizon);
        rgb c = ramp({{0.f, hex(0x1A1040)}, {1.f, hex(0x020818)}}, v);
        float depth = (fy - horizon) / (float(frame_h) - horizon);
        float wave = fbm(float(x) / (14.f + 40.f * depth), (fy - horizon) * (fy - horizon) / 500.f, 0, 0, 4, 81u);
        c = c * (0.7f + 0.6f * wave);
        // moon path: glitter where wave crests meet the column under the moon
        float col = std::exp(-std::pow((float(x) - mx) / (10.f + 0.4f * (fy - horizon)), 2.f));
        float glitter = smoothstep(0.62f, 0.7f, wave) * col;
        return c + hex(0xFFE8B0) * glitter * 0.9f + hex(0x3A2A6A) * col * 0.3f;
    });
    stars(img, 0x5EA, 260, 0.9f, [&](int, int y) { return float(y) < horizon - 40.f; });
    // Moon with craters and a wide halo.
    mask moon(frame_w, frame_h);
    disc(moon, mx, my, mr, 1.5f);
    glow(img, moon, hex(0x8A7AC0), 40, 0.8f);
    over_paint(img, moon, [&](int x, int y) {
        float n = fbm(float(x) / 14.f, float(y) / 14.f, 0, 0, 5, 82u);
        float limb = std::hypot(float(x) - mx, float(y) - my) / mr;
        return mix(hex(0xFFF6E2), hex(0xD8CCB0), smoothstep(0.5f, 0.75f, n)) * (1.f - 0.2f * limb * limb);
    });
    // Two ranges of hills on the horizon.
    for (int layer = 0; layer < 2; ++layer) {
        mask hills(frame_w, frame_h);
        for (int x = 0; x < frame_w; ++x) {
            float hgt = horizon - (layer ? 18.f : 38.f) * fbm(float(x) / (layer ? 60.f : 110.f), float(layer) * 7.f, 0,
                                                               0, 5, 83u + uint32_t(layer)) -
                        (layer ? 2.f : 10.f);
            for (int y = int(hgt); y < int(horizon); ++y) hills.at(x, y) = 1.f;
        }
        over(img, hills, layer ? hex(0x0A0620) : hex(0x1A1238));
    }
    mask hz(frame_w, frame_h);
    line(hz, 0.f, horizon, float(frame_w), horizon, 1.f);
    add(img, hz, hex(0x8A5AA0), 0.6f);
    return p;
}

}  // namespace pic
