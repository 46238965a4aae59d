// The show's state through a checkpoint payload and back, in this process:
// what is restored captures to the very same payload (models, bitmaps by
// pixels, by file or as a copy of another, effects, lights, globals, the
// limiter's history); every cut payload and a face naming a missing vertex
// are refused with a message.
#include "checkpoint.h"

#include "display.h"
#include "globals.h"
#include "limiter.h"
#include "pixel.h"
#include "show_files.h"
#include "show_objects.h"
#include "sound_layer.h"
#include "sound_layer_testing.h"
#include "start.h"
#include "show_timeline.h"

#include <gtest/gtest.h>

#include <cmath>

#include <cstring>
#include <filesystem>

#include <unistd.h>

namespace {

Uint32 zero_ticks() { return 0; }
bool not_simulated() { return false; }

void paint(SDL_Surface* s, unsigned seed) {
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
            static_cast<Uint16*>(s->pixels)[y * (s->pitch / 2) + x] =
                static_cast<Uint16>((x * 2654435761u + y * 40503u + seed * 977u) >> 9);
    SDL_UnlockSurface(s);
}

// One object with v vertices and the faces (0, 1, 2), (1, 2, 3), ...
void shape(object& o, int v, float k) {
    o.allocate(v, v - 2, v);
    for (int i = 0; i < v; ++i)
        for (int set = 0; set < nr_vertex_sets; ++set)
            o.verts[set][i] = vertex{k * i, k * i * 2 + set, -k * i, 0};
    for (int f = 0; f < v - 2; ++f)
        o.faces[f].v[0] = f, o.faces[f].v[1] = f + 1, o.faces[f].v[2] = f + 2;
    for (int i = 0; i < v; ++i) o.tex_coords[0][i] = tex_coord{i * 3, i * 5};
}
void allocate_room(room& r, int n) {
    delete[] r.objects;
    r.objects = new object[static_cast<size_t>(n)];
    r.nr_objects = n;
}

// A show's objects in a state no start-up gives: every kind of field set.
void fill(show_objects& s) {
    s.ctl.quit = 0, s.ctl.music_start = 1234, s.ctl.frame_start = 98765, s.ctl.scene_done = 1, s.ctl.next_row = -3;
    s.blob_stretch_over = 1;
    paint(s.picture.surface, 1);
    paint(s.work.surface, 2);
    s.backdrop.replace_surface(new_surface16(320, 200));
    paint(s.backdrop.surface, 3);
    s.backdrop.src_rect = SDL_Rect{5, 6, 100, 50};
    blit_surface(s.picture.surface, nullptr, s.overlay.surface, nullptr);  // the picture's twin
    s.fader.target = screen;
    s.fader.set_area("in", s.work.surface, 0, 0, 640, 480);
    s.fader.red_map[3] = 77, s.fader.map_index = 9;
    s.ripple.source = s.picture.surface, s.ripple.destination = s.work.surface, s.ripple.key = 5, s.ripple.shift = -2;
    s.flames.set_target(s.work.surface);
    for (int k = 0; k < 200; ++k) s.flames.palette[k] = static_cast<Uint16>(k * 321);
    s.spectrum.target = s.work.surface, s.spectrum.base_row = 400, s.spectrum.scale = 77, s.spectrum.last_column = 600;
    s.spectrum.index_step = 0.5f;
    s.sheet_light[1].target = s.work.surface;
    s.sheet_light[1].set_sprite(s.picture.surface, 10, 10, 50, 40, 0, 1);
    s.full_light.target = s.backdrop.surface;
    s.full_light.set_sprite(s.backdrop.surface, 0, 0, 320, 200, 0, 0);
    allocate_room(s.nygris2, 2);
    shape(s.nygris2.objects[0], 6, 1.5f);
    shape(s.nygris2.objects[1], 4, -2.0f);
    s.nygris2.objects[1].shared_tex = &s.nygris2.objects[0].tex;
    s.nygris2.objects[1].pos_z = 9600;
    paint(s.nygris2.objects[0].tex.surface, 4);
    allocate_room(s.blob1, 1);
    shape(s.blob1.objects[0], 5, 0.25f);
    s.blob1.objects[0].rot[4] = 0.75f;
    world_x = 70, world_y = -3, world_z = 1650;
    transp_col = 20, transp = 1;
    dest_surface = s.work.surface;
    z_buffer[1234] = 55;
}

struct CheckpointState : ::testing::Test {
    void SetUp() override {
        fill_pre_RGB_tab();
        if (!screen)
            screen = new_surface16(640, 480);
        paint(screen, 9);
        sound_layer::reset();
        sound_layer::set_clock({zero_ticks, not_simulated});
    }
};

}  // namespace

