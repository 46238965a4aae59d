// Checkpoints: the show's state at a scene's start as a payload and back,
// the program's and the data's identities, writing one at every scene's
// start, and choosing the one a start point restores.
#include "checkpoint.h"
#include "source_identity.h"

#include "clock.h"
#include "decode_image.h"
#include "display.h"
#include "globals.h"
#include "limiter.h"
#include "load_image.h"
#include "model_reader.h"
#include "pacing.h"
#include "printable.h"
#include "show_files.h"
#include "show_objects.h"
#include "show_run.h"
#include "show_timeline.h"
#include "sound_layer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>

namespace checkpoint {

namespace {

constexpr std::uint32_t end_mark = 0x4B43454Eu;  // "NECK": the payload's last word
constexpr std::uint32_t max_side = 2048;          // largest surface side a checkpoint holds
constexpr std::uint32_t max_items = 1u << 22;     // largest array of vertices, faces or points

// Every surface the state can point at, in a fixed order: the screen, the six
// bitmaps, the textures of nygris2, blob1 and rom2 object by object, the
// corner room's texture. `owner` is the bitmap holding it (null: the screen
// and the corner room's texture); `source` the picture file its pixels may
// still be (the one a bitmap was last loaded from, the corner room's
// picture), null when there is none.
struct surface_list {
    std::vector<SDL_Surface*> surfaces;
    std::vector<const bitmap*> owners;
    std::vector<const char*> sources;

