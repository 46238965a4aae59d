// The sound layer: the calls the show makes into the sound system (init,
// song load/play/free, song time, order, pattern, row, spectrum), written
// over libopenmpt, an audio device (audio_device.h: SDL's unless another is
// chosen) and kissfft. Owns the open device, the songs' modules, the position
// ring and the spectrum array; reads time only through the clock the runtime
// installs (set_clock).
#pragma once

#include <SDL.h>

#include "sound_format.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sound_device {
class device;
}

// A loaded song (opaque). Null when the load failed; every call accepts null.
struct FMUSIC_MODULE;
// The FFT unit handed out by FSOUND_DSP_GetFFTUnit (opaque).
struct FSOUND_DSPUNIT;

// Output type and driver: recorded only; SDL picks the device (SDL_AUDIODRIVER).
bool FSOUND_SetOutput(int output);
bool FSOUND_SetDriver(int driver);

// Opens the audio device (44100 Hz stereo, whatever mixrate is asked; the
// channel count and flags are recorded only). False when no device opens;
// the layer then keeps time by the clock (below). With options::nosound or the
// simulated clock no device is opened and the result is true.
bool FSOUND_Init(int mixrate, int maxchannels, unsigned flags);
// Closes the device. Later calls run on the clock-driven path.
void FSOUND_Close();

// The FFT unit: the spectrum is computed only while it is active.
FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit();
bool FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, bool active);
// 512 magnitudes (bin k = k * 44100 / 1024 Hz) of the 1024 mono samples that
// end at the audible frame, Hann-windowed; a sine of amplitude a reads about
// a * sound_spectrum::gain (16) at its bin.
// The array is writable by the caller and refilled on every call (zeros while
// the FFT unit is off).
float* FSOUND_DSP_GetSpectrum();

// Loads an XM module (sound_layer::load_song says what is refused). Null on
// a missing, unreadable or refused file; sound_layer::last_load_error() then
// says why (nothing is printed: the caller reports it once, with the path).
// The song loops forever.
FMUSIC_MODULE* FMUSIC_LoadSong(const char* path);
// Starts the song from its beginning; song time counts from this call.
// A null song still starts a silent song clock (ticks since this call), so
// music gates always end. Only one song plays at a time.
bool FMUSIC_PlaySong(FMUSIC_MODULE* song);
// Stops the song if it plays and frees it. Null is ignored.
bool FMUSIC_FreeSong(FMUSIC_MODULE* song);

// Song time in ms of the audible frame; 0 before PlaySong; keeps counting
// across the song's loop; never goes backwards.
unsigned FMUSIC_GetTime(FMUSIC_MODULE* song);
// Order-list position, pattern number and row of the audible frame, as
// libopenmpt reports them; 0 before PlaySong and for a null song.
int FMUSIC_GetOrder(FMUSIC_MODULE* song);
int FMUSIC_GetPattern(FMUSIC_MODULE* song);
int FMUSIC_GetRow(FMUSIC_MODULE* song);