TEST_F(CheckpointState, WhatIsRestoredCapturesToTheSamePayload) {
    auto a = std::make_unique<show_objects>();
    fill(*a);
    flash::limiter lim_a(640, 480);
    std::vector<std::uint16_t> frame(640 * 480, 0);
    for (std::uint32_t t = 0; t < 300; t += 30) {  // black and white: the limiter holds
        std::fill(frame.begin(), frame.end(), (t / 30) % 2 ? 0xFFFF : 0);
        lim_a.apply(frame.data(), 640, t);
    }
    std::vector<std::uint8_t> payload;
    std::string error;
    ASSERT_TRUE(checkpoint::capture(*a, &lim_a, payload, error)) << error;

    auto b = std::make_unique<show_objects>();
    world_x = world_y = world_z = 0, transp_col = 0, transp = 0, dest_surface = nullptr, z_buffer[1234] = 0;
    flash::limiter lim_b(640, 480);
    ASSERT_TRUE(checkpoint::apply(*b, &lim_b, payload, error)) << error;
    EXPECT_EQ(b->ctl.music_start, 1234u);
    EXPECT_EQ(b->ctl.next_row, -3);
    EXPECT_EQ(b->blob_stretch_over, 1);
    EXPECT_EQ(world_z, 1650);
    EXPECT_EQ(transp_col, 20);
    EXPECT_EQ(dest_surface, b->work.surface);
    EXPECT_EQ(z_buffer[1234], 55);
    EXPECT_EQ(b->backdrop.surface->w, 320);
    EXPECT_EQ(b->backdrop.src_rect.x, 5);
    EXPECT_EQ(b->fader.target, screen);
    EXPECT_EQ(b->fader.source, b->work.surface);
    EXPECT_EQ(b->fader.red_map[3], 77);
    EXPECT_EQ(b->ripple.source, b->picture.surface);
    EXPECT_EQ(b->flames.target_pixels, b->work.surface->pixels);
    EXPECT_EQ(b->full_light.target, b->backdrop.surface);
    EXPECT_EQ(b->sheet_light[1].count, a->sheet_light[1].count);
    ASSERT_EQ(b->nygris2.nr_objects, 2);
    EXPECT_EQ(b->nygris2.objects[1].shared_tex, &b->nygris2.objects[0].tex);
    EXPECT_EQ(b->nygris2.objects[1].pos_z, 9600);
    EXPECT_EQ(b->nygris2.objects[0].verts[2][5].y, a->nygris2.objects[0].verts[2][5].y);
    EXPECT_EQ(b->blob1.objects[0].rot[4], 0.75f);
    EXPECT_EQ(lim_b.limited_frames(), lim_a.limited_frames());
    EXPECT_EQ(lim_b.shown().frames(), 10);

    std::vector<std::uint8_t> again;
    ASSERT_TRUE(checkpoint::capture(*b, &lim_b, again, error)) << error;
    EXPECT_TRUE(again == payload) << "the restored state is the captured one, byte for byte";
    // The overlay, the picture's twin, is kept as a copy of it (an index,
    // not its 640 x 480 pixels): once it differs, its pixels are kept.
    paint(b->overlay.surface, 8);
    ASSERT_TRUE(checkpoint::capture(*b, &lim_b, again, error)) << error;
    EXPECT_EQ(again.size(), payload.size() + 640 * 480 * 2 - 4);

    // Into a run without the limiter, or a gentle one's into a plain run: refused.
    auto c = std::make_unique<show_objects>();
    EXPECT_FALSE(checkpoint::apply(*c, nullptr, payload, error));
    EXPECT_EQ(error, "the checkpoint is of a gentle run");
}