    explicit surface_list(const show_objects& s) {
        add(screen, nullptr, nullptr);
        for (const bitmap* b : {&s.work, &s.picture, &s.backdrop, &s.overlay, &s.alt_backdrop, &s.light_sheet})
            add(b->surface, b, loaded_from(*b));
        for (const room* r : {&s.nygris2, &s.blob1, &s.rom2})
            for (int i = 0; i < r->nr_objects; ++i)
                add(r->objects[i].tex.surface, &r->objects[i].tex, loaded_from(r->objects[i].tex));
        add(s.corner_room.tex_surface, nullptr, show_files::bakgrunn7.path);
    }
    void add(SDL_Surface* sf, const bitmap* b, const char* source) {
        surfaces.push_back(sf);
        owners.push_back(b);
        sources.push_back(source);
    }
    // Index of the surface whose pixels start at p (or of the surface p), -1 for null.
    int find(const void* p) const {
        if (!p)
            return -1;
        for (size_t i = 0; i < surfaces.size(); ++i)
            if (surfaces[i] && (surfaces[i] == p || surfaces[i]->pixels == p))
                return static_cast<int>(i);
        return -2;
    }
    int find_bitmap(const bitmap* b) const {
        if (!b)
            return -1;
        for (size_t i = 0; i < owners.size(); ++i)
            if (owners[i] == b)
                return static_cast<int>(i);
        return -2;
    }
    SDL_Surface* at(int i) const { return i >= 0 && size_t(i) < surfaces.size() ? surfaces[size_t(i)] : nullptr; }
};

// The pixels of a 16-bit surface, row by row without padding.
std::vector<Uint16> pixels_of(SDL_Surface* sf) {
    std::vector<Uint16> out(static_cast<size_t>(sf->w) * static_cast<size_t>(sf->h));
    const auto* base = static_cast<const Uint8*>(sf->pixels);
    for (int y = 0; y < sf->h; ++y)
        std::memcpy(out.data() + size_t(y) * size_t(sf->w), base + size_t(y) * size_t(sf->pitch), size_t(sf->w) * 2);
    return out;
}

void set_pixels(SDL_Surface* sf, const Uint16* px) {
    auto* base = static_cast<Uint8*>(sf->pixels);
    for (int y = 0; y < sf->h; ++y)
        std::memcpy(base + size_t(y) * size_t(sf->pitch), px + size_t(y) * size_t(sf->w), size_t(sf->w) * 2);
}

std::uint64_t hash_of(const std::vector<Uint16>& px) { return fnv1a(px.data(), px.size() * 2); }

// A path of the show's data files, or nullptr.
const char* known_path(const std::string& p) {
    for (const show_files::file* f : show_files::all)
        if (p == f->path)
            return f->path;
    return nullptr;
}

// --- writing --------------------------------------------------------------

void put_rect(writer& w, const SDL_Rect& r) {
    w.i32(r.x), w.i32(r.y), w.i32(r.w), w.i32(r.h);
}
void put_point(writer& w, const screen_point& p) { w.i32(p.x), w.i32(p.y), w.i32(p.z); }
void put_tex(writer& w, const tex_coord& t) { w.i32(t.u), w.i32(t.v); }
void put_verts(writer& w, const vertex* v, int n) {
    for (int i = 0; i < n; ++i) w.f32(v[i].x), w.f32(v[i].y), w.f32(v[i].z), w.f32(v[i].spare);
}
void put_texs(writer& w, const tex_coord* t, int n) {
    for (int i = 0; i < n; ++i) put_tex(w, t[i]);
}

// The model files the rooms were read from, each parsed once per checkpoint
// (writing or reading): an object whose vertices as loaded, faces and first
// texture coordinates are still the file's is written as a reference to it.
struct model_cache {
    std::vector<std::pair<const char*, std::unique_ptr<parsed_model>>> models;
    // The file's objects; null when it cannot be read.
    const parsed_model* get(const char* path) {
        for (auto& [p, m] : models)
            if (p == path)
                return m.get();
        auto m = std::make_unique<parsed_model>();
        if (!read_model(path, model_format{}, *m))
            m.reset();
        models.emplace_back(path, std::move(m));
        return models.back().second.get();
    }
};

// Whether object o's set 0, faces and texture set 0 are object i of the model.
bool as_in_model(const object& o, const parsed_model* m, int i) {
    if (!m || i >= static_cast<int>(m->objects.size()))
        return false;
    const parsed_object& p = m->objects[size_t(i)];
    if (p.verts.size() != size_t(o.nr_verts) || p.faces.size() != size_t(o.nr_faces) ||
        p.tex.size() != size_t(o.nr_tex))
        return false;
    auto same = [](const auto* x, const auto* y, size_t n) { return n == 0 || std::memcmp(x, y, n * sizeof *x) == 0; };
    return same(p.verts.data(), o.verts[0], p.verts.size()) && same(p.faces.data(), o.faces, p.faces.size()) &&
           same(p.tex.data(), o.tex_coords[0], p.tex.size());
}

// What object and object_2 share; with `from_model` the vertex set 0 and
// texture set 0 are left out (the model file has them).
template <class O>
void put_common(writer& w, const O& o, bool from_model) {
    w.i32(o.cur_face);
    put_point(w, o.p0), put_point(w, o.p1), put_point(w, o.p2);
    w.i32(o.y_top), w.i32(o.y_bottom);
    put_tex(w, o.t0), put_tex(w, o.t1), put_tex(w, o.t2);
    w.i32(o.span_x), w.i32(o.span_y), w.i32(o.span_x0), w.i32(o.span_x1);
    w.raw(o.name, sizeof o.name);
    w.i32(o.walk_x), w.i32(o.walk_y);
    w.u32(static_cast<std::uint32_t>(o.nr_verts)), w.u32(static_cast<std::uint32_t>(o.nr_faces)),
        w.u32(static_cast<std::uint32_t>(o.nr_tex));
    w.u8(from_model ? 1 : 0);
    for (int k = from_model ? 1 : 0; k < nr_vertex_sets; ++k) put_verts(w, o.verts[k], o.nr_verts);
    for (int k = from_model ? 1 : 0; k < nr_tex_sets; ++k) put_texs(w, o.tex_coords[k], o.nr_tex);
}

bool put_room(writer& w, const room& r, const char* model_path, model_cache& models, const surface_list& sl,
              std::string& error) {
    w.i32(r.obj_index);
    w.raw(r.name, sizeof r.name);
    w.u32(static_cast<std::uint32_t>(r.nr_objects));
    const parsed_model* model = r.nr_objects > 0 ? models.get(model_path) : nullptr;
    for (int i = 0; i < r.nr_objects; ++i) {
        const object& o = r.objects[i];
        const bool from_model = as_in_model(o, model, i);
        put_common(w, o, from_model);
        for (float f : o.rot) w.f32(f);
        w.i32(o.pos_x), w.i32(o.pos_y), w.i32(o.pos_z);
        for (int f = 0; f < o.nr_faces && !from_model; ++f)
            for (int v : {o.faces[f].v[0], o.faces[f].v[1], o.faces[f].v[2], o.faces[f].spare[0], o.faces[f].spare[1]})
                w.i32(v);
        const int shared = sl.find_bitmap(o.shared_tex);
        if (shared < -1) {
            error = std::string("object ") + o.name + " draws with a texture the checkpoint cannot name";
            return false;
        }
        w.i32(shared);
    }
    return true;
}

void put_room_2d(writer& w, const room_2D& r, const surface_list& sl) {
    w.i32(r.obj_index);
    w.raw(r.name, sizeof r.name);
    w.u32(static_cast<std::uint32_t>(r.nr_objects));
    for (int i = 0; i < r.nr_objects; ++i) {
        const object_2& o = r.objects[i];
        put_common(w, o, false);
        for (int f = 0; f < o.nr_faces; ++f) {
            const face_2& fc = o.faces[f];
            for (int v : {fc.v[0], fc.v[1], fc.v[2], fc.spare[0], fc.spare[1], fc.spare[2], fc.spare[3]}) w.i32(v);
        }
        w.i32(sl.find(o.target));
        w.i32(sl.find(o.tex_surface));
    }
}

// A surface: its size and pixels as raw pixels (0), as the picture file they
// were loaded from (1), as the same pixels as an earlier surface (2), or
// left out (3: the screen and the work bitmap of a scene that draws them over
// before reading them; restored as black).
void put_surfaces(writer& w, const surface_list& sl, const bitmap* work, bool keep_drawn) {
    w.u32(static_cast<std::uint32_t>(sl.surfaces.size()));
    std::vector<std::vector<Uint16>> seen(sl.surfaces.size());
    std::map<std::string, std::uint64_t> file_hashes;  // each picture decoded once
    for (size_t i = 0; i < sl.surfaces.size(); ++i) {
        SDL_Surface* sf = sl.surfaces[i];
        const bitmap* b = sl.owners[i];
        if (b) {
            put_rect(w, b->src_rect);
            put_rect(w, b->dst_rect);
        }
        if (!sf) {
            w.u32(0), w.u32(0);
            continue;
        }
        w.u32(static_cast<std::uint32_t>(sf->w)), w.u32(static_cast<std::uint32_t>(sf->h));
        if (!keep_drawn && (i == 0 || (b && b == work))) {
            w.u8(3);
            continue;  // seen[i] stays empty: no later surface copies it
        }
        seen[i] = pixels_of(sf);
        const std::uint64_t h = hash_of(seen[i]);
        int same = -1;
        for (size_t j = 0; j < i && same < 0; ++j)
            if (!seen[j].empty() && sl.surfaces[j]->w == sf->w && sl.surfaces[j]->h == sf->h && seen[j] == seen[i])
                same = static_cast<int>(j);
        if (same >= 0) {
            w.u8(2), w.u32(static_cast<std::uint32_t>(same));
            continue;
        }
        const char* path = sl.sources[i];
        if (path && known_path(path)) {
            auto it = file_hashes.find(path);
            if (it == file_hashes.end()) {
                bitmap fresh;
                load_image(fresh, path);
                it = file_hashes.emplace(path, hash_of(pixels_of(fresh.surface))).first;
            }
            if (it->second == h) {
                w.u8(1), w.str(path), w.u64(h);
                continue;
            }
        }
        w.u8(0);
        w.raw(seen[i].data(), seen[i].size() * 2);
    }
}

// Whether two lights hold the same point list and runs (their extent
// follows from the runs).
bool same_points(const light& a, const light& b) {
    if (a.count != b.count || a.run_count != b.run_count)
        return false;
    const size_t n = size_t(a.count), k = size_t(a.run_count);
    auto same = [](const auto* x, const auto* y, size_t m) { return m == 0 || std::memcmp(x, y, m * sizeof *x) == 0; };
    return same(a.x_offsets.get(), b.x_offsets.get(), n) && same(a.y_offsets.get(), b.y_offsets.get(), n) &&
           same(a.colours.get(), b.colours.get(), n) && same(a.runs.get(), b.runs.get(), k);
}

// The show's pictures as loaded, each decoded once per checkpoint: the
// sprite sources a light may have been cut from (those whose role is a
// light's first).
struct picture_cache {
    std::vector<std::pair<const char*, std::unique_ptr<bitmap>>> pictures;
    std::vector<const char*> candidates() const {
        std::vector<const char*> out;
        for (bool lights : {true, false})
            for (const show_files::file* f : show_files::all)
                if (f->what == show_files::kind::picture &&
                    (std::string_view(f->role).find("light") != std::string_view::npos) == lights)
                    out.push_back(f->path);
        return out;
    }
    SDL_Surface* get(const char* path) {
        for (auto& [p, b] : pictures)
            if (p == path)
                return b->surface;
        pictures.emplace_back(path, std::make_unique<bitmap>());
        load_image(*pictures.back().second, path);
        return pictures.back().second->surface;
    }
};

void put_cut(writer& w, const light::cut_rect& c) {
    for (int v : {c.x0, c.y0, c.x1, c.y1, c.use_key}) w.i32(v);
    w.u16(c.key);
}

// A light: its target, then what makes its point list when cutting it again
// now gives the very same list: a surface of the list (1), or one of the
// show's pictures (2: the full-screen light's texmex.png, long gone from the
// bitmap it was cut from); or else the point list itself (0).
void put_light(writer& w, const light& l, const surface_list& sl, picture_cache& pictures) {
    w.i32(sl.find(l.target));
    const light::cut_rect& c = l.cut;
    light again;
    const int from = sl.find(c.source);
    if (from >= 0) {
        again.set_sprite(sl.at(from), c.x0, c.y0, c.x1, c.y1, c.key, c.use_key);
        if (same_points(l, again)) {
            w.u8(1), w.i32(from);
            put_cut(w, c);
            return;
        }
    }
    if (l.count > 0)
        for (const char* path : pictures.candidates()) {
            again.set_sprite(pictures.get(path), c.x0, c.y0, c.x1, c.y1, c.key, c.use_key);
            if (same_points(l, again)) {
                w.u8(2), w.str(path);
                put_cut(w, c);
                return;
            }
        }
    w.u8(0);
    w.u32(static_cast<std::uint32_t>(l.count));
    // Offsets as steps from the point before: runs of 1 and 0 pack small.
    int px = 0, py = 0;
    for (int i = 0; i < l.count; ++i) {
        w.i32(l.x_offsets[size_t(i)] - px), w.i32(l.y_offsets[size_t(i)] - py);
        px = l.x_offsets[size_t(i)], py = l.y_offsets[size_t(i)];
    }
    for (int i = 0; i < l.count; ++i) w.u16(l.colours[size_t(i)]);
    w.u32(static_cast<std::uint32_t>(l.run_count));
    for (int i = 0; i < l.run_count; ++i) {
        const light::run& r = l.runs[size_t(i)];
        w.i32(r.dx), w.i32(r.dy), w.i32(r.first), w.i32(r.length);
    }
    for (long long v : {l.left_dx, l.right_dx, l.top_dy, l.bottom_dy}) w.i64(v);
}

static_assert(std::is_trivially_copyable_v<flash::field_track>, "field tracks are copied as bytes");

static_assert(std::is_trivially_copyable_v<flash::run_track>, "run tracks are copied as bytes");

// A vector of tracks as its count and its bytes.
template <class Track>
void put_tracks(writer& w, const std::vector<Track>& tracks) {
    w.u32(static_cast<std::uint32_t>(tracks.size()));
    w.raw(tracks.data(), tracks.size() * sizeof(Track));
}

// A frame the limiter keeps: most often the screen's own pixels, when the
// checkpoint holds them, or the frame kept before it; else raw pixels.
void put_frame(writer& w, const std::vector<std::uint16_t>& frame, const std::vector<std::uint16_t>* screen_px,
               const std::vector<std::uint16_t>* earlier) {
    if (screen_px && frame == *screen_px) {
        w.u8(1);
    } else if (earlier && frame == *earlier) {
        w.u8(2);
    } else {
        w.u8(0);
        w.u32(static_cast<std::uint32_t>(frame.size()));
        w.raw(frame.data(), frame.size() * 2);
    }
}

// The limiter's history: both readings' last frame, frame count and tracks,
// and the count of limited frames (the rest of the limiter lasts one flip).
void put_limiter(writer& w, const flash::limiter* lim, const surface_list& sl, bool screen_kept) {
    w.u8(lim ? 1 : 0);
    if (!lim)
        return;
    const std::vector<Uint16> screen_px = sl.at(0) ? pixels_of(sl.at(0)) : std::vector<Uint16>{};
    const std::vector<Uint16>* screen = screen_kept && sl.at(0) ? &screen_px : nullptr;
    const flash::analysis::state first = lim->state().shown.save();
    put_frame(w, first.previous, screen, nullptr);
    w.i64(first.frames);
    put_tracks(w, first.general);
    put_tracks(w, first.red);
    const flash::cross_check::state cross = lim->state().cross.save();
    put_frame(w, cross.previous, screen, &first.previous);
    w.i64(cross.frames);
    put_tracks(w, cross.first_general);
    put_tracks(w, cross.first_red);
    put_tracks(w, cross.second_general);
    put_tracks(w, cross.second_red);
    w.i64(lim->state().limited);
}

void put_song(writer& w) {
    const sound_layer::saved_song s = sound_layer::save_song();
    w.u8(s.play_requested), w.u8(s.song_playing);
    w.u32(s.play_tick);
    w.i64(s.out_frame), w.i64(s.song_start), w.i64(s.last_audible), w.i64(s.ring_count);
    auto rec = [&](const sound_layer::saved_song::record& r) {
        w.i64(r.first), w.i32(r.frames), w.i32(r.order), w.i32(r.pattern), w.i32(r.row);
    };
    rec(s.initial);
    w.u32(static_cast<std::uint32_t>(s.ring.size()));
    for (const auto& r : s.ring) rec(r);
    w.u32(static_cast<std::uint32_t>(s.history.size()));
    for (float f : s.history) w.f32(f);
}

// --- reading --------------------------------------------------------------

SDL_Rect get_rect(reader& r) {
    SDL_Rect out;
    out.x = static_cast<Sint16>(r.i32("a rectangle"));
    out.y = static_cast<Sint16>(r.i32("a rectangle"));
    out.w = static_cast<Uint16>(r.i32("a rectangle"));
    out.h = static_cast<Uint16>(r.i32("a rectangle"));
    return out;
}
screen_point get_point(reader& r) {
    screen_point p;
    p.x = r.i32("a point"), p.y = r.i32("a point"), p.z = r.i32("a point");
    return p;
}
tex_coord get_tex(reader& r) {
    tex_coord t;
    t.u = r.i32("a texture coordinate"), t.v = r.i32("a texture coordinate");
    return t;
}

// The counts that size an object's arrays, checked before anything is allocated.
struct object_counts {
    std::uint32_t verts = 0, faces = 0, tex = 0;
    bool from_model = false;  // set 0, the faces and texture set 0 are the model file's
};

template <class O>
object_counts get_common_head(reader& r, O& o) {
    o.cur_face = r.i32("an object");
    o.p0 = get_point(r), o.p1 = get_point(r), o.p2 = get_point(r);
    o.y_top = r.i32("an object"), o.y_bottom = r.i32("an object");
    o.t0 = get_tex(r), o.t1 = get_tex(r), o.t2 = get_tex(r);
    o.span_x = r.i32("an object"), o.span_y = r.i32("an object");
    o.span_x0 = r.i32("an object"), o.span_x1 = r.i32("an object");
    r.raw(o.name, sizeof o.name, "an object's name");
    o.name[sizeof o.name - 1] = 0;
    o.walk_x = r.i32("an object"), o.walk_y = r.i32("an object");
    object_counts c;
    c.verts = r.u32("a vertex count");
    c.faces = r.u32("a face count");
    c.tex = r.u32("a texture coordinate count");
    const std::uint8_t from_model = r.u8("an object's source");
    if (r.ok() && from_model > 1)
        r.fail("an object's source is neither the checkpoint nor the model file");
    c.from_model = from_model == 1;
    // Each vertex is 16 bytes in each of three sets, each coordinate 8 in
    // two, each face at least 20: all of them must still be in the file
    // (but for set 0, the faces and texture set 0 of an object from its model).
    const std::uint64_t sets = c.from_model ? 2 : 3, tex_sets = c.from_model ? 1 : 2,
                        face_bytes = c.from_model ? 0 : 20;
    if (r.ok() && (c.verts > max_items || c.faces > max_items || c.tex > max_items ||
                   std::uint64_t{c.verts} * 16 * sets + std::uint64_t{c.tex} * 8 * tex_sets +
                           std::uint64_t{c.faces} * face_bytes >
                       r.left()))
        r.fail("an object with more vertices, faces or texture coordinates than the file holds");
    return c;
}

template <class O>
void get_common_arrays(reader& r, O& o, bool from_model) {
    for (int k = from_model ? 1 : 0; k < nr_vertex_sets; ++k)
        for (int i = 0; i < o.nr_verts; ++i) {
            vertex& v = o.verts[k][i];
            v.x = r.f32("a vertex"), v.y = r.f32("a vertex"), v.z = r.f32("a vertex"), v.spare = r.f32("a vertex");
        }
    for (int k = from_model ? 1 : 0; k < nr_tex_sets; ++k)
        for (int i = 0; i < o.nr_tex; ++i) o.tex_coords[k][i] = get_tex(r);
}

// Face corners name vertices of the object.
bool corners_ok(const int* v, int nr_verts) {
    for (int k = 0; k < 3; ++k)
        if (v[k] < 0 || v[k] >= nr_verts)
            return false;
    return true;
}

// Restores the room's objects; the shared textures' bitmap indices go to `shared`.
// A room's index, name and object count; its object array sized to the
// count (kept when it already is). `what`: "a room" or "a flat room".
template <class Room, class Object>
std::uint32_t get_room_head(reader& r, Room& rm, const std::string& what) {
    rm.obj_index = r.i32(what.c_str());
    r.raw(rm.name, sizeof rm.name, (what + "'s name").c_str());
    rm.name[sizeof rm.name - 1] = 0;
    const std::uint32_t n = r.count((what + "'s objects").c_str(), 1000, 1);
    if (!r.ok())
        return 0;
    if (static_cast<int>(n) != rm.nr_objects) {
        delete[] rm.objects;
        rm.objects = n ? new Object[n] : nullptr;
        rm.nr_objects = static_cast<int>(n);
    }
    return n;
}

void get_room(reader& r, room& rm, const char* model_path, model_cache& models, std::vector<int>& shared) {
    const std::uint32_t n = get_room_head<room, object>(r, rm, "a room");
    for (std::uint32_t i = 0; i < n && r.ok(); ++i) {
        object& o = rm.objects[i];
        const object_counts c = get_common_head(r, o);
        if (!r.ok())
            return;
        const parsed_object* p = nullptr;
        if (c.from_model) {
            const parsed_model* m = models.get(model_path);
            if (!m) {
                r.fail(std::string("the model file ") + model_path + " cannot be read");
                return;
            }
            if (i >= m->objects.size()) {
                r.fail(std::string("an object that ") + model_path + " does not hold");
                return;
            }
            p = &m->objects[i];
            if (p->verts.size() != c.verts || p->faces.size() != c.faces || p->tex.size() != c.tex) {
                r.fail(std::string("an object whose counts are not those of ") + model_path);
                return;
            }
        }
        o.allocate(static_cast<int>(c.verts), static_cast<int>(c.faces), static_cast<int>(c.tex));
        if (p) {
            std::copy(p->verts.begin(), p->verts.end(), o.verts[0]);
            std::copy(p->faces.begin(), p->faces.end(), o.faces);
            std::copy(p->tex.begin(), p->tex.end(), o.tex_coords[0]);
        }
        get_common_arrays(r, o, c.from_model);
        for (float& f : o.rot) f = r.f32("an object's turn");
        o.pos_x = r.i32("a position"), o.pos_y = r.i32("a position"), o.pos_z = r.i32("a position");
        for (int f = 0; f < o.nr_faces && r.ok() && !c.from_model; ++f) {
            face& fc = o.faces[f];
            for (int* v : {&fc.v[0], &fc.v[1], &fc.v[2], &fc.spare[0], &fc.spare[1]}) *v = r.i32("a face");
            if (r.ok() && !corners_ok(fc.v, o.nr_verts))
                r.fail("a face names a vertex the object does not have");
        }
        shared.push_back(r.i32("a shared texture"));
    }
}

void get_room_2d(reader& r, room_2D& rm, std::vector<std::pair<int, int>>& links) {
    const std::uint32_t n = get_room_head<room_2D, object_2>(r, rm, "a flat room");
    for (std::uint32_t i = 0; i < n && r.ok(); ++i) {
        object_2& o = rm.objects[i];
        const object_counts c = get_common_head(r, o);
        if (r.ok() && c.from_model)
            r.fail("a flat room's object from a model file");
        if (!r.ok())
            return;
        // The texture faces are read from the model and kept, never drawn.
        o.allocate(static_cast<int>(c.verts), static_cast<int>(c.faces), static_cast<int>(c.tex), 0);
        get_common_arrays(r, o, false);
        for (int f = 0; f < o.nr_faces && r.ok(); ++f) {
            face_2& fc = o.faces[f];
            for (int* v : {&fc.v[0], &fc.v[1], &fc.v[2], &fc.spare[0], &fc.spare[1], &fc.spare[2], &fc.spare[3]})
                *v = r.i32("a face");
            if (r.ok() && !corners_ok(fc.v, o.nr_verts))
                r.fail("a face names a vertex the flat room's object does not have");
        }
        const int target = r.i32("a surface index"), tex = r.i32("a surface index");
        links.emplace_back(target, tex);
    }
}

// A surface of the right size for entry i: the bitmap's own (replaced when
// the size differs), the screen (which must have it), the corner room's
// texture (made when missing).
SDL_Surface* sized(surface_list& sl, size_t i, show_objects& s, int w, int h, std::string& error) {
    SDL_Surface* sf = sl.surfaces[i];
    if (sf && sf->w == w && sf->h == h)
        return sf;
    if (i == 0) {
        error = "the screen is " + std::to_string(sf ? sf->w : 0) + "x" + std::to_string(sf ? sf->h : 0) +
                ", the checkpoint's " + std::to_string(w) + "x" + std::to_string(h);
        return nullptr;
    }
    SDL_Surface* fresh = new_surface16(w, h);
    if (!fresh) {
        error = "no surface of " + std::to_string(w) + "x" + std::to_string(h);
        return nullptr;
    }
    if (const bitmap* b = sl.owners[i]) {
        const_cast<bitmap*>(b)->replace_surface(fresh);
    } else {
        if (s.corner_room.tex_surface)
            SDL_FreeSurface(s.corner_room.tex_surface);
        s.corner_room.tex_surface = fresh;
    }
    sl.surfaces[i] = fresh;
    return fresh;
}

bool get_surfaces(reader& r, surface_list& sl, show_objects& s, std::string& error) {
    const std::uint32_t n = r.u32("the surface count");
    if (r.ok() && n != sl.surfaces.size()) {
        r.fail("the checkpoint holds " + std::to_string(n) + " surfaces, the show's objects " +
               std::to_string(sl.surfaces.size()));
        return false;
    }
    std::vector<Uint16> px;
    for (size_t i = 0; i < n && r.ok(); ++i) {
        SDL_Rect src{}, dst{};
        if (sl.owners[i]) {
            src = get_rect(r);
            dst = get_rect(r);
        }
        const std::uint32_t w = r.u32("a surface's width"), h = r.u32("a surface's height");
        if (!r.ok())
            return false;
        if (w > max_side || h > max_side || (w == 0) != (h == 0)) {
            r.fail("a surface of " + std::to_string(w) + "x" + std::to_string(h));
            return false;
        }
        if (w == 0) {
            if (sl.surfaces[i]) {
                r.fail("surface " + std::to_string(i) + " is missing in the checkpoint");
                return false;
            }
            continue;
        }
        SDL_Surface* sf = sized(sl, i, s, static_cast<int>(w), static_cast<int>(h), error);
        if (!sf)
            return false;
        const std::uint8_t kind = r.u8("a surface's kind");
        if (kind == 2) {
            const std::uint32_t j = r.u32("a surface index");
            SDL_Surface* other = r.ok() && j < i ? sl.surfaces[j] : nullptr;
            if (!other || other->w != sf->w || other->h != sf->h) {
                r.fail("a surface copies one that is not there");
                return false;
            }
            px = pixels_of(other);
            set_pixels(sf, px.data());
        } else if (kind == 1) {
            const std::string path = r.str("a picture's path");
            const std::uint64_t want = r.u64("a picture's hash");
            const char* known = known_path(path);
            if (!r.ok())
                return false;
            if (!known) {
                r.fail("a picture the show does not have: " + printable(path));
                return false;
            }
            SDL_Surface* got = nullptr;
            bitmap fresh;
            if (sl.owners[i]) {  // the bitmap loads it as the show does
                bitmap* b = const_cast<bitmap*>(sl.owners[i]);
                load_image(*b, known);
                got = sl.surfaces[i] = b->surface;
            } else {  // into the surface in place
                load_image(fresh, known);
                if (fresh.surface && fresh.surface->w == int(w) && fresh.surface->h == int(h)) {
                    px = pixels_of(fresh.surface);
                    set_pixels(sf, px.data());
                    got = sf;
                }
            }
            if (!got || got->w != int(w) || got->h != int(h) || hash_of(pixels_of(got)) != want) {
                error = std::string(known) + " is not the picture the checkpoint was made with";
                return false;
            }
        } else if (kind == 0) {
            px.resize(size_t(w) * size_t(h));
            if (!r.raw(px.data(), px.size() * 2, "a surface's pixels"))
                return false;
            set_pixels(sf, px.data());
        } else if (kind == 3 && (i == 0 || sl.owners[i] == &s.work)) {
            px.assign(size_t(w) * size_t(h), 0);
            set_pixels(sf, px.data());
        } else {
            r.fail("a surface of unknown kind " + std::to_string(kind));
            return false;
        }
        if (const bitmap* b = sl.owners[i]) {
            const_cast<bitmap*>(b)->src_rect = src;
            const_cast<bitmap*>(b)->dst_rect = dst;
        }
    }
    return r.ok();
}

void get_light(reader& r, light& l, const surface_list& sl) {
    l.target = sl.at(r.i32("a light's target"));
    const std::uint8_t kind = r.u8("a light's kind");
    if (r.ok() && kind > 2)
        r.fail("a light of unknown kind " + std::to_string(kind));
    if (!r.ok())
        return;
    if (kind != 0) {
        SDL_Surface* from = nullptr;
        const char* picture = nullptr;
        if (kind == 1)
            from = sl.at(r.i32("a light's source"));
        else
            picture = known_path(r.str("a light's picture"));
        int v[5];
        for (int& x : v) x = r.i32("a light's cut");
        const unsigned short key = r.u16("a light's key");
        bitmap held;
        if (r.ok() && picture) {
            load_image(held, picture);
            from = held.surface;
        }
        if (r.ok() && !from)
            r.fail(kind == 1 ? "a light cut from a surface that is not there" : "a light cut from no picture of the show");
        if (!r.ok())
            return;
        l.set_sprite(from, v[0], v[1], v[2], v[3], key, v[4]);
        if (picture)
            l.cut.source = nullptr;  // the picture goes with `held`
        return;
    }
    l.cut = {};
    const std::uint32_t n = r.count("a light's points", max_items, 10);
    if (!r.ok())
        return;
    l.x_offsets.reset(new int[n]);
    l.y_offsets.reset(new int[n]);
    l.colours.reset(new Uint16[n]);
    l.count = static_cast<int>(n);
    int px = 0, py = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        px += r.i32("a light's point"), py += r.i32("a light's point");
        l.x_offsets[i] = px, l.y_offsets[i] = py;
    }
    for (std::uint32_t i = 0; i < n; ++i) l.colours[i] = r.u16("a light's colour");
    const std::uint32_t runs = r.count("a light's runs", max_items, 16);
    if (!r.ok()) {
        l.count = 0;
        return;
    }
    l.runs.reset(new light::run[runs]);
    l.run_count = static_cast<int>(runs);
    for (std::uint32_t i = 0; i < runs; ++i) {
        light::run& rn = l.runs[i];
        rn.dx = r.i32("a run"), rn.dy = r.i32("a run"), rn.first = r.i32("a run"), rn.length = r.i32("a run");
        // A run's points lie in the list.
        if (r.ok() && (rn.first < 0 || rn.length < 0 || static_cast<std::uint32_t>(rn.first) > n ||
                       static_cast<std::uint32_t>(rn.length) > n - static_cast<std::uint32_t>(rn.first)))
            r.fail("a light's run lies outside its points");
    }
    l.left_dx = r.i64("a light's extent"), l.right_dx = r.i64("a light's extent");
    l.top_dy = r.i64("a light's extent"), l.bottom_dy = r.i64("a light's extent");
    l.forget_replacements();
    if (!r.ok())
        l.count = 0, l.run_count = 0;
}

template <class Track>
void get_tracks(reader& r, std::vector<Track>& tracks, int step) {
    const std::uint32_t k = r.count("the limiter's fields", 1024, sizeof(Track));
    tracks.assign(k, Track(step));
    r.raw(tracks.data(), size_t(k) * sizeof(Track), "the limiter's fields");
}

void get_frame(reader& r, std::vector<std::uint16_t>& frame, const surface_list& sl,
               const std::vector<std::uint16_t>* earlier) {
    const std::uint8_t kind = r.u8("the limiter's frame kind");
    if (!r.ok())
        return;
    if (kind == 1 && sl.at(0)) {
        frame = pixels_of(sl.at(0));
        return;
    }
    if (kind == 2 && earlier) {
        frame = *earlier;
        return;
    }
    if (kind != 0) {
        r.fail("a limiter's frame of unknown kind " + std::to_string(kind));
        return;
    }
    const std::uint32_t n = r.count("the limiter's last frame", max_side * max_side, 2);
    frame.resize(n);
    r.raw(frame.data(), size_t(n) * 2, "the limiter's last frame");
}

// Reads the limiter's history into *h (a copy of the run's limiter's, which
// the caller restores; nullptr when the run has none); the readings check every track they take back.
bool get_limiter(reader& r, const flash::limiter* lim, flash::limiter::history* h, const surface_list& sl,
                 std::string& error) {
    const std::uint8_t has = r.u8("the limiter's flag");
    if (!r.ok())
        return false;
    if ((has != 0) != (lim != nullptr)) {
        error = has ? "the checkpoint is of a gentle run" : "the checkpoint is not of a gentle run";
        return false;
    }
    if (!has)
        return true;
    flash::analysis::state first;
    get_frame(r, first.previous, sl, nullptr);
    first.frames = static_cast<long>(r.i64("the limiter's frame count"));
    get_tracks(r, first.general, flash::lum_step);
    get_tracks(r, first.red, flash::red_step);
    flash::cross_check::state cross;
    get_frame(r, cross.previous, sl, &first.previous);
    cross.frames = static_cast<long>(r.i64("the limiter's frame count"));
    get_tracks(r, cross.first_general, flash::lum_step);
    get_tracks(r, cross.first_red, flash::red_step);
    get_tracks(r, cross.second_general, flash::lum_step);
    get_tracks(r, cross.second_red, flash::red_step);
    const long limited = static_cast<long>(r.i64("the limited frames"));
    if (!r.ok())
        return false;
    if (limited < 0 || !h->shown.restore(first) || !h->cross.restore(cross))
        return error = "the limiter's state does not fit this run", false;
    h->limited = limited;
    return true;
}

bool get_song(reader& r, sound_layer::saved_song& s) {
    s.play_requested = r.u8("the song's state") != 0;
    s.song_playing = r.u8("the song's state") != 0;
    s.play_tick = r.u32("the song's play tick");
    s.out_frame = r.i64("the song's frames"), s.song_start = r.i64("the song's frames");
    s.last_audible = r.i64("the song's frames"), s.ring_count = r.i64("the song's frames");
    auto rec = [&]() {
        sound_layer::saved_song::record x;
        x.first = r.i64("a song position"), x.frames = r.i32("a song position"), x.order = r.i32("a song position");
        x.pattern = r.i32("a song position"), x.row = r.i32("a song position");
        return x;
    };
    s.initial = rec();
    const std::uint32_t n = r.count("the song's positions", 1 << 16, 24);
    for (std::uint32_t i = 0; i < n && r.ok(); ++i) s.ring.push_back(rec());
    const std::uint32_t h = r.count("the song's history", 1 << 20, 4);
    s.history.resize(h);
    for (float& f : s.history) f = r.f32("the song's history");
    return r.ok();
}

// The ticks and sample positions that depend on when the run's clock began
// (the song's positions are counted from its start and stay).
void shift_song(sound_layer::saved_song& s, std::int32_t ms) {
    const std::int64_t frames = std::int64_t{ms} * sound_layer::rate / 1000;
    s.play_tick += static_cast<Uint32>(ms);
    s.out_frame += frames;
    s.last_audible += frames;
    if (s.song_start >= 0)
        s.song_start += frames;
}

void shift_ticks(flash::limiter::history& h, std::int32_t ms) {
    flash::analysis::state first = h.shown.save();
    flash::cross_check::state cross = h.cross.save();
    for (auto* tracks : {&first.general, &first.red, &cross.first_general, &cross.first_red})
        for (flash::field_track& t : *tracks) t.shift_ticks(ms);
    for (auto* tracks : {&cross.second_general, &cross.second_red})
        for (flash::run_track& t : *tracks) t.shift_ticks(ms);
    h.shown.restore(first);
    h.cross.restore(cross);
}

}  // namespace

