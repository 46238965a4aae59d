// The .3D reader at its edges: every white-space character between numbers,
// the line a refusal names (LF, CR LF, a last line with no end), records
// written as tightly as the format allows against a count one too large,
// the memory figures a refusal prints at the unit boundaries, and an empty
// file read from disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "model_reader.h"
#include "test_r3d_util.h"

namespace {

std::string reason_of(const std::string& text, const model_format& fmt = model_format{}) {
    parsed_model m;
    const load_result r = parse_model(text, "e.3D", fmt, m);
    return r.ok ? "" : r.reason;
}

}  // namespace

TEST(R3dReaderEdges, EveryWhiteSpaceSeparatesNumbersAndLinesAreCountedByTheirEnds) {
    // One vertex, its three numbers split by a tab, a vertical tab and a form
    // feed; CR LF before the texture-coordinate count.
    parsed_model m;
    const load_result ok = parse_model("r\n1\n\no\n1 0\n\n\n-1.5\t+2\v3e1\f\r\n+1\n0.5 -0 7", "w.3D", model_format{}, m);
    ASSERT_TRUE(ok.ok) << ok.reason;
    ASSERT_EQ(m.objects.size(), 1u);
    ASSERT_EQ(m.objects[0].verts.size(), 1u);
    EXPECT_FLOAT_EQ(m.objects[0].verts[0].x, -1.5f);
    EXPECT_FLOAT_EQ(m.objects[0].verts[0].y, 2.0f);
    EXPECT_FLOAT_EQ(m.objects[0].verts[0].z, 30.0f);
    EXPECT_EQ(m.objects[0].tex.size(), 1u) << "a count written +1";
    // Exponents with either sign and either letter.
    ASSERT_TRUE(parse_model("r\n1\n\no\n1 0\n\n\n1e+1 2.5E-1 -4e-0\n0", "x.3D", model_format{}, m).ok);
    EXPECT_FLOAT_EQ(m.objects[0].verts[0].x, 10.0f);
    EXPECT_FLOAT_EQ(m.objects[0].verts[0].y, 0.25f);
    EXPECT_FLOAT_EQ(m.objects[0].verts[0].z, -4.0f);
    // Vertex indices with signs: +2 is vertex 2; -0 is vertex 0.
    ASSERT_TRUE(parse_model("r\n1\n\no\n3 1\n\n\n0 0 0 1 0 0 0 1 0\n-0 +1 +2\n3\n0 0 0 0 0 0 0 0 0", "s.3D",
                            model_format{}, m)
                    .ok);
    EXPECT_EQ(m.objects[0].faces[0].v[0], 0);
    EXPECT_EQ(m.objects[0].faces[0].v[2], 2);
    EXPECT_EQ(reason_of("r\n1\n\no\n3 1\n\n\n0 0 0 1 0 0 0 1 0\n0 1 -2\n"),
              "object 0 'o': face 0 names vertex -2, outside 0..2");

    // The line a refusal names: a last line without its end is still line 1,
    // and CR LF ends a line as LF does; blank lines read as numbers' white
    // space count too.
    EXPECT_EQ(reason_of("r"), "the file ends early while reading the object count (line 1)");
    EXPECT_EQ(reason_of("r\n"), "the file ends early while reading the object count (line 2)");
    EXPECT_EQ(reason_of("r\r\n\r\n\n  \n"), "the file ends early while reading the object count (line 5)");
    EXPECT_EQ(reason_of("r\n1\n\no\n1 0\n\n\n0 0 x\n"),
              "object 0 'o': a missing or bad number while reading vertex 0 (line 8)");
    EXPECT_EQ(reason_of("r\r\n1\r\n\r\no\r\n1 0\r\n\r\n\r\n0\r\n0 x\r\n"),
              "object 0 'o': a missing or bad number while reading vertex 0 (line 9)");
}

TEST(R3dReaderEdges, RecordsAsTightAsTheFormatAllowsLoadAndOneMoreIsRefusedAtItsCount) {
    // n texture coordinates "0 0 0", one space apart, end the file: the
    // count's line holds n records in 6n bytes after the count itself.
    for (int n = 1; n <= 3; ++n) {
        std::string records;
        for (int i = 0; i < n; ++i) records += " 0 0 0";
        const std::string head = "r\n1\n\no\n0 0\n\n\n";
        EXPECT_EQ(reason_of(head + std::to_string(n) + records), "") << n;
        EXPECT_EQ(reason_of(head + std::to_string(n + 1) + records),
                  "object 0 'o': the texture-coordinate count " + std::to_string(n + 1) +
                      " is more than the rest of the file can hold (" + std::to_string(n + 1) +
                      " texture coordinates take at least " + std::to_string(6 * n + 5) + " bytes; " +
                      std::to_string(6 * n) + " remain)");
        // Exactly the least size the count needs, but not records: read one
        // by one and refused at the first one missing.
        EXPECT_EQ(reason_of(head + std::to_string(n + 1) + records + "     "),
                  "object 0 'o': the file ends early while reading texture coordinate " + std::to_string(n) +
                      " (line 8)");
    }
    // The same for the vertex records a face count follows, and the texture
    // faces of a textured room, which end its file.
    EXPECT_EQ(reason_of("r\n1\n\no\n2 0\n\n\n0 0 0 0 0 0\n0"), "");
    model_format textured;
    textured.tex_faces = true;
    textured.unit_tex = true;
    EXPECT_EQ(reason_of("r\n1\n\no\n0 0\n\n\n0\n2 0 0 0 0 0 0", textured), "");
    EXPECT_NE(reason_of("r\n1\n\no\n0 0\n\n\n0\n3 0 0 0 0 0 0", textured).find("the texture-face count 3 is more"),
              std::string::npos);
}

TEST(R3dReaderEdges, AMemoryRefusalPrintsItsFiguresInTheUnitTheyReach) {
    const auto refusal = [](unsigned long long object_bytes, unsigned long long limit, int n) {
        model_format f;
        f.object_bytes = object_bytes;
        f.memory_limit = limit;
        std::string text = "r\n" + std::to_string(n);
        for (int i = 0; i < n; ++i) text += "\n\n\n0 0\n\n0";
        return reason_of(text, f);
    };
    const unsigned long long kb = 1024, mb = kb * kb, gb = mb * kb;
    EXPECT_EQ(refusal(mb, mb, 2), "2 objects need 2 MB of memory, more than the 1 MB there is");
    EXPECT_EQ(refusal(mb - kb, mb - kb, 2), "2 objects need 2 MB of memory, more than the 1023 KB there is");
    EXPECT_EQ(refusal(gb, gb, 2), "2 objects need 2.0 GB of memory, more than the 1.0 GB there is");
    EXPECT_EQ(refusal(gb - mb, gb - mb, 1), "");
    EXPECT_EQ(refusal(gb - mb, gb - mb, 2),
              "2 objects need 2.0 GB of memory, more than the 1023 MB there is");
    EXPECT_EQ(refusal(3, 9, 3), "") << "exactly the limit fits";
    EXPECT_EQ(refusal(3, 9, 4), "4 objects need 0 KB of memory, more than the 0 KB there is");
}

TEST(R3dReaderEdges, AnEmptyFileOnDiskIsAModelThatEndsEarly) {
    const std::string path = r3d_temp_file("", "empty");
    parsed_model m;
    const load_result r = read_model(path.c_str(), model_format{}, m);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message(), path + ": the file ends early while reading the room name (line 1)");
    std::remove(path.c_str());
}