TEST_F(CheckpointState, CutOrInconsistentPayloadsAreRefusedWithAMessage) {
    auto a = std::make_unique<show_objects>();
    fill(*a);
    std::vector<std::uint8_t> payload;
    std::string error;
    ASSERT_TRUE(checkpoint::capture(*a, nullptr, payload, error)) << error;
    // A cut inside an object's arrays is seen from its counts, before any
    // array is read or made.
    int short_objects = 0;
    for (size_t n = 0; n < payload.size(); n += 1 + n / 7) {
        std::vector<std::uint8_t> cut(payload.begin(), payload.begin() + static_cast<long>(n));
        auto b = std::make_unique<show_objects>();
        error.clear();
        EXPECT_FALSE(checkpoint::apply(*b, nullptr, cut, error)) << "cut to " << n;
        EXPECT_FALSE(error.empty()) << n;
        short_objects += error == "an object with more vertices, faces or texture coordinates than the file holds";
    }
    EXPECT_GT(short_objects, 0);
    std::vector<std::uint8_t> longer = payload;
    longer.push_back(0);
    auto b = std::make_unique<show_objects>();
    EXPECT_FALSE(checkpoint::apply(*b, nullptr, longer, error));
    EXPECT_EQ(error, "the checkpoint does not end where its parts do");

    // nygris2's first face names vertex 0: make it name vertex 6 of 6.
    a->nygris2.objects[0].faces[0].v[0] = 6;
    dest_surface = a->work.surface;  // the restores above pointed it into their own objects
    ASSERT_TRUE(checkpoint::capture(*a, nullptr, payload, error)) << error;
    auto d = std::make_unique<show_objects>();
    EXPECT_FALSE(checkpoint::apply(*d, nullptr, payload, error));
    EXPECT_EQ(error, "a face names a vertex the object does not have");

    // The scope's step between spectrum bins is a fraction: 0 and 1 pass,
    // anything past them (or not a number) is refused.
    for (float step : {0.0f, 1.0f, -0.25f, 1.5f, std::nanf("")}) {
        auto e = std::make_unique<show_objects>();
        fill(*e);
        e->spectrum.index_step = step;
        ASSERT_TRUE(checkpoint::capture(*e, nullptr, payload, error)) << error;
        auto f = std::make_unique<show_objects>();
        const bool fraction = step == 0.0f || step == 1.0f;
        EXPECT_EQ(checkpoint::apply(*f, nullptr, payload, error), fraction) << step << ": " << error;
        if (!fraction) {
            EXPECT_EQ(error, "the scope's columns out of range") << step;
        }
    }

    // The widest surface a checkpoint holds, and one pixel more.
    for (int w : {2048, 2049}) {
        auto e = std::make_unique<show_objects>();
        fill(*e);
        e->backdrop.replace_surface(new_surface16(w, 1));
        ASSERT_TRUE(checkpoint::capture(*e, nullptr, payload, error)) << error;
        auto f = std::make_unique<show_objects>();
        EXPECT_EQ(checkpoint::apply(*f, nullptr, payload, error), w == 2048) << w << ": " << error;
        if (w == 2049) {
            EXPECT_NE(error.find("a surface of 2049x1"), std::string::npos) << error;
        }
    }
}

namespace {
bool same_points(const light& a, const light& b) {
    if (a.count != b.count || a.run_count != b.run_count || a.left_dx != b.left_dx || a.bottom_dy != b.bottom_dy)
        return false;
    for (int i = 0; i < a.count; ++i)
        if (a.x_offsets[i] != b.x_offsets[i] || a.y_offsets[i] != b.y_offsets[i] || a.colours[i] != b.colours[i])
            return false;
    for (int i = 0; i < a.run_count; ++i)
        if (a.runs[i].dx != b.runs[i].dx || a.runs[i].first != b.runs[i].first || a.runs[i].length != b.runs[i].length)
            return false;
    return true;
}
}  // namespace