plan& current_plan() {
    static plan p;
    return p;
}

std::uint64_t program_identity() {
    return OSTRA_SOURCE_IDENTITY;
}

namespace {

// The most a data file of this kind may hold: what its loader takes.
std::uintmax_t largest_file(show_files::kind k) {
    switch (k) {
    case show_files::kind::picture: return static_cast<std::uintmax_t>(max_picture_file_bytes);
    case show_files::kind::song: return sound_layer::max_song_bytes;
    default: return static_cast<std::uintmax_t>(max_model_bytes);
    }
}

}  // namespace

std::uint64_t data_identity() {
    std::uint64_t h = fnv1a("data", 4);
    char buf[65536];
    for (const show_files::file* file : show_files::all) {
        h = fnv1a(file->path, std::strlen(file->path) + 1, h);
        // Only regular files no larger than their loaders take are read: a
        // file the data check refuses costs no hashing of its bytes.
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file->path, ec))
            return 0;
        const std::uintmax_t size = std::filesystem::file_size(file->path, ec);
        if (ec || size > largest_file(file->what))
            return 0;
        std::ifstream f(file->path, std::ios::binary);
        if (!f)
            return 0;
        while (f && f.read(buf, sizeof buf).gcount() > 0) h = fnv1a(buf, static_cast<size_t>(f.gcount()), h);
    }
    return h;
}

