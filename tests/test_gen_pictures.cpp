// Generated pictures: the same bytes on every run, each loads and converts to
// 16 bits as the show loads it, and the colour rules the show reads hold
// (light-sheet rectangles and flame palette, key colours, card bands).
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "decode_image.h"
#include "parts.h"

namespace fs = std::filesystem;

namespace {

const char* const picture_names[] = {
    "logo3.png",  "credits.png", "presents.png", "vormbrisk.png", "loadscreen.png", "bakgrunn5.png",
    "bakgrunn6.png", "bakgrunn7.png", "new1.png", "new2.png",      "new3.png",       "lights.png",
    "texmex.png", "light.png",   "greets1.png",  "greets2.png",   "tann.png",       "skin.jpg",
    "aug.jpg",    "gold2.jpg",   "bais.png",     "metal_2.png"};

std::string gfx(const std::string& name) { return std::string(OSTRA_DATA_DIR) + "/gfx/" + name; }

struct surface_free {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using surface_ptr = std::unique_ptr<SDL_Surface, surface_free>;

// As the show loads a picture: decode_image, then a blit into a new 16-bit
// surface of the image's size (default masks, RGB565).
surface_ptr load16(const std::string& path) {
    std::string error;
    surface_ptr img(decode_image(path.c_str(), error));
    if (!img) return nullptr;
    surface_ptr s(SDL_CreateRGBSurface(0, img->w, img->h, 16, 0, 0, 0, 0));
    if (!s) return nullptr;
    SDL_Rect r{0, 0, Uint16(img->w), Uint16(img->h)};
    SDL_Rect d = r;
    if (SDL_UpperBlit(img.get(), &r, s.get(), &d) != 0) return nullptr;
    return s;
}

Uint16 at(SDL_Surface* s, int x, int y) {
    return static_cast<const Uint16*>(s->pixels)[y * (s->pitch / 2) + x];
}

std::vector<char> file_bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class GenPictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SDL_Init(SDL_INIT_VIDEO); }
    static void TearDownTestSuite() { SDL_Quit(); }
    surface_ptr load(const char* name) {
        surface_ptr s = load16(gfx(name));
        EXPECT_TRUE(s) << gfx(name) << ": " << SDL_GetError();
        return s;
    }
};

// Runs the pictures part in this process into a fresh folder and compares
// every file with what the build's generator run wrote: two runs, two
// processes, the same bytes.
TEST_F(GenPictures, SameBytesOnEveryRun) {
    fs::path dir = fs::temp_directory_path() / ("ostra_pictures_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "gfx");
    ASSERT_TRUE(gen::generate_pictures(dir.string()));
    for (const char* name : picture_names) {
        std::vector<char> a = file_bytes(dir / "gfx" / name), b = file_bytes(gfx(name));
        ASSERT_FALSE(a.empty()) << name;
        EXPECT_TRUE(a == b) << name << " differs between two runs of the generator";
    }
    EXPECT_TRUE(file_bytes(dir / "contact_sheet.png") ==
                file_bytes(fs::path(OSTRA_DATA_DIR) / "contact_sheet.png"));
    fs::remove_all(dir);
}

TEST_F(GenPictures, AFolderThatCannotBeWrittenIsReportedNotIgnored) {
    fs::path dir = fs::temp_directory_path() / ("ostra_pictures_missing_" + std::to_string(::getpid()));
    fs::remove_all(dir);  // no gfx/ folder inside: the first picture cannot be written
    testing::internal::CaptureStderr();
    EXPECT_FALSE(gen::generate_pictures(dir.string()));
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find((dir / "gfx").string()), std::string::npos) << said;
    EXPECT_FALSE(fs::exists(dir));
}

TEST_F(GenPictures, EveryPictureLoadsAt640x480AndConvertsTo16Bits) {
    for (const char* name : picture_names) {
        surface_ptr s = load(name);
        if (!s) continue;
        EXPECT_EQ(s->w, 640) << name;
        EXPECT_EQ(s->h, 480) << name;
        EXPECT_EQ(s->format->BitsPerPixel, 16) << name;
        EXPECT_EQ(s->format->Rmask, 0xF800u) << name;
        // Not a flat fill.
        std::vector<bool> seen(65536);
        int distinct = 0;
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x)
                if (!seen[at(s.get(), x, y)]) seen[at(s.get(), x, y)] = true, ++distinct;
        EXPECT_GT(distinct, 64) << name;
    }
}

