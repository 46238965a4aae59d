// The .3D loaders: stream rules, texture-coordinate conversion, and refusal
// of malformed files with a message naming the file, object and fault.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "globals.h"
#include "model_reader.h"
#include "room.h"
#include "room_2D.h"
#include "test_png_bytes.h"
#include "test_r3d_util.h"

namespace {

// A two-object file with counts on separate lines in the second object.
const char* two_objects =
    "test room\n"
    "2\n"
    "---\n"
    "first\n"
    "3 1\n"
    "vertices\n"
    "0 0 0\n"
    "1.5 -2 3e1\n"
    "-4 5 6\n"
    "0 1 2\n"
    "3\n"
    "-2 -2 99\n"
    "0 0 -7\n"
    "2 2 0\n"
    "===\n"
    "second\n"
    "4\n"
    "0\n"
    "heading\n"
    "1 2 3 4 5 6 7 8 9 10 11 12\n"
    "0\n";

}  // namespace

TEST(R3dLoader, ReadsWellFormedFilesByTheStreamRules) {
    for (bool crlf : {false, true}) {
        std::string text = two_objects;
        if (crlf) {
            std::string t;
            for (char c : text) {
                if (c == '\n') t += '\r';
                t += c;
            }
            text = t;
        }
        room r;
        const std::string path = r3d_temp_file(text);
        const load_result res = r.read_file(path.c_str());
        ASSERT_TRUE(res.ok) << res.message();
        EXPECT_STREQ(r.name, "test room");
        ASSERT_EQ(r.nr_objects, 2);
        EXPECT_EQ(r.obj_index, 2);
        const object& a = r.objects[0];
        EXPECT_STREQ(a.name, "first");
        EXPECT_EQ(a.nr_verts, 3);
        EXPECT_EQ(a.nr_faces, 1);
        EXPECT_EQ(a.nr_tex, 3);
        EXPECT_FLOAT_EQ(a.verts[0][1].x, 1.5f);
        EXPECT_FLOAT_EQ(a.verts[0][1].z, 30.0f);
        EXPECT_EQ(a.faces[0].v[2], 2);
        // u, v = -2 -> 0; 0 -> 319, 239; 2 -> 639, 479; the third number is dropped
        EXPECT_EQ(a.tex_coords[0][0].u, 0);
        EXPECT_EQ(a.tex_coords[0][0].v, 0);
        EXPECT_EQ(a.tex_coords[0][1].u, 319);
        EXPECT_EQ(a.tex_coords[0][1].v, 239);
        EXPECT_EQ(a.tex_coords[0][2].u, 639);
        EXPECT_EQ(a.tex_coords[0][2].v, 479);
        EXPECT_EQ(a.left[0].x, 640);
        EXPECT_EQ(a.right[479].x, 0);
        ASSERT_NE(a.tex.surface, nullptr);
        EXPECT_EQ(a.tex.surface->w, 640);
        const object& b = r.objects[1];
        EXPECT_STREQ(b.name, "second");
        EXPECT_EQ(b.nr_verts, 4);
        EXPECT_EQ(b.nr_faces, 0);
        EXPECT_EQ(b.nr_tex, 0);
        EXPECT_FLOAT_EQ(b.verts[0][3].z, 12.0f);
        std::remove(path.c_str());
    }
    EXPECT_EQ(room_tex_coord(1.999f, 640), 638);
    EXPECT_EQ(room_tex_coord(0.0f, 480), 239);
    EXPECT_FLOAT_EQ(sintab[200], static_cast<float>(std::sin(200 / 127.33)));
    EXPECT_FLOAT_EQ(costab[1599], static_cast<float>(std::cos(1599 / 127.33)));
}