std::uint64_t song_cache_key(std::uint64_t data) {
    const std::uint64_t ids[2] = {program_identity(), data};
    return fnv1a(ids, sizeof ids, fnv1a("song", 4));
}

std::string file_name(int scene, bool gentle, bool settle) {
    const char* name = scene >= 0 && scene < show_timeline::scene_count ? show_timeline::scenes[scene].name : "none";
    return std::string(name) + (gentle ? "-gentle" : "") + (settle ? "" : "-w") + ".ockp";
}

bool capture(const show_objects& s, const flash::limiter* limiter, std::vector<std::uint8_t>& out,
             std::string& error, bool keep_drawn) {
    const surface_list sl(s);
    writer w;
    const control& c = s.ctl;
    w.i32(c.quit), w.u32(c.music_start), w.u32(c.frame_start), w.u8(c.scene_done);
    w.u8(static_cast<std::uint8_t>(c.next_row));
    w.u8(s.blob_stretch_over);
    w.i32(world_x), w.i32(world_y), w.i32(world_z), w.u16(transp_col), w.i32(transp);
    w.i32(sl.find(dest_surface));
    model_cache models;
    if (!put_room(w, s.nygris2, show_files::nygris2.path, models, sl, error) ||
        !put_room(w, s.blob1, show_files::blob1.path, models, sl, error) ||
        !put_room(w, s.rom2, show_files::rom2.path, models, sl, error))
        return false;
    put_room_2d(w, s.corner_room, sl);
    put_surfaces(w, sl, &s.work, keep_drawn);
    // Effects.
    const fade& f = s.fader;
    w.i32(sl.find(f.target)), w.i32(sl.find(f.source)), w.i32(f.map_index);
    for (const int* m : {f.red_map, f.green_map, f.blue_map})
        for (int k = 0; k < 32; ++k) w.i32(m[k]);
    w.i32(f.x0), w.i32(f.y0), w.i32(f.x1), w.i32(f.y1);
    // The ripple keeps the title's last card as its source after the beat
    // scene loads another picture into that bitmap (its surface is freed);
    // nothing draws the ripple again, so a source that names no surface
    // comes back as none.
    const int ripple_source = std::max(sl.find(s.ripple.source), -1);
    w.i32(ripple_source), w.i32(sl.find(s.ripple.destination)), w.u16(s.ripple.key), w.i32(s.ripple.shift);
    w.i32(sl.find(s.flames.target_pixels));
    for (Uint16 p : s.flames.palette) w.u16(p);
    const scope& sc = s.spectrum;
    w.i32(sl.find(sc.target)), w.i32(sc.column_offset), w.i32(sc.base_row), w.i32(sc.scale), w.u16(sc.colour);
    w.i32(sc.colour_r), w.i32(sc.colour_g), w.i32(sc.colour_b), w.i32(sc.bar_height), w.i32(sc.last_column);
    w.f32(sc.index_step);
    picture_cache pictures;
    for (const light* l : {&s.sheet_light[0], &s.sheet_light[1], &s.sheet_light[2], &s.sheet_light[3], &s.full_light,
                           &s.overlay_light})
        put_light(w, *l, sl, pictures);
    // The depths, unless the scene clears them before it reads them.
    w.u8(keep_drawn ? 1 : 0);
    if (keep_drawn)
        w.raw(z_buffer, sizeof z_buffer);
    put_limiter(w, limiter, sl, keep_drawn);
    put_song(w);
    w.u32(end_mark);
    // Every pointer of the state must name a surface of the list.
    for (int id : {sl.find(dest_surface), sl.find(f.target), sl.find(f.source), sl.find(s.ripple.destination),
                   sl.find(s.flames.target_pixels), sl.find(sc.target)})
        if (id < -1) {
            error = "the state points at a surface the checkpoint cannot name";
            return false;
        }
    out = std::move(w.bytes());
    return true;
}

