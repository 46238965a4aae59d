// The generated models: the same bytes on every run, every file loads through
// the show's readers with the objects the scenes index, and under every
// placement the scenes give them each model stays in front of the viewer and
// on a sensible part of the picture.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "parts.h"
#include "models/mesh.h"
#include "model_scenes.h"
#include "room.h"
#include "room_2D.h"

namespace fs = std::filesystem;

namespace {

const std::string gfx = std::string(OSTRA_DATA_DIR) + "/gfx/";
const std::string corner_file = "b_kunhj\xF8rner.3D";

// A temporary path of this process, so parallel test runs never share one.
fs::path temp_path(const std::string& stem) {
    return fs::temp_directory_path() / (stem + "_" + std::to_string(::getpid()));
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

scenes::model load(const std::string& file, bool flat) {
    scenes::model m;
    std::string err = scenes::parse(gfx + file, flat, m);
    EXPECT_EQ(err, "") << file;
    return m;
}

}  // namespace

TEST(GenModels, TwoRunsWriteTheSameBytesAsTheBuild) {
    fs::path a = temp_path("ostra_models_a"), b = temp_path("ostra_models_b");
    for (const auto& d : {a, b}) {
        fs::remove_all(d);
        fs::create_directories(d / "gfx");
        ASSERT_TRUE(gen::generate_models(d.string()));
    }
    for (std::string f : {"nygris2.3D", "blob1.3D", "rom2.3D", corner_file.c_str()}) {
        std::string first = slurp(a / "gfx" / f);
        ASSERT_GT(first.size(), 1000u) << f;
        EXPECT_EQ(first, slurp(b / "gfx" / f)) << f;
        EXPECT_EQ(first, slurp(fs::path(gfx) / f)) << f << " differs from the build's data";
    }
    fs::remove_all(a);
    fs::remove_all(b);
}

TEST(GenModels, WriterLaysOutTheTokensTheReaderExpects) {
    mdl::mesh m;
    m.name = "tri";
    m.add_vert({-0.0, 1, 2}, -2, 2);
    m.add_vert({3, 4, 5}, 0, 0);
    m.add_vert({6, 7, 8}, 1.5, -1.25);
    m.add_face(0, 1, 2);
    EXPECT_EQ(mdl::format_3d("r", {m}, false),
              "r\n1\n# object 0\ntri\n3\n1\n# vertices, faces, texture coordinates\n"
              "0.0000 1.0000 2.0000\n3.0000 4.0000 5.0000\n6.0000 7.0000 8.0000\n0 1 2\n3\n"
              "-2.0000 2.0000 0\n0.0000 0.0000 0\n1.5000 -1.2500 0\n");
    std::string flat = mdl::format_3d("r", {m, m}, true);
    EXPECT_NE(flat.find("1.5000 -1.2500 0\n1\n0 1 2\n# object 1\n"), std::string::npos);
}

TEST(GenModels, EveryModelLoadsThroughTheShowsReaders) {
    struct want {
        const char* file;
        int min_objects;
        int min_faces, max_faces;
    };
    for (const want& w : {want{"nygris2.3D", 9, 2000, 4000}, want{"blob1.3D", 1, 500, 1500},
                          want{"rom2.3D", 5, 500, 2100}}) {
        room r;
        load_result res = r.read_file((gfx + w.file).c_str());
        ASSERT_TRUE(res.ok) << res.message();
        EXPECT_GE(r.nr_objects, w.min_objects) << w.file;
        int faces = 0;
        for (int i = 0; i < r.nr_objects; ++i) {
            const object& o = r.objects[i];
            EXPECT_GT(o.nr_faces, 0) << w.file << " object " << i;
            EXPECT_GE(o.nr_tex, o.nr_verts) << w.file << " object " << i;
            faces += o.nr_faces;
            for (int k = 0; k < o.nr_tex; ++k) {
                ASSERT_TRUE(o.tex_coords[0][k].u >= 0 && o.tex_coords[0][k].u <= 639) << w.file;
                ASSERT_TRUE(o.tex_coords[0][k].v >= 0 && o.tex_coords[0][k].v <= 479) << w.file;
            }
        }
        EXPECT_GE(faces, w.min_faces) << w.file;
        EXPECT_LE(faces, w.max_faces) << w.file;
    }

    // The corner room reads its texture itself; any 640 x 480 picture serves.
    SDL_Surface* target = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    ASSERT_TRUE(target);
    const fs::path picture = gfx + "bakgrunn7.png";
    {
        room_2D r;
        load_result res = r.read_file((gfx + corner_file).c_str(), picture.string().c_str(), target);
        ASSERT_TRUE(res.ok) << res.message();
        EXPECT_GE(r.nr_objects, 1);
        for (int i = 0; i < r.nr_objects; ++i) {
            const object_2& o = r.objects[i];
            EXPECT_GE(o.nr_tex, o.nr_verts);
            for (int k = 0; k < o.nr_tex; ++k) {  // inside the texture: no texel past its edge is read
                EXPECT_TRUE(o.tex_coords[0][k].u >= 0 && o.tex_coords[0][k].u <= 639);
                EXPECT_TRUE(o.tex_coords[0][k].v >= 0 && o.tex_coords[0][k].v <= 479);
            }
            for (int k = 0; k < o.nr_verts; ++k) {  // offsets from the centre, on the picture
                EXPECT_TRUE(o.verts[0][k].x >= -320 && o.verts[0][k].x <= 320);
                EXPECT_TRUE(o.verts[0][k].y >= -240 && o.verts[0][k].y <= 240);
            }
        }
    }
    SDL_FreeSurface(target);
}

TEST(GenModels, BlobVerticesBelongToOneCornerEachSoTheInPlaceTurnKeepsItWhole) {
    scenes::model m = load("blob1.3D", false);
    ASSERT_EQ(m.objs.size(), 1u);
    std::vector<int> uses(m.objs[0].v.size(), 0);
    for (const auto& f : m.objs[0].f)
        for (int k : f) ++uses[size_t(k)];
    for (int n : uses) ASSERT_EQ(n, 1);
}

TEST(GenModels, CreatureHeadStaysInFrontOfTheViewerAndOnScreen) {
    scenes::model m = load("nygris2.3D", false);
    ASSERT_GE(m.objs.size(), 9u);
    // Loading screen: flies at the viewer and away again; never at or behind
    // the viewer's plane, and whole on the first and the last frames.
    scenes::loading_poses(m, [&](const scenes::pose& p) {
        scenes::extent e = scenes::measure(m, p);
        ASSERT_LT(e.z_max, -150) << "loading frame " << p.frame;
        if (p.frame == 0 || p.frame >= 200) {
            EXPECT_TRUE(e.x0 > 0 && e.x1 < 639 && e.y0 > 0 && e.y1 < 479) << "loading frame " << p.frame;
            EXPECT_NEAR((e.x0 + e.x1) / 2, 320, 60) << "loading frame " << p.frame;
        }
    });
    // Backdrop cycle: large, centred, within the picture's height.
    scenes::backdrop_nygris_poses(m, [&](const scenes::pose& p) {
        scenes::extent e = scenes::measure(m, p);
        ASSERT_LT(e.z_max, -8000);
        EXPECT_NEAR((e.x0 + e.x1) / 2, 320, 40) << p.frame;
        if (p.frame >= 750 && p.frame <= 850) {
            EXPECT_TRUE(e.y1 - e.y0 > 300 && e.y0 > -40 && e.y1 < 520) << p.frame << " " << e.y0 << ".." << e.y1;
            EXPECT_TRUE(e.x1 - e.x0 > 250 && e.x0 > 0 && e.x1 < 639) << p.frame;
        }
    });
}

TEST(GenModels, CreatureHeadFacesTheViewerTheRightWayUp) {
    scenes::model m = load("nygris2.3D", false);
    scenes::backdrop_nygris_poses(m, [&](const scenes::pose& p) {
        if (p.frame != 800) return;
        auto centre = [&](size_t i) {
            scenes::extent e;
            for (const auto& v : *p.sets[i]) e.add(scenes::project(v, p.where));
            return e;
        };
        scenes::extent teeth = centre(0), head = centre(5), eye_l = centre(6), eye_r = centre(7), gold = centre(8);
        EXPECT_LT(eye_l.y1, teeth.y0) << "eyes above the teeth";
        EXPECT_LT(gold.y0, eye_l.y0) << "ornament above the eyes";
        EXPECT_GT(eye_l.z_max, head.z_max - 200) << "eyes on the viewer's side";
        EXPECT_GT(teeth.z_max, head.z_max - 150) << "teeth on the viewer's side";
        EXPECT_GT(std::fabs((eye_l.x0 + eye_l.x1) - (eye_r.x0 + eye_r.x1)) / 2, 60) << "eyes side by side";
    });
}

TEST(GenModels, BlobStaysInFrontOfTheViewerOnItsPaths) {
    scenes::model m = load("blob1.3D", false);
    scenes::extent all;
    scenes::blob_poses(m, [&](const scenes::pose& p) {
        scenes::extent e = scenes::measure(m, p);
        ASSERT_LT(e.z_max, -4000) << p.scene << " " << p.frame;
        double cx = (e.x0 + e.x1) / 2, cy = (e.y0 + e.y1) / 2;
        ASSERT_TRUE(cx > 0 && cx < 639 && cy > 0 && cy < 479) << p.scene << " " << p.frame;
        ASSERT_LT(e.x1 - e.x0, 500) << p.scene << " " << p.frame;
        all.add(e);
    });
    EXPECT_GT(all.x1 - all.x0, 300);  // it does travel across the picture
}

TEST(GenModels, FinalRoomTurnsInFrontOfTheViewerAndFillsThePicture) {
    scenes::model m = load("rom2.3D", false);
    ASSERT_GE(m.objs.size(), 5u);
    scenes::final_room_poses(m, [&](const scenes::pose& p) {
        scenes::extent e = scenes::measure(m, p);
        ASSERT_LT(e.z_max, -5000) << p.frame;
        EXPECT_TRUE(e.x1 - e.x0 > 450 && e.x0 > -60 && e.x1 < 700) << p.frame << ": " << e.x0 << ".." << e.x1;
        EXPECT_TRUE(e.y1 - e.y0 > 330 && e.y0 >= 0 && e.y1 <= 479) << p.frame << ": " << e.y0 << ".." << e.y1;
        // floor below the crown of the arches, metal centrepiece inside
        scenes::extent floor, arches, knot;
        for (const auto& v : *p.sets[0]) floor.add(scenes::project(v, p.where));
        for (const auto& v : *p.sets[3]) arches.add(scenes::project(v, p.where));
        for (const auto& v : *p.sets[4]) knot.add(scenes::project(v, p.where));
        EXPECT_GT(floor.y1, arches.y1);
        EXPECT_TRUE(knot.x0 > e.x0 && knot.x1 < e.x1 && knot.y0 > arches.y0 && knot.y1 < floor.y1);
    });
}
