// object::show: projects a mesh and draws it into dest_surface as dots, a
// wire frame, or affine-textured triangles (opaque with the depth test, or
// cross-faded through pre_RGB_tab). Touches z_buffer and dest_surface only.
#include <algorithm>
#include <limits>

#include "globals.h"
#include "object.h"
#include "pixel.h"
#include "raster_core.h"

namespace {

// Opaque: a pixel is written, with the face depth, where the face is nearer
// than z_buffer (strictly) and the texel lies inside the texture.
struct opaque_px {
    object& o;
    int depth;
    unsigned umax, vmax;
    const Uint16* const* tex_rows;  // the texture's rows 0..vmax
    Uint16* drow = nullptr;
    // the target, taken from o once
    Uint16* dst_pixels = o.dst_pixels;
    std::ptrdiff_t dst_pitch = o.dst_pitch;
    int* zrow = nullptr;

    void row(int y) {
        drow = dst_pixels + y * dst_pitch;
        zrow = z_buffer + y * z_buffer_width;
    }
    // Whether texels up to (mu, mv), both >= 0, lie inside the texture.
    bool inside(int mu, int mv) const { return static_cast<unsigned>(mu) <= umax && static_cast<unsigned>(mv) <= vmax; }
    // Locals, not fields, inside the loop: the stores must not force reloads.
    // The loop counts a negative index up to 0 from the span's end, so it
    // keeps only two row pointers and the index in registers.
    // Inside: every texel read is known to lie in the texture.
    template <bool Inside, class Next>
    void span(int xa, int xb, Next next) {
        Uint16* const d = drow + xb;
        int* const z = zrow + xb;
        const Uint16* const* const tex = tex_rows;
        const int dep = depth;
        const unsigned um = umax, vm = vmax;
        for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(xa) - xb; i < 0; ++i) {
            const raster::coord c = next();
            if (dep > z[i] && (Inside || (static_cast<unsigned>(c.u) <= um && static_cast<unsigned>(c.v) <= vm))) {
                d[i] = tex[c.v][c.u];
                z[i] = dep;
            }
        }
    }
};

// Cross-fade, no depth test: per channel
//   out = pre_RGB_tab[s*31 + w] + pre_RGB_tab[d*31 + 30 - w]
// written as (r << 11) + (g << 6) + b, through the face weights' tables.
struct fade_px {
    object& o;
    const cross_fade& mix;
    unsigned umax, vmax;
    const Uint16* const* tex_rows;  // the texture's rows 0..vmax
    Uint16* drow = nullptr;
    // the target, taken from o once
    Uint16* dst_pixels = o.dst_pixels;
    std::ptrdiff_t dst_pitch = o.dst_pitch;

    void row(int y) { drow = dst_pixels + y * dst_pitch; }
    bool inside(int mu, int mv) const { return static_cast<unsigned>(mu) <= umax && static_cast<unsigned>(mv) <= vmax; }
    template <bool Inside, class Next>
    void span(int xa, int xb, Next next) {
        Uint16* const dr = drow + xb;
        const Uint16* const* const tex = tex_rows;
        const cross_fade& m = mix;
        const unsigned um = umax, vm = vmax;
        for (std::ptrdiff_t i = static_cast<std::ptrdiff_t>(xa) - xb; i < 0; ++i) {
            const raster::coord c = next();
            if (!Inside && (static_cast<unsigned>(c.u) > um || static_cast<unsigned>(c.v) > vm)) continue;
            dr[i] = m(tex[c.v][c.u], dr[i]);
        }
    }
};

inline int weight(unsigned short w) { return std::min<int>(w, 30); }

// face depth = trunc((z0 + z1 + z2) / 3), whatever order the corners come in
inline int face_depth(const screen_point& a, const screen_point& b, const screen_point& c) {
    return static_cast<int>((static_cast<long long>(a.z) + b.z + c.z) / 3);
}

}  // namespace

