// light: a sprite cut once out of a picture and kept as a list of points,
// blended each frame onto a target surface with per-channel weights through
// pre_RGB_tab. Owns its point list; writes only inside the target.
#pragma once

#include <SDL.h>

#include <memory>

struct light {
    Uint16* source_pixels = nullptr;  // valid during set_sprite
    int source_pitch = 0;             // in pixels
    SDL_Surface* target = nullptr;    // drawn into; set by the caller
    Uint16* target_pixels = nullptr;  // valid during plot_light
    int target_pitch = 0;             // in pixels
    // The point list: offsets from the centre of the cut rectangle and the
    // pixel word of each point, in scan order (rows top to bottom).
    std::unique_ptr<int[]> x_offsets;
    std::unique_ptr<int[]> y_offsets;
    std::unique_ptr<Uint16[]> colours;
    int count = 0;
    // The same list as runs of points on one row with consecutive x offsets,
    // built with it by set_sprite; plot_light draws through them.
    struct run {
        int dx, dy;  // offsets of the run's first point
        int first;   // its index in the point list
        int length;
    };
    std::unique_ptr<run[]> runs;
    int run_count = 0;
    // The runs' extent: offsets left_dx .. right_dx - 1, top_dy .. bottom_dy.
    long long left_dx = 0, right_dx = 0, top_dy = 0, bottom_dy = 0;

    // The cut the point list was last made by (source null until then, and
    // after the list came another way). It names a surface that may since
    // have been freed or changed: compare before relying on it.
    struct cut_rect {
        SDL_Surface* source = nullptr;
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        unsigned short key = 0;
        int use_key = 0;
    };
    cut_rect cut;

    // Forgets the results kept for the current point list (after the list
    // was replaced by other means than set_sprite).
    void forget_replacements() { replaced_.reset(); }

    light() = default;
    light(const light&) = delete;
    light& operator=(const light&) = delete;

    // Replaces the point list by the pixels of columns x0..x1-1, rows
    // y0..y1-1 (exclusive ends) of source, leaving out pixels equal to key
    // when use_key is non-zero. Offsets are x - x0 - ((x1 - x0) >> 1) and
    // y - y0 - ((y1 - y0) >> 1). Pixels outside the source are left out.
    void set_sprite(SDL_Surface* source, int x0, int y0, int x1, int y1, unsigned short key, int use_key);

    // Blends every point whose position falls inside the target with its
    // centre at (x, y), per channel c (weights clamped to 0..30):
    //   out.c = min(31, pre_RGB_tab[C.c*31 + sprite_c] + pre_RGB_tab[D.c*31 + back_c])
    void plot_light(int x, int y, int sprite_r, int sprite_g, int sprite_b, int back_r, int back_g,
                    int back_b);

private:
    // Blends n consecutive points of colours c onto d through the tables below.
    void blend_span(Uint16* d, const Uint16* c, int n) const;
    // With all three background weights 0 a point's result depends on its
    // colour alone: the results for the point list, kept for the sprite
    // weights' table columns they were made with until the list changes.
    const Uint16* replacements(const int* sr, const int* sg, const int* sb);
    std::unique_ptr<Uint16[]> replaced_;
    int replaced_cols_[3][32] = {};
    // The weight table's entries for the current weights, per call.
    Uint32 sprite_rg_[1024] = {};
    Uint32 back_rg_[1024] = {};
    Uint32 sprite_b_[32] = {};
    Uint32 back_b_[32] = {};
};
