// One flat mesh of a textured room: screen offsets from the picture's centre,
// a shared texture read through a key colour and an optional cross-fade, no
// depth buffer and no transforms. Owns its arrays, not the texture or target.
#pragma once

#include <SDL.h>

#include <vector>

#include "object.h"

struct face_2 {
    int v[3];     // vertex indices a, b, c
    int spare[4];
};

struct tex_face {
    int t[3];
};

class object_2 {
public:
    int cur_face = 0;
    screen_point p0{}, p1{}, p2{};
    int y_top = 0, y_bottom = 0;
    tex_coord t0{}, t1{}, t2{};
    int span_x = 0, span_y = 0;
    span_end* left = nullptr;   // per row: span start
    span_end* right = nullptr;  // per row: span end (exclusive)
    int span_x0 = 0, span_x1 = 0;
    Uint16* dst_pixels = nullptr;
    int dst_pitch = 0;
    Uint16* tex_pixels = nullptr;
    int tex_pitch = 0;
    char name[100] = {};
    int nr_faces = 0, nr_verts = 0, nr_tex = 0;
    int walk_x = 0, walk_y = 0;
    vertex* verts[nr_vertex_sets] = {};      // only set 0 is filled
    tex_coord* tex_coords[nr_tex_sets] = {};
    face_2* faces = nullptr;
    tex_face* tex_faces = nullptr;           // read and kept, not drawn
    SDL_Surface* target = nullptr;           // drawn into (not owned)
    SDL_Surface* tex_surface = nullptr;      // shared texture (owned by the room_2D)

    object_2();  // scan-line tables allocated, zeroed
    ~object_2();
    object_2(const object_2&) = delete;
    object_2& operator=(const object_2&) = delete;

    void allocate(int v, int f, int t, int g);

    // mode 1 dots, 2 wire frame, 3 filled: key colour transp_col, weight transp.
    void show(int mode, int vertex_set, int tex_set);

    void sort_verts();
    void calc_vector_left(long x1, long y1, long z1, long x2, long y2, long z2, long u_start,
                          long v_start, long u_end, long v_end);
    void calc_vector_right(long x1, long y1, long z1, long x2, long y2, long z2, long u_start,
                           long v_start, long u_end, long v_end);
    void plot_wire(long x1, long y1, long x2, long y2);

private:
    span_end* tables_ = nullptr;
    std::vector<const Uint16*> tex_rows_;  // during show: the texture's row starts
    void free_arrays();
};