// A light cut from a kept picture travels as its cut and a limiter's frame
// equal to the screen as a mark, each far smaller than its points or pixels;
// once the picture or the screen has changed since, the points or pixels
// themselves travel, and each restores as it was.
TEST_F(CheckpointState, LightsAndTheLimitersFramesTravelAsWhatMadeThemWhileThatHolds) {
    auto a = std::make_unique<show_objects>();
    fill(*a);
    flash::limiter lim_a(640, 480);
    std::vector<std::uint16_t> frame(640 * 480);
    for (std::uint32_t t = 0; t < 90; t += 30) {
        paint(screen, t);
        SDL_LockSurface(screen);
        for (int y = 0; y < 480; ++y)
            std::memcpy(&frame[size_t(y) * 640], static_cast<Uint8*>(screen->pixels) + y * screen->pitch, 640 * 2);
        SDL_UnlockSurface(screen);
        lim_a.apply(frame.data(), 640, t);
    }
    std::string error;
    std::vector<std::uint8_t> small, cut_gone, frame_gone;
    ASSERT_TRUE(checkpoint::capture(*a, &lim_a, small, error)) << error;
    // A light cut from the screen (the first surface) travels as its cut too.
    {
        auto d = std::make_unique<show_objects>();
        fill(*d);
        d->overlay_light.set_sprite(screen, 0, 0, 640, 480, 0, 0);
        ASSERT_GT(d->overlay_light.count, 0);
        std::vector<std::uint8_t> with_screen_cut;
        ASSERT_TRUE(checkpoint::capture(*d, &lim_a, with_screen_cut, error)) << error;
        EXPECT_LT(with_screen_cut.size(), small.size() + 64);
    }
    dest_surface = a->work.surface;  // fill() pointed it into the objects just gone

    // The screen no longer the last shown frame: both readings' frames kept
    // as pixels (the second as a copy of the first).
    paint(screen, 1000);
    ASSERT_TRUE(checkpoint::capture(*a, &lim_a, frame_gone, error)) << error;
    EXPECT_EQ(frame_gone.size(), small.size() + 4 + 640 * 480 * 2);
    auto b = std::make_unique<show_objects>();
    flash::limiter lim_b(640, 480);
    ASSERT_TRUE(checkpoint::apply(*b, &lim_b, frame_gone, error)) << error;
    EXPECT_EQ(lim_b.state().shown.save().previous, frame);
    EXPECT_EQ(lim_b.state().cross.save().previous, frame);
    // The cross-check's last frame not the first reading's: its own pixels.
    {
        dest_surface = a->work.surface;  // the restore above pointed it into its own objects
        flash::limiter::history h = lim_a.state();
        flash::cross_check::state cs = h.cross.save();
        cs.previous.assign(cs.previous.size(), 0x1234);
        ASSERT_TRUE(h.cross.restore(cs));
        flash::limiter lim_own(640, 480);
        lim_own.set_state(h);
        std::vector<std::uint8_t> own;
        ASSERT_TRUE(checkpoint::capture(*a, &lim_own, own, error)) << error;
        EXPECT_GE(own.size(), frame_gone.size() + 640 * 480 * 2);
        auto e = std::make_unique<show_objects>();
        flash::limiter lim_e(640, 480);
        ASSERT_TRUE(checkpoint::apply(*e, &lim_e, own, error)) << error;
        EXPECT_EQ(lim_e.state().shown.save().previous, frame);
        EXPECT_EQ(lim_e.state().cross.save().previous, cs.previous);
    }

    // The sheet light's picture painted over after the cut: its points are
    // kept, not a cut of the new picture.
    const int before = a->sheet_light[1].count;
    paint(a->picture.surface, 55);
    dest_surface = a->work.surface;  // the restore above pointed it into its own objects
    ASSERT_TRUE(checkpoint::capture(*a, &lim_a, cut_gone, error)) << error;
    EXPECT_GT(cut_gone.size(), frame_gone.size() + size_t(before) * 10);
    auto c = std::make_unique<show_objects>();
    flash::limiter lim_c(640, 480);
    ASSERT_TRUE(checkpoint::apply(*c, &lim_c, cut_gone, error)) << error;
    EXPECT_TRUE(same_points(c->sheet_light[1], a->sheet_light[1]));
    EXPECT_TRUE(same_points(c->full_light, a->full_light));
    EXPECT_GT(c->full_light.count, 0);
    light again;
    again.set_sprite(c->picture.surface, 10, 10, 50, 40, 0, 1);
    EXPECT_FALSE(same_points(again, a->sheet_light[1]));
    // What was restored from points captures to the same payload.
    std::vector<std::uint8_t> twice;
    ASSERT_TRUE(checkpoint::capture(*c, &lim_c, twice, error)) << error;
    EXPECT_TRUE(twice == cut_gone);
}