bool apply(show_objects& s, flash::limiter* limiter, const std::vector<std::uint8_t>& payload, std::string& error,
           std::int32_t shift_ms) {
    error.clear();
    reader r(payload.data(), payload.size());
    auto failed = [&]() {
        if (error.empty())
            error = r.ok() ? "the checkpoint does not fit" : r.error();
        return false;
    };
    control& c = s.ctl;
    c.quit = r.i32("the control variables");
    c.music_start = r.u32("the control variables");
    c.frame_start = r.u32("the control variables") + static_cast<Uint32>(shift_ms);
    c.scene_done = r.u8("the control variables");
    c.next_row = static_cast<signed char>(r.u8("the control variables"));
    s.blob_stretch_over = r.u8("the blob's flag");
    world_x = r.i32("the world offset"), world_y = r.i32("the world offset"), world_z = r.i32("the world offset");
    transp_col = r.u16("the key colour");
    transp = r.i32("the room's weight");
    const int dest = r.i32("the drawing target");
    std::vector<int> shared;
    model_cache models;
    get_room(r, s.nygris2, show_files::nygris2.path, models, shared);
    get_room(r, s.blob1, show_files::blob1.path, models, shared);
    get_room(r, s.rom2, show_files::rom2.path, models, shared);
    std::vector<std::pair<int, int>> links;
    get_room_2d(r, s.corner_room, links);
    if (!r.ok())
        return failed();
    surface_list sl(s);
    if (!get_surfaces(r, sl, s, error))
        return failed();
    // Pointers, now that every surface is in place.
    size_t k = 0;
    for (room* rm : {&s.nygris2, &s.blob1, &s.rom2})
        for (int i = 0; i < rm->nr_objects; ++i, ++k) {
            const int id = shared[k];
            rm->objects[i].shared_tex = id >= 0 && size_t(id) < sl.owners.size() ? sl.owners[size_t(id)] : nullptr;
            if (id >= 0 && !rm->objects[i].shared_tex)
                return error = "an object shares a texture that is not there", false;
        }
    for (int i = 0; i < s.corner_room.nr_objects; ++i) {
        s.corner_room.objects[i].target = sl.at(links[size_t(i)].first);
        s.corner_room.objects[i].tex_surface = sl.at(links[size_t(i)].second);
    }
    dest_surface = sl.at(dest);
    fade& f = s.fader;
    f.target = sl.at(r.i32("the fade")), f.source = sl.at(r.i32("the fade")), f.map_index = r.i32("the fade");
    for (int* m : {f.red_map, f.green_map, f.blue_map})
        for (int i = 0; i < 32; ++i) m[i] = r.i32("a level map");
    f.x0 = r.i32("the fade"), f.y0 = r.i32("the fade"), f.x1 = r.i32("the fade"), f.y1 = r.i32("the fade");
    s.ripple.source = sl.at(r.i32("the ripple")), s.ripple.destination = sl.at(r.i32("the ripple"));
    s.ripple.key = r.u16("the ripple"), s.ripple.shift = r.i32("the ripple");
    if (SDL_Surface* t = sl.at(r.i32("the flame's target")))
        s.flames.set_target(t);
    else
        s.flames.target_pixels = nullptr, s.flames.target_width = s.flames.target_height = 0;
    for (Uint16& p : s.flames.palette) p = r.u16("the flame's palette");
    scope& sc = s.spectrum;
    sc.target = sl.at(r.i32("the scope")), sc.column_offset = r.i32("the scope"), sc.base_row = r.i32("the scope");
    sc.scale = r.i32("the scope"), sc.colour = r.u16("the scope"), sc.colour_r = r.i32("the scope");
    sc.colour_g = r.i32("the scope"), sc.colour_b = r.i32("the scope"), sc.bar_height = r.i32("the scope");
    sc.last_column = r.i32("the scope"), sc.index_step = r.f32("the scope");
    if (r.ok() && (sc.last_column < -1 || sc.last_column > 639 || !(sc.index_step >= 0.0f && sc.index_step <= 1.0f)))
        r.fail("the scope's columns out of range");
    for (light* l : {&s.sheet_light[0], &s.sheet_light[1], &s.sheet_light[2], &s.sheet_light[3], &s.full_light,
                     &s.overlay_light})
        get_light(r, *l, sl);
    const std::uint8_t depths = r.u8("the depth buffer's flag");
    if (r.ok() && depths > 1)
        r.fail("a depth buffer neither kept nor cleared");
    z_buffer_touch(0, z_buffer_height);
    if (depths == 1)
        r.raw(z_buffer, sizeof z_buffer, "the depth buffer");
    else
        clear_z_buffer();
    if (!r.ok())
        return failed();
    std::unique_ptr<flash::limiter::history> limited;
    if (limiter)
        limited = std::make_unique<flash::limiter::history>(limiter->state());
    if (!get_limiter(r, limiter, limited.get(), sl, error))
        return failed();
    if (limited)
        shift_ticks(*limited, shift_ms);
    // The song last: it renders up to the checkpoint, and the limiter's
    // state goes in only once everything else has.
    sound_layer::saved_song song;
    if (!get_song(r, song) || r.u32("the end mark") != end_mark || !r.at_end())
        return error = r.ok() ? "the checkpoint does not end where its parts do" : r.error(), false;
    shift_song(song, shift_ms);
    sound_layer::song_cache_use cache;
    if (const plan& p = current_plan(); !p.restore_dir.empty()) {
        // Everything else is restored: only now does the song need its cache.
        if (p.await_song_cache)
            p.await_song_cache();
        // the checkpoint's data identity is this folder's (choose() compared
        // them): no second reading of every data file
        cache = {p.restore_dir + "/" + song_cache_file, song_cache_key(p.restore_header.data)};
    }
    std::string note;
    if (!sound_layer::restore_song(song, s.ctl.song, error, cache, &note))
        return false;
    // A folder without a cache (the browser's) renders the song quietly.
    std::error_code ec;
    if (!note.empty() && std::filesystem::exists(cache.path, ec))
        std::fprintf(stderr, "ostramere: %s; rendering the song up to the start instead\n", printable(note).c_str());
    if (limiter)
        limiter->set_state(*limited);
    return true;
}

