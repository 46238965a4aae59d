// Pixel format, weight table and the drawing target.
#include <gtest/gtest.h>

#include "bitmap.h"
#include "pixel.h"

TEST(Pixel, ChannelsSplitAndRebuildWithGreenLowBitCleared) {
    EXPECT_EQ(px::red(0xFFFF), 31);
    EXPECT_EQ(px::green(0xFFFF), 31);
    EXPECT_EQ(px::blue(0xFFFF), 31);
    EXPECT_EQ(px::pack(px::red(0xFFFF), px::green(0xFFFF), px::blue(0xFFFF)), 0xFFDF);
    EXPECT_EQ(px::green(0x07E0), 31);
    EXPECT_EQ(px::green(0x0020), 0);  // green's lowest bit is not a level
}

TEST(Pixel, WeightTableMatchesIntegerRule) {
    fill_pre_RGB_tab();
    for (int v = 0; v < 256; ++v)
        for (int k = 0; k < 31; ++k) ASSERT_EQ(pre_RGB_tab[v * 31 + k], 34 * v * k / 1000) << v << "," << k;
    EXPECT_EQ(pre_RGB_tab[31 * 31 + 30], 31);
    EXPECT_EQ(pre_RGB_tab[31 * 31 + 15], 15);
    EXPECT_EQ(pre_RGB_tab[16 * 31 + 15], 8);
    EXPECT_EQ(pre_RGB_tab[7935], 260);
}

TEST(Bitmap, BlankFillsOnlyTheFirst640PixelsOfEachRow) {
    bitmap b;
    ASSERT_NE(b.surface, nullptr);
    EXPECT_EQ(b.surface->format->BitsPerPixel, 16);
    EXPECT_EQ(b.surface->format->Rmask, 0xF800u);
    b.blank(0x1234);
    auto* p = static_cast<Uint16*>(b.surface->pixels);
    const int pitch = b.surface->pitch / 2;
    EXPECT_EQ(p[0], 0x1234);
    EXPECT_EQ(p[479 * pitch + 639], 0x1234);

    // A wider surface keeps its columns from 640 on; a smaller one is clipped.
    bitmap wide;
    wide.replace_surface(new_surface16(700, 500));
    EXPECT_EQ(wide.src_rect.w, 700);
    EXPECT_EQ(wide.dst_rect.h, 500);
    auto* wp = static_cast<Uint16*>(wide.surface->pixels);
    const int wpitch = wide.surface->pitch / 2;
    wp[10 * wpitch + 650] = 7;
    wp[490 * wpitch + 5] = 9;
    wide.blank(0);
    EXPECT_EQ(wp[10 * wpitch + 650], 7);
    EXPECT_EQ(wp[490 * wpitch + 5], 9);
    EXPECT_EQ(wp[10 * wpitch + 639], 0);

    bitmap small;
    small.replace_surface(new_surface16(10, 10));
    small.blank(0xFFFF);  // must not write past the 10 x 10 surface
    EXPECT_EQ(static_cast<Uint16*>(small.surface->pixels)[9 * small.surface->pitch / 2 + 9], 0xFFFF);
}
