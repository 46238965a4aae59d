// Checkpoints of the show: its whole state at a scene's start (the show's
// objects, the renderer's globals, the control variables, the song's
// position, the clock's tick, the frame index and in gentle runs the flash
// limiter's history), written by a full run and restored by a start point,
// so that running the scene from there gives the full run's very frames.
#pragma once

#include "checkpoint_file.h"
#include "start.h"

#include <cstdint>
#include <string>
#include <vector>

struct show_objects;
namespace flash {
class limiter;
}

namespace checkpoint {

// What the run asks of checkpoints (set up by run_show before intro).
struct plan {
    std::string write_dir;            // non-empty: write one at every scene's start
    bool gentle = false;              // the run's kind, in every header
    bool settle = false;
    flash::limiter* limiter = nullptr;  // the run's (gentle runs), not owned
    // The checkpoint to restore (restoring: intro starts the timeline there).
    bool restoring = false;
    header restore_header;                  // its tick already moved by restore_shift_ms
    std::vector<std::uint8_t> restore_payload;
    std::int32_t restore_shift_ms = 0;      // see choose()
    // The folder the checkpoint came from: its song cache, when it has one
    // for this program and data, spares the restore rendering the song.
    std::string restore_dir;
    void (*await_song_cache)() = nullptr;   // called before the song cache is read
    bool song_cache_written = false;        // this run wrote (or found) it
};
plan& current_plan();

// The program's identity: a hash of the sources it was built from (the same
// for the desktop's and the browser's build of one tree; see
// cmake/source_identity.cmake).
std::uint64_t program_identity();
// The data's identity: FNV-1a 64 of every data file's path and bytes, read
// from the data folder (the working directory). 0 when a file is missing,
// not a regular file or larger than its loader takes (left unread).
std::uint64_t data_identity();

// "beat.ockp", "beat-gentle.ockp", "beat-w.ockp" (-w: without the settle wait).
std::string file_name(int scene, bool gentle, bool settle);
// The song cache beside a folder's checkpoints, and the key it is made
// for: this program and the data of identity `data` (data_identity(),
// or a checkpoint header's, which the data were checked against).
inline constexpr const char* song_cache_file = "song.ocache";
std::uint64_t song_cache_key(std::uint64_t data);

// The show's state as a payload. False with a message when some pointer of
// the state leads nowhere the checkpoint can name.
// keep_drawn false: the screen's and the work bitmap's pixels and the
// depths are left out (restored black and cleared), for a scene that draws
// them afresh before reading them.
bool capture(const show_objects& s, const flash::limiter* limiter, std::vector<std::uint8_t>& out,
             std::string& error, bool keep_drawn = true);
// Puts a payload's state into s (freshly built by intro, the song loaded and
// not played), the renderer's globals, the sound layer and the limiter,
// every tick in it moved by shift_ms (and the song's sample positions with
// them: a checkpoint of a fullscreen run in a windowed one, or back).
// False with a message when the payload is damaged or does not fit; s may
// then be half restored and must not be played.
bool apply(show_objects& s, flash::limiter* limiter, const std::vector<std::uint8_t>& payload, std::string& error,
           std::int32_t shift_ms = 0);

// Called by the timeline at every scene's start: writes the checkpoint when
// the plan asks for it (a failure is reported once and writing stops).
void at_scene_start(const show_objects& s, int scene);

// For a start point: the last checkpoint in dir at or before it (by scene
// name, or the last whose music time lies before T), of this program, this
// data and this kind of run. A run's own timing's file is taken first; the
// other timing's serves too (the two differ only in their ticks and the
// song's sample positions: settle_wait_ms): shift_ms is then what apply()
// moves them by, and h's tick is moved already. False with a note on why
// none serves (the start then runs ahead from the beginning).
bool choose(const std::string& dir, const start_point& p, bool gentle, bool settle, header& h,
            std::vector<std::uint8_t>& payload, std::string& note, std::int32_t& shift_ms);

}  // namespace checkpoint