// A fullscreen run's checkpoint serves a windowed run where the windowed
// one is missing (and back): its ticks move by the settle wait, the song's
// sample positions with them, and the limiter's transitions too.
TEST_F(CheckpointState, TheOtherTimingsCheckpointServesWhereARunsOwnIsMissingItsTicksMoved) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("ckp-timing-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const int beat = show_timeline::index_of(show_timeline::find("beat"));
    ASSERT_GE(beat, 0);
    checkpoint::header h;
    h.program = checkpoint::program_identity(), h.data = checkpoint::data_identity();
    h.scene = beat, h.tick = 32000, h.frame = 500, h.music_ms = 20000, h.settle = 0;
    const std::vector<std::uint8_t> payload{1, 2, 3};
    std::string error;
    ASSERT_TRUE(checkpoint::write_file((dir / checkpoint::file_name(beat, false, false)).string(), h, payload, error))
        << error;
    const start_point at_beat{true, 0, "beat"};
    checkpoint::header got;
    std::vector<std::uint8_t> read;
    std::string note;
    std::int32_t shift = 7;
    // A fullscreen run: only the windowed file is there.
    ASSERT_TRUE(checkpoint::choose(dir.string(), at_beat, false, true, got, read, note, shift)) << note;
    EXPECT_EQ(shift, 3000);
    EXPECT_EQ(got.tick, 35000u);
    EXPECT_EQ(got.settle, 1);
    EXPECT_EQ(read, payload);
    // A windowed run: its own.
    ASSERT_TRUE(checkpoint::choose(dir.string(), at_beat, false, false, got, read, note, shift)) << note;
    EXPECT_EQ(shift, 0);
    EXPECT_EQ(got.tick, 32000u);
    // Both there: each run its own; a windowed run in a fullscreen one's
    // place would move the other way.
    h.settle = 1, h.tick = 35000;
    ASSERT_TRUE(checkpoint::write_file((dir / checkpoint::file_name(beat, false, true)).string(), h, payload, error));
    ASSERT_TRUE(checkpoint::choose(dir.string(), at_beat, false, true, got, read, note, shift)) << note;
    EXPECT_EQ(shift, 0);
    EXPECT_EQ(got.tick, 35000u);
    fs::remove(dir / checkpoint::file_name(beat, false, false));
    ASSERT_TRUE(checkpoint::choose(dir.string(), at_beat, false, false, got, read, note, shift)) << note;
    EXPECT_EQ(shift, -3000);
    EXPECT_EQ(got.tick, 32000u);
    EXPECT_EQ(got.settle, 0);
    // A file in the other's place that says it is of the run's own timing,
    // or of another build with the same data: refused.
    fs::rename(dir / checkpoint::file_name(beat, false, true), dir / checkpoint::file_name(beat, false, false));
    EXPECT_FALSE(checkpoint::choose(dir.string(), at_beat, false, true, got, read, note, shift));
    EXPECT_NE(note.find("made by another build"), std::string::npos) << note;
    h.settle = 0, h.program ^= 1;
    ASSERT_TRUE(checkpoint::write_file((dir / checkpoint::file_name(beat, false, false)).string(), h, payload, error));
    EXPECT_FALSE(checkpoint::choose(dir.string(), at_beat, false, false, got, read, note, shift));
    EXPECT_NE(note.find("made by another build"), std::string::npos) << note;
    // Or of a gentle run in a plain run's place.
    h.program ^= 1, h.gentle = 1;
    ASSERT_TRUE(checkpoint::write_file((dir / checkpoint::file_name(beat, false, false)).string(), h, payload, error));
    EXPECT_FALSE(checkpoint::choose(dir.string(), at_beat, false, false, got, read, note, shift));
    EXPECT_NE(note.find("made by another build"), std::string::npos) << note;
    fs::remove_all(dir);

    // The payload's ticks: the frame's start and the limiter's transitions.
    auto a = std::make_unique<show_objects>();
    fill(*a);
    flash::limiter lim_a(640, 480);
    std::vector<std::uint16_t> frame(640 * 480, 0);
    for (std::uint32_t t = 100; t < 400; t += 30) {
        std::fill(frame.begin(), frame.end(), (t / 30) % 2 ? 0xFFFF : 0);
        lim_a.apply(frame.data(), 640, t);
    }
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(checkpoint::capture(*a, &lim_a, bytes, error)) << error;
    auto b = std::make_unique<show_objects>();
    flash::limiter lim_b(640, 480);
    ASSERT_TRUE(checkpoint::apply(*b, &lim_b, bytes, error, 90)) << error;
    EXPECT_EQ(b->ctl.frame_start, a->ctl.frame_start + 90);
    const auto first_a = lim_a.state().shown.save(), first_b = lim_b.state().shown.save();
    const auto cross_a = lim_a.state().cross.save(), cross_b = lim_b.state().cross.save();
    // Across the window's end, where the transitions leave it one by one.
    for (std::uint32_t t = 380; t <= 1420; t += 10) {
        EXPECT_EQ(first_b.general[0].count(t + 90), first_a.general[0].count(t)) << t;
        EXPECT_EQ(cross_b.first_general[0].count(t + 90), cross_a.first_general[0].count(t)) << t;
        EXPECT_EQ(cross_b.second_general[0].count(t + 90), cross_a.second_general[0].count(t)) << t;
    }
    EXPECT_GT(first_a.general[0].count(390), first_a.general[0].count(1170));
    EXPECT_GT(first_a.general[0].count(1170), 0);
    EXPECT_GT(cross_a.second_general[0].count(390), cross_a.second_general[0].count(1170));
}

