// object_2::show: draws a flat mesh of the textured room into its target
// without perspective or depth: texels equal to transp_col are left out, the
// rest copied or cross-faded with weight transp. Touches only its target.
#include "object_2.h"

#include <algorithm>

#include "exact.h"
#include "globals.h"
#include "pixel.h"
#include "raster_core.h"

object_2::object_2() {
    tables_ = new span_end[2 * scan_rows]();
    left = tables_;
    right = tables_ + scan_rows;
}

object_2::~object_2() {
    free_arrays();
    delete[] tables_;
}

void object_2::free_arrays() {
    for (auto& v : verts) {
        delete[] v;
        v = nullptr;
    }
    for (auto& t : tex_coords) {
        delete[] t;
        t = nullptr;
    }
    delete[] faces;
    faces = nullptr;
    delete[] tex_faces;
    tex_faces = nullptr;
    nr_verts = nr_faces = nr_tex = 0;
}

void object_2::allocate(int v, int f, int t, int g) {
    free_arrays();
    v = std::max(v, 0), f = std::max(f, 0), t = std::max(t, 0), g = std::max(g, 0);
    for (auto& s : verts) s = new vertex[static_cast<size_t>(v)]();
    faces = new face_2[static_cast<size_t>(f)]();
    for (auto& s : tex_coords) s = new tex_coord[static_cast<size_t>(t)]();
    tex_faces = new tex_face[static_cast<size_t>(g)]();
    nr_verts = v, nr_faces = f, nr_tex = t;
}

void object_2::sort_verts() { raster::sort_corners(*this); }

void object_2::calc_vector_left(long x1, long y1, long, long x2, long y2, long, long u_start,
                                long v_start, long u_end, long v_end) {
    raster::walk_edge(*this, left, x1, y1, x2, y2, u_start, v_start, u_end, v_end);
}

void object_2::calc_vector_right(long x1, long y1, long, long x2, long y2, long, long u_start,
                                 long v_start, long u_end, long v_end) {
    raster::walk_edge(*this, right, x1, y1, x2, y2, u_start, v_start, u_end, v_end);
}

void object_2::plot_wire(long x1, long y1, long x2, long y2) {
    if (!dst_pixels || !target) return;
    raster::line(*this, x1, y1, x2, y2, std::min(raster::cols, target->w),
                 std::min(raster::rows, target->h));
}

namespace {

// Key colour, then copy (weight 0) or cross-fade with weight k = transp:
//   out = pre_RGB_tab[s*31 + k] + pre_RGB_tab[d*31 + 30 - k] (through the tables)
// Texel coordinates are clamped into the texture (u = 1 reads the last column).
struct room_px {
    object_2& o;
    Uint16 key;
    int k;
    int umax, vmax;
    const cross_fade& mix;  // weights k and 30 - k
    const Uint16* const* tex_rows;  // the texture's rows 0..vmax
    Uint16* drow = nullptr;
    // the target, taken from o once
    Uint16* dst_pixels = o.dst_pixels;
    std::ptrdiff_t dst_pitch = o.dst_pitch;

    void row(int y) { drow = dst_pixels + y * dst_pitch; }
    // Whether texels up to (mu, mv), both >= 0, need no clamping.
    bool inside(int mu, int mv) const { return mu <= umax && mv <= vmax; }
    template <bool Inside, class Next>
    void span(int xa, int xb, Next next) {
        Uint16* const dr = drow + xb;
        const Uint16* const* const tex = tex_rows;
        const cross_fade& m = mix;
        const int kk = k;
        for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(xa) - xb; i < 0; ++i) {
            const raster::coord c = next();
            const Uint16 s = Inside ? tex[c.v][c.u] : tex[std::clamp(c.v, 0, vmax)][std::clamp(c.u, 0, umax)];
            if (s == key) continue;
            dr[i] = kk == 0 ? s : m(s, dr[i]);
        }
    }
};

}  // namespace

void object_2::show(int mode, int vertex_set, int tex_set) {
    if (vertex_set < 0 || vertex_set >= nr_vertex_sets || tex_set < 0 || tex_set >= nr_tex_sets)
        return;
    if (!target) return;
    const vertex* vs = verts[vertex_set];
    const tex_coord* ts = tex_coords[tex_set];

    lock_surface(target);
    dst_pixels = static_cast<Uint16*>(target->pixels);
    dst_pitch = target->pitch >> 1;
    if (tex_surface) {
        lock_surface(tex_surface);
        tex_pixels = static_cast<Uint16*>(tex_surface->pixels);
        tex_pitch = tex_surface->pitch >> 1;
    }
    const int w = std::min(raster::cols, target->w);
    const int h = std::min(raster::rows, target->h);
    const bool has_tex = tex_surface && tex_surface->w > 0 && tex_surface->h > 0;
    const int k = std::clamp(transp, 0, 30);
    cross_fade mix;  // filled only when faces will blend
    if (mode == 3 && has_tex && k != 0) mix.set(k, k, k, 30 - k, 30 - k, 30 - k);
    // The texture's row starts: a texel costs a load, not a multiply.
    tex_rows_.clear();
    if (mode == 3 && has_tex)
        for (int r = 0; r < tex_surface->h; ++r)
            tex_rows_.push_back(tex_pixels + static_cast<std::ptrdiff_t>(r) * tex_pitch);
    room_px px{*this, transp_col, k, has_tex ? tex_surface->w - 1 : 0, has_tex ? tex_surface->h - 1 : 0, mix,
               tex_rows_.data()};
    auto dot = [this, w, h](int x, int y, Uint16 c) {
        if (x >= 0 && x < w && y >= 0 && y < h)
            dst_pixels[static_cast<std::ptrdiff_t>(y) * dst_pitch + x] = c;
    };
    auto tex_at = [this, ts](int k) { return k < nr_tex ? ts[k] : tex_coord{0, 0}; };
    // a vertex is a screen offset from the centre: (trunc(x) + 320, trunc(y) + 240, trunc(z))
    auto place = [](const vertex& v) {
        return screen_point{static_cast<int>(clamp_trunc(v.x, 1e9)) + 320,
                            static_cast<int>(clamp_trunc(v.y, 1e9)) + 240,
                            static_cast<int>(clamp_trunc(v.z, 1e9))};
    };

    for (cur_face = 0; cur_face < nr_faces; ++cur_face) {
        const face_2& f = faces[cur_face];
        p0 = place(vs[f.v[0]]);
        p1 = place(vs[f.v[1]]);
        p2 = place(vs[f.v[2]]);
        if (mode == 1) {
            raster::corner_dots(*this, f.v, dot, tex_at);
        } else if (mode == 2) {
            raster::wire_edges(*this);
        } else if (mode == 3) {
            // every face is walked, whatever its corners
            t0 = tex_at(f.v[0]);
            t1 = tex_at(f.v[1]);
            t2 = tex_at(f.v[2]);
            sort_verts();
            y_top = p0.y;
            y_bottom = p2.y;
            raster::walk_face(*this);
            // du = (right u - left u) / ((span_x1 - span_x0) - 0.0001)
            raster::spans(*this, raster::span_less_ten_thousandth, has_tex ? w : 0, h, px);
        }
    }

    SDL_UnlockSurface(target);
    if (tex_surface) SDL_UnlockSurface(tex_surface);
    dst_pixels = nullptr;
    tex_pixels = nullptr;
}