TEST(R3dLoader, DiscardedLinesConsumeTheRestOfTheCountLineAndOneMore) {
    // Counts and face indices on one line; text after the face count is the
    // "rest of the line"; the following heading line goes too.
    const std::string text =
        "r\n1\nsep\nname\n3 1 trailing words\nheading 1 2 3\n"
        "0 0 0 1 1 1 2 2 2 0 1 2 3 0 0 0 0 0 0 0 0 0\n";
    parsed_model m;
    const load_result res = parse_model(text, "x.3D", model_format{}, m);
    ASSERT_TRUE(res.ok) << res.message();
    ASSERT_EQ(m.objects.size(), 1u);
    EXPECT_EQ(m.objects[0].verts.size(), 3u);
    EXPECT_FLOAT_EQ(m.objects[0].verts[2].y, 2.0f);

    // N = 0: only the name and the count are read; anything after is ignored.
    room r;
    const std::string p = r3d_temp_file("empty\n0\n this is never read 1e999 x\n");
    ASSERT_TRUE(r.read_file(p.c_str()).ok);
    EXPECT_EQ(r.nr_objects, 0);
    std::remove(p.c_str());

    // A long object name line is cut to 99 characters; a 199-character line
    // is allowed, 200 fails, whichever line end follows (the CR of a CR LF
    // is not part of the line).
    const std::string name150(150, 'n');
    ASSERT_TRUE(parse_model("r\n1\n\n" + name150 + "\n0 0\n\n\n0\n", "x", model_format{}, m).ok);
    EXPECT_EQ(m.objects[0].name, std::string(99, 'n'));
    for (const std::string eol : {"\n", "\r\n"}) {
        SCOPED_TRACE(eol.size() == 2 ? "CR LF" : "LF");
        const load_result longest = parse_model(std::string(199, 'r') + eol + "0" + eol, "x", model_format{}, m);
        EXPECT_TRUE(longest.ok) << longest.message();
        const load_result too_long = parse_model(std::string(200, 'r') + eol + "0" + eol, "x", model_format{}, m);
        EXPECT_FALSE(too_long.ok);
        EXPECT_NE(too_long.message().find("199"), std::string::npos) << too_long.message();
    }
}

TEST(R3dLoader, RefusesMalformedFilesAndKeepsTheRoom) {
    struct bad_case {
        const char* text;
        const char* expect;  // part of the message
    } cases[] = {
        {"", "ends early"},
        {"r\n", "object count"},
        {"r\nx\n", "bad number"},
        {"r\n-1\n", "the object count -1 is negative"},
        {"r\n100000\n", "the object count 100000 is more than the rest of the file can hold"},
        {"r\n99999999999\n", "too large"},
        {"r\n1\n\nobj\n-3 0\n", "'obj': the vertex count -3"},
        {"r\n1\n\nobj\n0 2000000\n", "face count 2000000"},
        {"r\n1\n\nobj\n2 1\n\n\n0 0 0 1 1 1\n0 1 2\n", "face 0 names vertex 2, outside 0..1"},
        {"r\n1\n\nobj\n2 1\n\n\n0 0 0 1 1 1\n0 -1 1\n", "names vertex -1"},
        {"r\n1\n\nobj\n2 1\n\n\n0 0 0 1 1 1\n0 1 1\n1\n0 0 0\n", "1 texture coordinates for 2 vertices"},
        {"r\n1\n\nobj\n2 0\n\n\n0 0 0 1 1\n", "vertex 1"},
        {"r\n1\n\nobj\n1 0\n\n\n0 0 zero\n", "bad number"},
        {"r\n1\n\nobj\n1 0\n\n\n0 0 1e\n", "exponent"},
        {"r\n1\n\nobj\n1 0\n\n\n0 0 1e99\n", "float range"},
        {"r\n1\n\nobj\n1 0\n\n\n0 0 0\n1\n0 0\n", "texture coordinate 0"},
        {"r\n2\n\nobject name\n0 0\n\n\n0\n", "lines before the object name"},
        {"r\n1\n\nlong object name\n", "ends early while reading the vertex count"},
    };
    room r;
    const std::string good = r3d_temp_file(two_objects);
    ASSERT_TRUE(r.read_file(good.c_str()).ok);
    object* before = r.objects;
    for (const auto& c : cases) {
        const std::string path = r3d_temp_file(c.text, "bad");
        const load_result res = r.read_file(path.c_str());
        EXPECT_FALSE(res.ok) << c.text;
        EXPECT_NE(res.message().find(path), std::string::npos) << res.message();
        EXPECT_NE(res.message().find(c.expect), std::string::npos) << res.message() << " / " << c.expect;
        std::remove(path.c_str());
    }
    // the refused files left the earlier model in place
    EXPECT_EQ(r.objects, before);
    EXPECT_EQ(r.nr_objects, 2);
    const load_result missing = r.read_file("/nonexistent/dir/model.3D");
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.message().find("/nonexistent/dir/model.3D: cannot open"), std::string::npos);
    std::remove(good.c_str());
}

namespace {

// n objects written as tightly as the format allows: "\n\n\n0 0\n\n0" each
// (" 0" more with texture faces).
std::string tightest_objects(int count, int n, bool tex_faces) {
    std::string t = "r\n" + std::to_string(count);
    for (int i = 0; i < n; ++i) t += tex_faces ? "\n\n\n0 0\n\n0 0" : "\n\n\n0 0\n\n0";
    return t;
}

}  // namespace