// Opaque faces are drawn nearest first: a pixel ends with the texel of the
// nearest face covering it (the first in face order among equally near
// ones, as the depth test is strict) whatever order the faces come in, so
// the order changes no pixel and no depth, but the faces behind fail the
// depth test before their texel is read and stored. A stable counting sort
// into 256 bands of depth: faces of one depth share a band and keep their
// face order.
void object::order_by_depth() {
    if (nr_faces <= 0) return;
    int lo = std::numeric_limits<int>::max(), hi = std::numeric_limits<int>::min();
    for (int k = 0; k < nr_faces; ++k) {
        const face& f = faces[k];
        const int d = face_depth(proj_[f.v[0]], proj_[f.v[1]], proj_[f.v[2]]);
        depth_[k] = d;
        lo = std::min(lo, d);
        hi = std::max(hi, d);
    }
    // band = (hi - d) * bands / range rounded down, by a multiply: with
    // scale = floor(bands * 2^32 / range), (hi - d) * scale < bands * 2^32
    // as hi - d < range, and its top bits never exceed the quotient
    constexpr int bands = 256;
    int start[bands + 1] = {};
    const unsigned long long range = static_cast<unsigned long long>(static_cast<long long>(hi) - lo) + 1;
    const unsigned long long scale = (static_cast<unsigned long long>(bands) << 32) / range;
    for (int k = 0; k < nr_faces; ++k) {
        const unsigned long long behind = static_cast<unsigned long long>(static_cast<long long>(hi) - depth_[k]);
        depth_[k] = static_cast<int>((behind * scale) >> 32);  // from here on the face's band
        ++start[depth_[k] + 1];
    }
    for (int b = 0; b < bands; ++b) start[b + 1] += start[b];
    for (int k = 0; k < nr_faces; ++k) order_[start[depth_[k]]++] = k;
}

void object::sort_verts() { raster::sort_corners(*this); }

void object::calc_vector_left(long x1, long y1, long, long x2, long y2, long, long u_start,
                              long v_start, long u_end, long v_end) {
    raster::walk_edge(*this, left, x1, y1, x2, y2, u_start, v_start, u_end, v_end);
}

void object::calc_vector_right(long x1, long y1, long, long x2, long y2, long, long u_start,
                               long v_start, long u_end, long v_end) {
    raster::walk_edge(*this, right, x1, y1, x2, y2, u_start, v_start, u_end, v_end);
}

void object::plot_wire(long x1, long y1, long x2, long y2) {
    if (!dst_pixels) return;
    const int w = std::min(raster::cols, dest_surface ? dest_surface->w : 0);
    const int h = std::min(raster::rows, dest_surface ? dest_surface->h : 0);
    raster::line(*this, x1, y1, x2, y2, w, h);
}