// The four sheet lights are cut from these rectangles (inclusive) with black
// transparent; column 15, rows 280..479 is the flame palette, base at the
// bottom. Everything else on the sheet must stay black.
TEST_F(GenPictures, LightSheetHoldsTheFourSpritesAndTheFlamePalette) {
    surface_ptr s = load("lights.png");
    ASSERT_TRUE(s);
    struct rect {
        int x0, y0, x1, y1;
    };
    const rect rects[] = {{182, 1, 379, 238}, {382, 1, 567, 229}, {182, 240, 351, 478}, {354, 240, 638, 478}};
    int lit[4] = {0, 0, 0, 0}, stray = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            if (at(s.get(), x, y) == 0) continue;
            bool inside = x == 15 && y >= 280;
            for (int i = 0; i < 4; ++i)
                if (x >= rects[i].x0 && x <= rects[i].x1 && y >= rects[i].y0 && y <= rects[i].y1) ++lit[i], inside = true;
            if (!inside) ++stray;
        }
    EXPECT_EQ(stray, 0) << "non-black pixels outside the sprite rectangles";
    for (int i = 0; i < 4; ++i) {
        const rect& r = rects[i];
        int area = (r.x1 - r.x0 + 1) * (r.y1 - r.y0 + 1);
        EXPECT_GT(lit[i], area / 20) << "sprite " << i + 1 << " is nearly empty";
        EXPECT_LT(lit[i], area * 3 / 4) << "sprite " << i + 1 << " has no transparent surround";
        // the sprite's centre shows
        EXPECT_NE(at(s.get(), (r.x0 + r.x1) / 2, (r.y0 + r.y1) / 2), 0) << "sprite " << i + 1;
    }

    // Flame palette entry k = pixel (15, 479 - k): dark red base, warming
    // steadily to a near-white tip; no entry black.
    auto ch = [](Uint16 p, int c) { return c == 0 ? p >> 11 : c == 1 ? (p >> 6) & 31 : p & 31; };
    Uint16 base = at(s.get(), 15, 479), tip = at(s.get(), 15, 280);
    EXPECT_GE(ch(base, 0), 6);
    EXPECT_GT(ch(base, 0), 2 * ch(base, 1));
    EXPECT_GT(ch(base, 0), 2 * ch(base, 2));
    for (int c = 0; c < 3; ++c) EXPECT_GE(ch(tip, c), 27) << "tip channel " << c;
    int prev = -1;
    for (int k = 0; k < 200; ++k) {
        Uint16 p = at(s.get(), 15, 479 - k);
        ASSERT_NE(p, 0) << "palette entry " << k;
        int sum = ch(p, 0) + ch(p, 1) + ch(p, 2);
        EXPECT_GE(sum, prev) << "palette entry " << k << " darker than the one below";
        prev = sum;
    }
}

TEST_F(GenPictures, KeyColoursAndTransparentAreasSitWhereTheShowReadsThem) {
    // bakgrunn7: panes of exactly 0x0014 (transparent in the corner room).
    surface_ptr b7 = load("bakgrunn7.png");
    ASSERT_TRUE(b7);
    int key = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) key += at(b7.get(), x, y) == 0x0014;
    EXPECT_GT(key, 640 * 480 / 10);
    EXPECT_LT(key, 640 * 480 / 2);

    // greets2: white (0xFFFF, transparent) below its panel; the panel lies in
    // the upper half, the only part that rises into view.
    surface_ptr g2 = load("greets2.png");
    ASSERT_TRUE(g2);
    int panel = 0, low = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            bool white = at(g2.get(), x, y) == 0xFFFF;
            if (!white && y <= 250) ++panel;
            if (!white && y > 250) ++low;
        }
    EXPECT_GT(panel, 640 * 250 / 3);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(at(g2.get(), 639, 479), 0xFFFF);

    // Lights laid over scenes are mostly black (transparent), with a lit middle.
    for (const char* name : {"texmex.png", "light.png"}) {
        surface_ptr s = load(name);
        ASSERT_TRUE(s);
        int black = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) black += at(s.get(), x, y) == 0;
        EXPECT_GT(black, 640 * 480 / 5) << name;
        EXPECT_LT(black, 640 * 480 - 5000) << name;
    }
    surface_ptr glow = load("light.png");
    ASSERT_TRUE(glow);
    EXPECT_NE(at(glow.get(), 320, 240), 0);
    EXPECT_EQ(at(glow.get(), 0, 0), 0);

    // Title cards: while a card ripples only its band is shown, so nothing
    // lies outside it (black is also the ripple's transparent colour).
    struct card {
        const char* name;
        int y0, y1;
    };
    for (const card& c : {card{"logo3.png", 150, 349}, card{"presents.png", 150, 349},
                          card{"vormbrisk.png", 150, 349}, card{"credits.png", 10, 459}}) {
        surface_ptr s = load(c.name);
        ASSERT_TRUE(s);
        int outside = 0, inside = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                if (at(s.get(), x, y) != 0) (y >= c.y0 && y <= c.y1 ? inside : outside)++;
        EXPECT_EQ(outside, 0) << c.name;
        EXPECT_GT(inside, 5000) << c.name;
    }
}

}  // namespace
