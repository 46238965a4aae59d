// Transforms and projection: face-order traversal (a shared vertex is
// transformed once per corner), quarter turns, angle wrap, set checks.
#include <gtest/gtest.h>

#include "globals.h"
#include "room.h"

namespace {

// Two faces sharing vertex 0 three times: (0, 1, 2), (0, 0, 3).
void two_faces(object& o) {
    o.allocate(5, 2, 5);
    const vertex v[5] = {{1, 2, 3, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {7, 7, 7, 0}};
    for (int i = 0; i < 5; ++i) o.verts[0][i] = v[i];
    o.faces[0] = face{{0, 1, 2}, {0, 0}};
    o.faces[1] = face{{0, 0, 3}, {0, 0}};
}

}  // namespace

TEST(R3dTransform, ScaleAndRotateWalkTheFacesCornerByCorner) {
    room r;  // fills the sine tables
    object o;
    two_faces(o);

    // in-place scale: vertex 0 is named by three corners, so it grows by 2^3
    o.scale(1, 1, 1, 0, 1);
    o.scale(2, 2, 2, 1, 1);
    EXPECT_FLOAT_EQ(o.verts[1][0].x, 8);
    EXPECT_FLOAT_EQ(o.verts[1][0].z, 24);
    EXPECT_FLOAT_EQ(o.verts[1][1].y, 2);
    EXPECT_FLOAT_EQ(o.verts[1][4].x, 0);  // named by no face: never written
    EXPECT_EQ(o.cur_face, 2);

    // angle 0 copies exactly; any other axis copies too
    o.rotate(2, 0, 0, 2);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(o.verts[2][k].x, o.verts[0][k].x);
        EXPECT_EQ(o.verts[2][k].z, o.verts[0][k].z);
    }
    o.rotate(5, 123, 0, 2);
    EXPECT_EQ(o.verts[2][0].y, 2.0f);

    // quarter turns (index 200)
    o.rotate(1, 200, 0, 1);  // about x: (0, 1, 0) -> (0, 0, 1)
    EXPECT_NEAR(o.verts[1][1].y, 0, 1e-3);
    EXPECT_NEAR(o.verts[1][1].z, 1, 1e-3);
    o.rotate(3, 200, 0, 1);  // about z: (1, 0, 0) -> (0, 1, 0)
    EXPECT_NEAR(o.verts[1][2].x, 0, 1e-3);
    EXPECT_NEAR(o.verts[1][2].y, 1, 1e-3);
    o.rotate(2, 200, 0, 1);  // about y: (0, 0, 1) -> (-1, 0, 0)
    EXPECT_NEAR(o.verts[1][3].x, -1, 1e-3);
    EXPECT_NEAR(o.verts[1][3].z, 0, 1e-3);
    EXPECT_EQ(o.cur_face, 2);

    // angles wrap modulo 1600, negative ones too; bad set numbers do nothing
    o.rotate(3, 200, 0, 1);
    const vertex ref = o.verts[1][2];
    o.rotate(3, 200 + 1600 * 3, 0, 1);
    EXPECT_EQ(o.verts[1][2].x, ref.x);
    o.rotate(3, 200 - 1600, 0, 1);
    EXPECT_EQ(o.verts[1][2].y, ref.y);
    o.verts[1][2].x = 42;
    o.rotate(3, 200, 0, 3);
    o.rotate(3, 200, -1, 1);
    o.scale(2, 2, 2, 7, 1);
    o.scale(2, 2, 2, 1, 3);
    o.scale(2, 2, 2, 1, -1);
    o.scale(2, 2, 2, -1, 1);
    EXPECT_EQ(o.verts[1][2].x, 42);
    // set 0 is a set like the others: turned in place, (x, y) -> (-y, x)
    const vertex first = o.verts[0][2];
    o.rotate(3, 200, 0, 0);
    EXPECT_NEAR(o.verts[0][2].x, -first.y, 1e-3);
    EXPECT_NEAR(o.verts[0][2].y, first.x, 1e-3);
    EXPECT_NE(first.x, first.y);
    // and scaled into from another set
    o.scale(3, 3, 3, 1, 0);
    EXPECT_FLOAT_EQ(o.verts[0][2].x, 3 * 42);
    EXPECT_FLOAT_EQ(o.verts[0][2].y, 3 * o.verts[1][2].y);

    // a mesh without faces is left unchanged
    object empty;
    empty.allocate(2, 0, 0);
    empty.scale(2, 2, 2, 0, 1);
    EXPECT_EQ(empty.cur_face, 0);
}

