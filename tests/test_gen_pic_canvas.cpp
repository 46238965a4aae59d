// The picture generator's primitives: quantisation that survives the show's
// RGB565 truncation, noise that repeats across the picture's edges (textures
// wrap around models), blur that keeps a shape's weight, and typesetting.
#include <gtest/gtest.h>

#include <cmath>

#include "common/canvas.h"
#include "pictures/picture_effects.h"
#include "common/procedural_noise.h"
#include "common/text.h"

using namespace pic;

TEST(GenPicCanvas, DitheredBytesConvertBackToTheirLevelsAndKeepBlackAndWhite) {
    // A ramp over every 5- and 6-bit level: each written byte must truncate
    // to a level within one step of the value, and 0 and 1 stay exact.
    image img(256, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 256; ++x) img.set(x, y, {float(x) / 255.f, float(x) / 255.f, float(x) / 255.f});
    std::vector<uint8_t> b = to_bytes(img, true);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 256; ++x) {
            const uint8_t* p = &b[(size_t(y) * 256 + size_t(x)) * 3];
            float v = float(x) / 255.f;
            EXPECT_LE(std::fabs(float(p[0] >> 3) - v * 31.f), 1.f) << x;
            EXPECT_LE(std::fabs(float(p[1] >> 2) - v * 63.f), 1.f) << x;
            // the byte is the level's exact expansion: (level * 255 + max / 2) / max
            int lr = p[0] >> 3, lg = p[1] >> 2;
            EXPECT_EQ(p[0], (lr * 255 + 15) / 31);
            EXPECT_EQ(p[1], (lg * 255 + 31) / 63);
        }
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[255 * 3], 255);
    EXPECT_EQ(b[255 * 3 + 1], 255);
}

TEST(GenPicCanvas, TileableNoiseRepeatsAcrossThePeriod) {
    for (float y : {0.25f, 3.5f, 5.9f})
        for (float x : {0.1f, 2.7f, 7.3f}) {
            EXPECT_FLOAT_EQ(value_noise(x, y, 8, 6, 7u), value_noise(x + 8.f, y - 6.f, 8, 6, 7u));
            EXPECT_NEAR(gradient_noise(x, y, 8, 6, 7u), gradient_noise(x - 8.f, y + 12.f, 8, 6, 7u), 1e-5f);
            EXPECT_NEAR(fbm(x, y, 8, 6, 4, 9u), fbm(x + 16.f, y, 8, 6, 4, 9u), 1e-5f);
            cell_hit a = cellular(x, y, 8, 6, 3u), b = cellular(x + 8.f, y + 6.f, 8, 6, 3u);
            EXPECT_NEAR(a.f1, b.f1, 1e-4f);
            EXPECT_EQ(a.id, b.id);
            float v = fbm(x, y, 0, 0, 5, 11u);
            EXPECT_GE(v, 0.f);
            EXPECT_LE(v, 1.f);
        }
    rng r1(42), r2(42);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(r1.next(), r2.next());
}

TEST(GenPicCanvas, BlurKeepsTheWeightOfAShapeAwayFromTheEdges) {
    mask m(200, 200);
    disc(m, 100.f, 100.f, 20.f);
    double before = 0, after = 0;
    for (float a : m.a) before += a;
    blur(m, 6);
    for (float a : m.a) after += a;
    EXPECT_NEAR(after, before, before * 1e-3);
    EXPECT_LT(m.at(100, 100), 1.f);
    EXPECT_GT(m.at(100, 125), 0.f);  // spread past the rim
    box b = bounds(m);
    EXPECT_GT(b.x0, 50);
    EXPECT_LT(b.x1, 150);
}

TEST(GenPicCanvas, TextIsSetWhereAskedAndFitsItsWidth) {
    typesetter ts;
    mask m(640, 120);
    ts.draw(m, "DejaVuSans-Bold.ttf", 40, "Ostramere 05", 320.f, 80.f, align::centre);
    ASSERT_TRUE(ts.ok()) << ts.error;
    box b = bounds(m);
    EXPECT_NEAR(float(b.x0 + b.x1) * 0.5f, 320.f, 6.f);  // centred
    EXPECT_LE(b.y1, 82);                                 // no descender in this text
    EXPECT_GE(b.y0, 40);
    int size = fit_size(ts, "DejaVuSans-Bold.ttf", "OSTRAMERE", 300.f, 120);
    EXPECT_LE(ts.width("DejaVuSans-Bold.ttf", size, "OSTRAMERE"), 300.f);
    EXPECT_GT(ts.width("DejaVuSans-Bold.ttf", size + 1, "OSTRAMERE"), 300.f);

    typesetter missing;
    mask n(10, 10);
    missing.draw(n, "NoSuchFont.ttf", 12, "x", 5.f, 8.f);
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.error.find("NoSuchFont.ttf"), std::string::npos);
}