namespace {
std::vector<Uint16> pixels(SDL_Surface* s) {
    std::vector<Uint16> out(size_t(s->w) * size_t(s->h));
    for (int y = 0; y < s->h; ++y)
        std::memcpy(&out[size_t(y) * size_t(s->w)], static_cast<Uint8*>(s->pixels) + y * s->pitch, size_t(s->w) * 2);
    return out;
}
}  // namespace

// A scene that draws the screen and the work bitmap over and clears the
// depths first: their contents stay out of its checkpoint and come back
// black and cleared. A surface that equals one
// of them then travels as its own pixels, and a limiter's frame equal to the
// screen as its pixels, not as marks naming what is not there.
TEST_F(CheckpointState, TheScreenTheWorkBitmapAndTheDepthsLeftOutComeBackBlankAndNothingLeansOnThem) {
    auto a = std::make_unique<show_objects>();
    fill(*a);
    std::string error;
    std::vector<std::uint8_t> kept, left;
    ASSERT_TRUE(checkpoint::capture(*a, nullptr, kept, error, true)) << error;
    ASSERT_TRUE(checkpoint::capture(*a, nullptr, left, error, false)) << error;
    EXPECT_EQ(left.size(), kept.size() - 2 * 640 * 480 * 2 - sizeof z_buffer);

    // The overlay a twin of the work bitmap, the screen the last shown frame.
    blit_surface(a->work.surface, nullptr, a->overlay.surface, nullptr);
    const std::vector<Uint16> overlay = pixels(a->overlay.surface);
    flash::limiter lim_a(640, 480);
    for (std::uint32_t t = 0; t < 90; t += 30) {
        paint(screen, t + 5);
        lim_a.apply(pixels(screen).data(), 640, t);
    }
    const std::vector<Uint16> shown = pixels(screen);
    ASSERT_TRUE(checkpoint::capture(*a, &lim_a, left, error, false)) << error;
    auto b = std::make_unique<show_objects>();
    paint(b->work.surface, 6);
    flash::limiter lim_b(640, 480);
    ASSERT_TRUE(checkpoint::apply(*b, &lim_b, left, error)) << error;
    EXPECT_EQ(pixels(screen), std::vector<Uint16>(640 * 480, 0));
    EXPECT_EQ(pixels(b->work.surface), std::vector<Uint16>(640 * 480, 0));
    EXPECT_EQ(z_buffer[1234], z_buffer_far) << "the depths come back cleared";
    EXPECT_EQ(pixels(b->overlay.surface), overlay);
    EXPECT_EQ(pixels(b->picture.surface), pixels(a->picture.surface));
    EXPECT_EQ(lim_b.state().shown.save().previous, shown);
    EXPECT_EQ(lim_b.state().cross.save().previous, shown);
}

