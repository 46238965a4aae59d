// Rooms give back what they take: the show's models read again and again
// into one room, rooms made and dropped, a textured room with its picture,
// leave the heap as it was.
#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "room.h"
#include "room_2D.h"
#include "test_heap_util.h"

namespace fs = std::filesystem;

TEST(R3dRelease, RoomsReadAgainAndDroppedKeepNoMemory) {
    const fs::path gfx = fs::path(OSTRA_DATA_DIR) / "gfx";
    const fs::path corner = gfx / "b_kunhj\xF8rner.3D";
    const std::string blob = (gfx / "blob1.3D").string(), texture = (gfx / "bakgrunn7.png").string();
    if (!fs::exists(corner) || !fs::exists(blob) || !fs::exists(texture))
        GTEST_SKIP() << "no generated models in " << gfx;
    SDL_Surface* target = SDL_CreateRGBSurface(0, 640, 480, 16, 0xF800, 0x07E0, 0x001F, 0);
    const auto load_all = [&] {
        room r;
        // Read twice: the second read replaces the first's objects.
        ASSERT_TRUE(r.read_file(blob.c_str()));
        ASSERT_TRUE(r.read_file(blob.c_str()));
        room_2D flat;
        ASSERT_TRUE(flat.read_file(corner.string().c_str(), texture.c_str(), target));
        ASSERT_TRUE(flat.read_file(corner.string().c_str(), texture.c_str(), target));
        // A texture that cannot be read, or a model refused after its
        // texture was made, leaves the room as it was.
        SDL_Surface* const kept = flat.tex_surface;
        EXPECT_FALSE(flat.read_file(corner.string().c_str(), blob.c_str(), target));
        EXPECT_FALSE(flat.read_file(texture.c_str(), texture.c_str(), target));
        EXPECT_EQ(flat.tex_surface, kept);
    };
    load_all();
    const long long before = heap_test::in_use();
    for (int round = 0; round < 4; ++round) load_all();
    EXPECT_LT(heap_test::in_use() - before, 256 << 10)
        << "each object holds a 600 kB texture; a room or picture kept would show";
    SDL_FreeSurface(target);
}
