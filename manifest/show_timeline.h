// The show's timeline, listed once: each scene's name (as --start and the
// frame records name it), its label for people, the music times it runs
// between, whether it is a chapter a viewer can start at and whether it
// draws the screen, the work bitmap and the depths afresh. The scenes keep
// their own literal end tests; a show test holds them to this table.
#pragma once

#include <string_view>

namespace show_timeline {

struct scene {
    const char* name;       // "beat": what --start and frames.csv call it
    const char* label;      // "Beat": what the page shows
    unsigned first_ms;      // music time of its first frame (the first at or after it)
    unsigned last_ms;       // music time the next scene takes over (the show's end for the last)
    bool chapter;           // offered as a start on the page
    // It draws the screen and the work bitmap over, and clears the depth
    // buffer, before anything reads them, so what they hold at its start
    // never shows: its checkpoint leaves them out (the whole-scene
    // checkpoint runs hold this to the frames).
    bool draws_afresh;
};

// In show order; each scene begins where the one before it ends.
inline constexpr scene scenes[] = {
    {"title", "Title", 0, 20000, true, true},
    {"beat", "Beat", 20000, 40000, true, true},
    {"flame", "Flame", 40000, 80000, true, true},  // ends as the song reaches pattern 10 (79.94 s)
    {"corner", "Corner room", 80000, 93300, true, true},
    {"backdrop", "Backdrop", 93300, 118000, true, true},
    {"greetings", "Greetings", 118000, 130000, true, true},
    {"final", "Final room", 130000, 160000, true, true},
};
inline constexpr int scene_count = sizeof scenes / sizeof scenes[0];

// Music time at which the show ends: the last scene stops there.
inline constexpr unsigned show_end_ms = scenes[scene_count - 1].last_ms;

// The scene called `name`, or nullptr.
constexpr const scene* find(std::string_view name) {
    for (const scene& s : scenes)
        if (name == s.name)
            return &s;
    return nullptr;
}

// The scene playing at music time ms (the last one from the show's end on).
constexpr const scene& at(unsigned ms) {
    for (const scene& s : scenes)
        if (ms < s.last_ms)
            return s;
    return scenes[scene_count - 1];
}

// Index of a scene in the table, -1 for nullptr.
constexpr int index_of(const scene* s) { return s ? static_cast<int>(s - scenes) : -1; }

}  // namespace show_timeline