void at_scene_start(const show_objects& s, int scene) {
    plan& p = current_plan();
    if (p.write_dir.empty() || s.ctl.quit)
        return;
    header h;
    h.program = program_identity();
    h.data = data_identity();
    h.gentle = p.gentle;
    h.settle = p.settle;
    h.scene = scene;
    h.tick = clk::ticks();
    h.frame = display::frames_shown();
    h.music_ms = music_time(s.ctl);
    std::vector<std::uint8_t> payload;
    std::string error;
    if (!p.song_cache_written) {
        p.song_cache_written = true;
        if (!sound_layer::write_song_cache(show_files::song.path,
                                           {p.write_dir + "/" + song_cache_file, song_cache_key(h.data)}, error))
            std::fprintf(stderr, "ostramere: song cache: %s\n", printable(error).c_str());
    }
    const std::string path = p.write_dir + "/" + file_name(scene, p.gentle, p.settle);
    const bool redraws = scene >= 0 && scene < show_timeline::scene_count && show_timeline::scenes[scene].draws_afresh;
    if (!capture(s, p.limiter, payload, error, !redraws) ||
        !write_file(path, h, payload, error)) {
        std::fprintf(stderr, "ostramere: checkpoint %s: %s\n", printable(path).c_str(), printable(error).c_str());
        p.write_dir.clear();
    }
}