void object::show(int mode, int vertex_set, int tex_set, int blend, unsigned short w_red,
                  unsigned short w_green, unsigned short w_blue) {
    if (vertex_set < 0 || vertex_set >= nr_vertex_sets || tex_set < 0 || tex_set >= nr_tex_sets)
        return;
    if (!dest_surface) return;
    const vertex* vs = verts[vertex_set];
    const tex_coord* ts = tex_coords[tex_set];
    SDL_Surface* dst = dest_surface;
    SDL_Surface* tsurf = shared_tex ? shared_tex->surface : tex.surface;

    lock_surface(dst);
    dst_pixels = static_cast<Uint16*>(dst->pixels);
    dst_pitch = dst->pitch >> 1;
    if (tsurf) {
        lock_surface(tsurf);
        tex_pixels = static_cast<Uint16*>(tsurf->pixels);
        tex_pitch = tsurf->pitch >> 1;
    }
    const int w = std::min(raster::cols, dst->w);
    const int h = std::min(raster::rows, dst->h);
    // Texels are read inside the texture only, addressed with its own pitch.
    const int tw = tsurf ? std::min(raster::cols, tsurf->w) : 0;
    const int th = tsurf ? std::min(raster::rows, tsurf->h) : 0;
    auto on_screen = [w, h](const screen_point& p) { return p.x >= 0 && p.x < w && p.y >= 0 && p.y < h; };
    auto tex_at = [this, ts](int k) { return k < nr_tex ? ts[k] : tex_coord{0, 0}; };
    auto dot = [this, on_screen](int x, int y, Uint16 c) {
        if (on_screen(screen_point{x, y, 0}))
            dst_pixels[static_cast<std::ptrdiff_t>(y) * dst_pitch + x] = c;
    };

    // The cross-fade's tables, filled only when a face will use them.
    cross_fade mix;
    if (mode == 3 && tsurf && blend == 1) {
        const int wr = weight(w_red), wg = weight(w_green), wb = weight(w_blue);
        mix.set(wr, wg, wb, 30 - wr, 30 - wg, 30 - wb);
    }
    // The texture's row starts: a texel costs a load, not a multiply.
    const Uint16* tex_row[raster::rows];
    if (mode == 3)
        for (int r = 0; r < th; ++r) tex_row[r] = tex_pixels + static_cast<std::ptrdiff_t>(r) * tex_pitch;
    fade_px fade{*this, mix, static_cast<unsigned>(tw - 1), static_cast<unsigned>(th - 1), tex_row};
    opaque_px opaque{*this, 0, static_cast<unsigned>(tw - 1), static_cast<unsigned>(th - 1), tex_row};

    // The projection is a function of the vertex alone (the offsets do not
    // change while drawing): each vertex is projected once, not once per corner.
    project_all(vs);
    int z_lo = raster::rows, z_hi = 0;  // rows given depths, reported once at the end

    // opaque faces nearest first (the cross-fade has no depth test: its
    // faces keep their order)
    const bool ordered = mode == 3 && tsurf && blend != 1;
    if (ordered) order_by_depth();
    for (cur_face = 0; cur_face < nr_faces; ++cur_face) {
        const face& f = faces[ordered ? order_[cur_face] : cur_face];
        p0 = proj_[f.v[0]];
        p1 = proj_[f.v[1]];
        p2 = proj_[f.v[2]];
        if (mode == 1) {
            raster::corner_dots(*this, f.v, dot, tex_at);
        } else if (mode == 2) {
            raster::wire_edges(*this);
        } else if (mode == 3) {
            // a face with no corner on the screen is skipped
            if (!on_screen(p0) && !on_screen(p1) && !on_screen(p2)) continue;
            t0 = tex_at(f.v[0]);
            t1 = tex_at(f.v[1]);
            t2 = tex_at(f.v[2]);
            sort_verts();
            // Rows max(p0.y, 0) .. p2.y - 1 are the only ones the span pass
            // can visit. A face with none (all corners on one row, or on and
            // above row 0) draws nothing, and every later face writes the
            // table rows it reads itself: its walks are skipped too.
            if (p2.y <= std::max(p0.y, 0)) continue;
            y_top = p0.y;
            y_bottom = p2.y;
            raster::walk_face(*this);
            const int depth = face_depth(p0, p1, p2);
            if (!tsurf) {
                raster::spans(*this, raster::span_plus_hundredth, 0, 0, opaque);  // exchanges only, nothing drawn
            } else if (blend == 1) {
                raster::spans(*this, raster::span_plus_hundredth, w, h, fade);
            } else {
                opaque.depth = depth;
                // the rows the span pass can store depths in
                z_lo = std::min(z_lo, std::max(y_top, 0));
                z_hi = std::max(z_hi, std::min({y_bottom, raster::rows, h}));
                raster::spans(*this, raster::span_plus_hundredth, w, h, opaque);
            }
        }
    }

    z_buffer_touch(z_lo, z_hi);
    SDL_UnlockSurface(dst);
    if (tsurf) SDL_UnlockSurface(tsurf);
    dst_pixels = nullptr;
    tex_pixels = nullptr;
}