TEST(R3dLoader, CountsAreLimitedByTheFileAndMemoryNotByFixedCaps) {
    // A well-formed room of 257 triangles loads, the last one intact.
    std::string text = "many\n257\n";
    for (int i = 0; i < 257; ++i)
        text += "---\nobj" + std::to_string(i) + "\n3 1\nvertices\n0 0 0\n" + std::to_string(i) +
                " 1 0\n0 0 1\n0 1 2\n3\n0 0 0\n1 1 0\n2 2 0\n";
    room big;
    const std::string path = r3d_temp_file(text, "big");
    const load_result ok = big.read_file(path.c_str());
    ASSERT_TRUE(ok.ok) << ok.message();
    ASSERT_EQ(big.nr_objects, 257);
    EXPECT_STREQ(big.objects[256].name, "obj256");
    EXPECT_FLOAT_EQ(big.objects[256].verts[0][1].x, 256.0f);
    ASSERT_NE(big.objects[256].tex.surface, nullptr);
    std::remove(path.c_str());

    // Objects and records written as tightly as the format allows load; one
    // object more than the text holds is refused at its count, not by
    // running out of text half-way.
    parsed_model m;
    for (bool tex_faces : {false, true}) {
        model_format fmt;
        fmt.tex_faces = tex_faces;
        const load_result tight = parse_model(tightest_objects(3000, 3000, tex_faces), "t.3D", fmt, m);
        ASSERT_TRUE(tight.ok) << tight.message();
        EXPECT_EQ(m.objects.size(), 3000u);
        const load_result lying = parse_model(tightest_objects(3001, 3000, tex_faces), "t.3D", fmt, m);
        EXPECT_FALSE(lying.ok);
        EXPECT_EQ(lying.path, "t.3D");
        EXPECT_NE(lying.reason.find("the object count 3001 is more than the rest of the file can "
                                    "hold"),
                  std::string::npos)
            << lying.reason;
    }
    const load_result compact =
        parse_model("r\n1\n\no\n2 1\n\n0 0 0 0 0 0 0 1 1 2 0 0 0 0 0 0", "c.3D", model_format{}, m);
    ASSERT_TRUE(compact.ok) << compact.message();
    EXPECT_EQ(m.objects[0].tex.size(), 2u);

    // Lying record counts: refused at the count when the text is too short,
    // at the first missing record otherwise.
    const struct {
        const char* text;
        const char* expect;
    } lies[] = {
        {"r\n1\n\no\n1000 0\n\n\n0 0 0\n0\n", "the vertex count 1000 is more than"},
        {"r\n1\n\no\n3 2147483647\n\n\n0 0 0\n", "the face count 2147483647 is more than"},
        {"r\n1\n\no\n1 0\n\n\n0 0 0\n9999\n0 0 0\n", "texture-coordinate count 9999 is more"},
        {"r\n1\n\no\n3 0\n\n\n0 0 0 1 1 1 2 2\n", "the file ends early while reading vertex 2"},
    };
    for (const auto& c : lies) {
        const load_result res = parse_model(c.text, "l.3D", model_format{}, m);
        EXPECT_FALSE(res.ok) << c.text;
        EXPECT_NE(res.reason.find(c.expect), std::string::npos) << res.reason << " / " << c.expect;
    }

    // Memory: objects that would not fit are refused before any is built.
    model_format small;
    small.object_bytes = 1000;
    small.memory_limit = 10000;
    EXPECT_TRUE(parse_model(tightest_objects(10, 10, false), "m.3D", small, m).ok);
    const load_result too_many = parse_model(tightest_objects(11, 11, false), "m.3D", small, m);
    EXPECT_FALSE(too_many.ok);
    EXPECT_NE(too_many.reason.find("11 objects need 11 KB of memory, more than the 10 KB"),
              std::string::npos)
        << too_many.reason;
    // A room's objects carry a 640 x 480 texture each: 400,000 of them (a
    // 3.6 MB file) are more than any machine here holds, and the room stays
    // as it was.
    if (physical_memory() == 0)
        GTEST_SKIP() << "this system does not report its memory";
    const std::string huge = r3d_temp_file(tightest_objects(400000, 400000, false), "huge");
    const load_result refused = big.read_file(huge.c_str());
    EXPECT_FALSE(refused.ok);
    EXPECT_NE(refused.reason.find("400000 objects need"), std::string::npos) << refused.reason;
    EXPECT_EQ(big.nr_objects, 257);
    std::remove(huge.c_str());
}