TEST(R3dTransform, ProjectionUsesWorldAndPositionOffsets) {
    object o;
    world_x = world_y = world_z = 0;
    screen_point p = o.project(vertex{0, 0, 0, 0});
    EXPECT_EQ(p.x, 320);
    EXPECT_EQ(p.y, 240);
    EXPECT_EQ(p.z, -10000);
    p = o.project(vertex{100, 0, 0, 0});
    EXPECT_EQ(p.x, 290);  // mirrored: 320 - 30
    o.pos_x = 50;
    world_x = 50;
    world_y = -100;
    p = o.project(vertex{0, 0, 0, 0});
    EXPECT_EQ(p.x, 290);
    EXPECT_EQ(p.y, 270);
    // Z = 0 divides by 0.001; huge results are clamped, never undefined
    o.pos_z = 10000;
    p = o.project(vertex{1, 1, 0, 0});
    EXPECT_EQ(p.z, 0);
    EXPECT_EQ(p.x, 303000000 + 320);  // (50 + 1 + 50) / 0.001 * 3000
    EXPECT_EQ(p.y, -297000000 + 240);
    world_x = world_y = 0;
    o.pos_x = 0;
    p = o.project(vertex{1e30f, -1e30f, 0, 0});
    EXPECT_EQ(p.x, 1000000000 + 320);
    EXPECT_EQ(p.y, -1000000000 + 240);
    world_z = 0;
}

TEST(R3dTransform, TurningIntoAnotherSetTurnsEachNamedVertexOnceAsTheCornerWalkDoes) {
    // A mesh sharing vertices, turned into another set, against the same
    // corners unshared (one vertex per corner) turned in place by the walk.
    room r;
    object shared, flat;
    shared.allocate(6, 4, 0);
    // vertex 0 is named by no face (nor by the faces' spare fields, all 0)
    const int idx[4][3] = {{5, 1, 2}, {2, 1, 3}, {3, 3, 5}, {4, 2, 5}};
    for (int k = 0; k < 6; ++k)
        shared.verts[0][k] = vertex{0.37f * k - 1.1f, 2.9f - 0.71f * k, 0.13f * k * k + 0.5f, 0};
    flat.allocate(12, 4, 0);
    for (int f = 0; f < 4; ++f) {
        shared.faces[f] = face{{idx[f][0], idx[f][1], idx[f][2]}, {0, 0}};
        flat.faces[f] = face{{3 * f, 3 * f + 1, 3 * f + 2}, {0, 0}};
        for (int k = 0; k < 3; ++k) flat.verts[1][3 * f + k] = shared.verts[0][idx[f][k]];
    }
    const vertex untouched{9, 9, 9, 9};
    for (int axis = 0; axis <= 3; ++axis) {
        shared.verts[2][0] = untouched;
        shared.rotate(axis, 333 + axis * 50, 0, 2);
        flat.rotate(axis, 333 + axis * 50, 1, 1);
        for (int f = 0; f < 4; ++f)
            for (int k = 0; k < 3; ++k) {
                const vertex& a = shared.verts[2][idx[f][k]];
                const vertex& b = flat.verts[1][3 * f + k];
                EXPECT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z) << "axis " << axis << " face " << f;
            }
        EXPECT_EQ(shared.verts[2][0].x, 9.0f);
        EXPECT_EQ(shared.verts[2][0].spare, 9.0f);
        EXPECT_EQ(shared.cur_face, 4);
        for (int i = 0; i < 9; ++i) EXPECT_EQ(shared.rot[i], flat.rot[i]) << i;
        for (int f = 0; f < 4; ++f)  // back to the unturned corners for the next axis
            for (int k = 0; k < 3; ++k) flat.verts[1][3 * f + k] = shared.verts[0][idx[f][k]];
    }

    // In place the walk still turns a vertex once per face naming it: three
    // faces (0, 0, 0) turn it three times, as three turns of one such face do.
    object thrice, once;
    thrice.allocate(1, 3, 0);
    once.allocate(1, 1, 0);
    for (int f = 0; f < 3; ++f) thrice.faces[f] = face{{0, 0, 0}, {0, 0}};
    once.faces[0] = face{{0, 0, 0}, {0, 0}};
    thrice.verts[1][0] = once.verts[1][0] = vertex{1.5f, -2.25f, 0.75f, 0};
    thrice.rotate(3, 77, 1, 1);
    for (int i = 0; i < 3; ++i) once.rotate(3, 77, 1, 1);
    EXPECT_EQ(thrice.verts[1][0].x, once.verts[1][0].x);
    EXPECT_EQ(thrice.verts[1][0].y, once.verts[1][0].y);
    EXPECT_NE(thrice.verts[1][0].x, 1.5f);
}