// Timing model:
//  - Device path (FSOUND_Init opened a device, live clock): the device asks
//    for frames (SDL's callback renders; the browser's worklet device renders
//    ahead on the main thread whenever a call above runs) and says which
//    frame is heard: SDL's, the frames handed to it minus two buffers,
//    advanced between callbacks by the clock's ticks; the worklet's, the
//    frames it has played less the output's latency. Never back. A device
//    that fails for good is closed and the clock-driven path goes on from
//    the last frame rendered.
//  - Clock-driven path (no device: nosound, failed init, simulated clock):
//    the main thread renders, in lockstep with the clock's ticks, whenever a call
//    above (or pump) runs. Song frame at tick t = floor((t - P) * 44.1) for
//    play tick P, so FMUSIC_GetTime == ticks - P exactly, and every
//    reading is an exact function of the ticks.
//  - The song is read in whole blocks of 256 frames from its first frame, so
//    its samples are the same on every path however the output is asked
//    for (a partly handed-out block waits for the next call). Order,
//    pattern and row at
//    audible frame A are what libopenmpt reports after rendering the block
//    that holds frame A - 1: exactly its report after A frames whenever A is
//    a block end, otherwise at most 255 frames (5.8 ms) early.
namespace sound_layer {

// Picture offsets the device path accepts, in ms: positive = the sound is
// heard that much later than the device reports; negative = earlier, which
// the layer can only serve from its device buffers (at most 8192 frames).
inline constexpr int min_av_offset_ms = -180;
inline constexpr int max_av_offset_ms = 1000;

struct options {
    bool nosound = false;       // never open a device (clock-driven path)
    int device_frames = 1024;   // device buffer in frames (256..8192, a power of two)
    // Device path only (the clock-driven path, and so every capture, ignores
    // it): time, order, pattern, row and spectrum are read this many ms
    // behind the audible frame; clamped to min/max_av_offset_ms.
    int av_offset_ms = 0;
    // Latency the output adds after the device's own buffers, in frames (a
    // browser reports it for its audio output); asked on every callback.
    // Null: none. The audible frame moves back by it.
    int (*output_latency_frames)() = nullptr;
};
// Call before FSOUND_Init.
void configure(const options& o);

// The show's clock as the layer reads it: milliseconds, and whether they are
// simulated (no device is opened then). The runtime's clock installs itself
// here; until it does, the layer counts SDL_GetTicks and never simulates.
// Install before FSOUND_Init: the audio callback reads the tick source.
struct clock_source {
    Uint32 (*ticks)() = nullptr;
    bool (*simulated)() = nullptr;
};
void set_clock(clock_source c);
const options& current_options();
// "libopenmpt 0.6.9": the module player's version as linked.
std::string library_version();
// The largest song file read: the show's song is about 1.5 MB.
inline constexpr std::uintmax_t max_song_bytes = 16u << 20;
// Loads a song from bytes in memory, as FMUSIC_LoadSong does from its file:
// an XM 1.04 module holding every byte its headers claim (xm_check.h) that
// libopenmpt loads without a warning; at most max_song_bytes. Null when
// refused, with the reason in last_load_error().
FMUSIC_MODULE* load_song(const void* data, std::size_t size);
// Why the last FMUSIC_LoadSong failed ("empty file", "not a playable
// module (...)", ...); empty after a successful load.
const std::string& last_load_error();

// True while a device is open (the callback renders).
bool device_open();
// The device FSOUND_Init opens (not owned; it must outlive the layer's use);
// null, the default, is SDL's.
void set_output(sound_device::device* d);
// True once PlaySong was called for this song (and it was not freed).
bool playing(const FMUSIC_MODULE* song);

// Clock-driven path: every rendered frame, interleaved stereo 16-bit at
// 44100 Hz, in order, from the clock's tick 0 (silence before the song and
// after it is freed). Frame i belongs to tick i / 44.1. Empty = discard.
using sample_sink = std::function<void(const int16_t* interleaved, int frames)>;
void set_sample_sink(sample_sink sink);
// Clock-driven path: renders up to the current tick (the calls above do it
// themselves; capture calls it before closing its WAV). No-op with a device.
void pump();
// Wall and this thread's CPU time the clock-driven path has spent rendering
// the song since the program started, in ns (the bench keeps it apart from
// the frame that happened to read the clock: with a device, a thread of its
// own renders the song).
struct render_spent {
    std::uint64_t wall_ns = 0, cpu_ns = 0;
};
render_spent song_render_spent();

// The song's state for a checkpoint of the show (clock-driven path): the
// output and song frames, the position ring, the newest mono history (what
// the spectrum reads) and the song clock. The module's own state is not
// kept: restoring renders the song from its start up to the saved frame, at
// full quality (a seek, even with a pre-roll, leaves its samples a little
// off for the rest of the song).
struct saved_song {
    struct record {
        std::int64_t first = 0;
        std::int32_t frames = 0, order = 0, pattern = 0, row = 0;
    };
    bool play_requested = false;
    bool song_playing = false;       // the saved song was playing (not freed, not null)
    Uint32 play_tick = 0;
    std::int64_t out_frame = 0, song_start = -1, last_audible = 0, ring_count = 0;
    record initial;
    std::vector<record> ring;        // the newest min(ring_count, ring size) records, oldest first
    std::vector<float> history;      // the mono samples of the newest history_kept frames
};
inline constexpr int history_kept = 4096;
saved_song save_song();
// Puts the saved state back with `song` (loaded, not played yet) as the
// playing song. False with a reason when it cannot (a device is open, or
// the song ends before the saved frame).
//
// With a song cache (song_cache.h; `key` names the program and data it must
// have been made for), the song's blocks from the saved frame on come from
// it and nothing is rendered up to there; a cache that is missing or does
// not serve is said in `cache_note` and the song is rendered as without.
struct song_cache_use {
    std::string path;
    std::uint64_t key = 0;
};
bool restore_song(const saved_song& saved, FMUSIC_MODULE* song, std::string& why,
                  const song_cache_use& cache = {}, std::string* cache_note = nullptr);
// Writes the song cache of the song file at song_path to cache.path, unless
// one of this key and player is there already. False with a message.
bool write_song_cache(const char* song_path, const song_cache_use& cache, std::string& error);
}  // namespace sound_layer