bool choose(const std::string& dir, const start_point& p, bool gentle, bool settle, header& h,
            std::vector<std::uint8_t>& payload, std::string& note, std::int32_t& shift_ms) {
    shift_ms = 0;
    if (!p.set) {
        note = "no start point";
        return false;
    }
    const std::uint64_t program = program_identity();
    const std::uint64_t data = data_identity();
    note = "no checkpoint in " + dir;
    for (int i = show_timeline::scene_count - 1; i >= 0; --i) {
        const show_timeline::scene& sc = show_timeline::scenes[i];
        if (!p.scene.empty() ? p.scene != sc.name : sc.first_ms > p.music_ms)
            continue;
        // The run's own timing's file, or where there is none the other
        // timing's (a site may carry only one).
        const std::string own_path = dir + "/" + file_name(i, gentle, settle);
        const std::string other_path = dir + "/" + file_name(i, gentle, !settle);
        std::error_code ec;
        const bool own = std::filesystem::exists(own_path, ec) || !std::filesystem::exists(other_path, ec);
        const std::string& path = own ? own_path : other_path;
        header got;
        std::string error;
        if (!read_header(path, got, error)) {
            note = error;
            if (!p.scene.empty())
                return false;
            continue;
        }
        // Music times run from the checkpoint's on: only a start past it is reached after it.
        if (p.scene.empty() && got.music_ms >= p.music_ms && i > 0)
            continue;
        if (got.program != program || got.data != data || got.scene != i || got.gentle != gentle ||
            got.settle != (own ? settle : !settle)) {
            note = path + ": made by another build of the program or from other data";
            return false;
        }
        if (!read_file(path, h, payload, error)) {
            note = error;
            return false;
        }
        if (!own) {
            shift_ms = static_cast<std::int32_t>(settle_wait_ms) * (settle ? 1 : -1);
            h.tick += static_cast<std::uint32_t>(shift_ms);
            h.settle = settle;
        }
        return true;
    }
    return false;
}

}  // namespace checkpoint