// An object whose vertices as loaded, faces and first texture coordinates
// are still its model file's travels without them and gets them back from
// the file; one changed since travels whole. A model file that no longer
// holds the object, or none at all, refuses the checkpoint by name.
TEST_F(CheckpointState, ObjectsAsTheirModelFileHoldsThemTravelAsAReference) {
    namespace fs = std::filesystem;
    const fs::path data = OSTRA_DATA_DIR;
    if (!fs::exists(data / "gfx" / "nygris2.3D") || !fs::exists(data / "gfx" / "blob1.3D"))
        GTEST_SKIP() << "no generated data in " << data;
    const fs::path was = fs::current_path();
    const fs::path other = fs::temp_directory_path() / ("ckp-models-" + std::to_string(::getpid()));
    fs::create_directories(other / "gfx");
    struct back {
        fs::path to, rm;
        ~back() { fs::current_path(to), fs::remove_all(rm); }
    } restore_cwd{was, other};

    auto a = std::make_unique<show_objects>();
    fill(*a);
    fs::current_path(data);
    ASSERT_TRUE(a->nygris2.read_file(show_files::nygris2.path));
    ASSERT_GT(a->nygris2.nr_objects, 2);
    for (int i = 0; i < a->nygris2.nr_objects; ++i) {
        a->nygris2.objects[i].scale(300, 300, 300, 0, 1);
        a->nygris2.objects[i].rotate(1, 600, 1, 2);
    }
    a->nygris2.objects[1].tex_coords[1][0] = tex_coord{7, 9};
    std::string error;
    std::vector<std::uint8_t> ref, raw, changed;
    ASSERT_TRUE(checkpoint::capture(*a, nullptr, ref, error)) << error;
    size_t from_file = 0;
    for (int i = 0; i < a->nygris2.nr_objects; ++i) {
        const object& o = a->nygris2.objects[i];
        from_file += size_t(o.nr_verts) * 16 + size_t(o.nr_faces) * 20 + size_t(o.nr_tex) * 8;
    }
    fs::current_path(other);  // no model file: every object whole
    ASSERT_TRUE(checkpoint::capture(*a, nullptr, raw, error)) << error;
    EXPECT_EQ(ref.size(), raw.size() - from_file);

    fs::current_path(data);
    auto restores_as_captured = [&](const std::vector<std::uint8_t>& bytes) {
        auto b = std::make_unique<show_objects>();
        ASSERT_TRUE(checkpoint::apply(*b, nullptr, bytes, error)) << error;
        ASSERT_EQ(b->nygris2.nr_objects, a->nygris2.nr_objects);
        for (int i = 0; i < a->nygris2.nr_objects; ++i) {
            const object &x = a->nygris2.objects[i], &y = b->nygris2.objects[i];
            ASSERT_EQ(y.nr_verts, x.nr_verts);
            ASSERT_EQ(y.nr_faces, x.nr_faces);
            ASSERT_EQ(y.nr_tex, x.nr_tex);
            for (int k = 0; k < nr_vertex_sets; ++k)
                EXPECT_EQ(std::memcmp(x.verts[k], y.verts[k], size_t(x.nr_verts) * sizeof(vertex)), 0) << i << k;
            for (int k = 0; k < nr_tex_sets; ++k)
                EXPECT_EQ(std::memcmp(x.tex_coords[k], y.tex_coords[k], size_t(x.nr_tex) * sizeof(tex_coord)), 0)
                    << i << k;
            EXPECT_EQ(std::memcmp(x.faces, y.faces, size_t(x.nr_faces) * sizeof(face)), 0) << i;
        }
        dest_surface = a->work.surface;  // the restore pointed it into b's objects
    };
    restores_as_captured(ref);
    restores_as_captured(raw);
    const object& last = a->nygris2.objects[a->nygris2.nr_objects - 1];
    last.verts[0][0].x += 1.0f;
    ASSERT_TRUE(checkpoint::capture(*a, nullptr, changed, error)) << error;
    EXPECT_EQ(changed.size(),
              ref.size() + size_t(last.nr_verts) * 16 + size_t(last.nr_faces) * 20 + size_t(last.nr_tex) * 8);
    restores_as_captured(changed);

    fs::current_path(other);
    auto c = std::make_unique<show_objects>();
    EXPECT_FALSE(checkpoint::apply(*c, nullptr, ref, error));
    EXPECT_EQ(error, std::string("the model file ") + show_files::nygris2.path + " cannot be read");
    fs::copy_file(data / "gfx" / "blob1.3D", other / "gfx" / "nygris2.3D");  // other objects
    auto d = std::make_unique<show_objects>();
    EXPECT_FALSE(checkpoint::apply(*d, nullptr, ref, error));
    EXPECT_NE(error.find(show_files::nygris2.path), std::string::npos) << error;
}