TEST(R3dLoader, TexturedRoomScalesUnitCoordinatesAndConsumesTextureFaces) {
    SDL_Surface* target = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    // a 64 x 32 texture
    const std::string tex_path = "/tmp/r3d_test_" + std::to_string(getpid()) + "_tex.png";
    {
        const test_png::bytes png = test_png::png_file(64, 32, 0, 0, 0);
        std::ofstream(tex_path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
    }
    const std::string model = r3d_temp_file(
        "corner\n1\n\nwall\n3 1\n\n\n0 0 0 10 0 0 0 10 0\n0 1 2\n"
        "3\n0.5 0.5 0\n1 1 0\n0 0 0\n"
        "2\n0 1 2\n2 1 0\n");
    room_2D r;
    const load_result res = r.read_file(model.c_str(), tex_path.c_str(), target);
    ASSERT_TRUE(res.ok) << res.message();
    ASSERT_EQ(r.nr_objects, 1);
    const object_2& o = r.objects[0];
    EXPECT_EQ(o.target, target);
    EXPECT_EQ(o.tex_surface, r.tex_surface);
    EXPECT_EQ(o.tex_coords[0][0].u, 32);  // trunc(64 * 0.5)
    EXPECT_EQ(o.tex_coords[0][0].v, 16);
    EXPECT_EQ(o.tex_coords[0][1].u, 64);  // u = 1 is one past the last column
    EXPECT_EQ(o.tex_faces[1].t[0], 2);
    EXPECT_EQ(unit_tex_coord(0.5f, 640), 320);

    // a missing G record is a premature end; a missing texture is refused too
    const std::string bad = r3d_temp_file("c\n1\n\nwall\n1 0\n\n\n0 0 0\n1\n0 0 0\n");
    room_2D r2;
    const load_result e1 = r2.read_file(bad.c_str(), tex_path.c_str(), target);
    EXPECT_FALSE(e1.ok);
    EXPECT_NE(e1.message().find("texture-face count"), std::string::npos) << e1.message();
    const load_result e2 = r2.read_file(model.c_str(), "/nonexistent.png", target);
    EXPECT_FALSE(e2.ok);
    EXPECT_NE(e2.message().find("/nonexistent.png"), std::string::npos) << e2.message();
    EXPECT_EQ(r2.objects, nullptr);
    std::remove(bad.c_str());
    std::remove(model.c_str());
    std::remove(tex_path.c_str());
    SDL_FreeSurface(target);
}

TEST(R3dLoader, AFileBeyondAnyModelIsRefusedFromItsSizeUnread) {
    // (a refusal names the line it stopped on: every line end read counts)
    parsed_model m;
    EXPECT_EQ(parse_model("r\n1\n\no\nx 1\n\n\n", "l.3D", model_format{}, m).reason,
              "object 0 'o': a missing or bad number while reading the vertex count (line 5)");
    // the smallest 32-bit integer is read (and refused as a count for its sign)
    EXPECT_EQ(parse_model("r\n-2147483648\n", "l.3D", model_format{}, m).reason,
              "the object count -2147483648 is negative");

    // a good model followed by 2 GB of trailing bytes (a sparse file: no disk used)
    const std::string good = "r\n1\n\no\n3 1\n\n\n0 0 0 1 0 0 0 1 0\n0 1 2\n3\n0 0 0 1 0 0 0 1 0\n";
    const std::string path = r3d_temp_file(good, "trailing");
    room r;
    ASSERT_TRUE(r.read_file(path.c_str()).ok);
    auto resize = [&](long long size) {
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
    };
    resize(2LL << 30);
    const load_result huge = r.read_file(path.c_str());
    EXPECT_FALSE(huge.ok);
    EXPECT_EQ(huge.message(), path + ": too large for a model (2147483648 bytes; at most 4194304)");
    // the limit itself: a file of exactly max_model_bytes is read (trailing
    // zeros after the last record are ignored), one byte more is not
    resize(max_model_bytes);
    EXPECT_TRUE(r.read_file(path.c_str()).ok);
    resize(max_model_bytes + 1);
    EXPECT_FALSE(r.read_file(path.c_str()).ok);
    room_2D r2;
    SDL_Surface* target = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    const std::string tex_path = "/tmp/r3d_test_" + std::to_string(getpid()) + "_big_tex.png";
    {
        const test_png::bytes png = test_png::png_file(8, 8);
        std::ofstream(tex_path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
    }
    EXPECT_NE(r2.read_file(path.c_str(), tex_path.c_str(), target).reason.find("too large for a model"),
              std::string::npos);
    SDL_FreeSurface(target);
    std::remove(tex_path.c_str());
    std::remove(path.c_str());
}
