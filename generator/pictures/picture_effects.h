// Effects shared by several pictures: glowing and chrome text, stars, light
// falloffs, vignettes and the screen-door dither of light sprites. Works on
// canvas images and masks only; knows no picture by name.
#pragma once

#include <cstdint>
#include <string>

#include "common/canvas.h"
#include "common/procedural_noise.h"
#include "common/text.h"

namespace pic {

// out = dst + colour * blur(m, radius) * k: a soft halo around a shape.
void glow(image& dst, const mask& m, rgb colour, int radius, float k);
// Darkens under a shape, offset by (dx, dy): out = dst * (1 - blur(m) * k).
void shadow(image& dst, const mask& m, int dx, int dy, int radius, float k);
// Chrome of the 80s kind, v = 0 at the top of the letters to 1 at the bottom:
// sky-white to blue above the horizon at `horizon`, dark at it, warm below.
rgb chrome(float v, float horizon = 0.55f);
// Glowing metal of a fire: v = 0 top (bright yellow) to 1 bottom (deep red).
rgb fire(float v);
// Stars over the whole image: `count` points, a few with four-point flares;
// `keep(x, y)` may veto a position.
template <class K>
void stars(image& img, uint32_t seed, int count, float brightness, K keep);
void stars(image& img, uint32_t seed, int count, float brightness);
// One star at (x, y): core of radius r, flare arms `arm` pixels long.
void star(image& img, float x, float y, float r, float arm, rgb colour);
// Multiplies by 1 - k * (distance from the centre / half diagonal)^2.
void vignette(image& img, float k);
// Screen-door transparency for sprites whose black is transparent: a pixel
// dimmer than `floor` (brightest channel) is kept with probability
// brightness / floor and then shown at `floor` brightness, else set black;
// brighter pixels stay. So soft falloffs become a density of bright points.
void screen_door(image& img, int x0, int y0, int x1, int y1, float floor, uint32_t seed);

// Bounding box of the coverage above 0.02 (empty mask: x0 > x1).
struct box {
    int x0, y0, x1, y1;
};
box bounds(const mask& m);
// Largest size (<= start) at which `s` fits in `max_width` pixels.
int fit_size(typesetter& ts, const std::string& font, const std::string& s, float max_width, int start,
             float tracking = 0.f);

// ---- template definition
template <class K>
void stars(image& img, uint32_t seed, int count, float brightness, K keep) {
    for (int i = 0; i < count; ++i) {
        uint32_t h = hash2(i, 17, seed), h2 = hash2(i, 29, seed);
        float x = float(h % uint32_t(img.w)), y = float((h >> 12) % uint32_t(img.h));
        if (!keep(int(x), int(y))) continue;
        float b = brightness * (0.25f + 0.75f * float(h2 & 1023) / 1023.f);
        float tint = float((h2 >> 10) & 255) / 255.f;
        rgb c = mix(rgb{0.75f, 0.85f, 1.f}, rgb{1.f, 0.9f, 0.75f}, tint) * b;
        bool big = ((h2 >> 20) & 31) == 0;
        star(img, x + 0.5f, y + 0.5f, big ? 1.4f : 0.7f, big ? 9.f * b : 0.f, c);
    }
}

}  // namespace pic
