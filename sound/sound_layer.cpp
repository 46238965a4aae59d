// The sound layer's calls: the output device, the song clock (audible
// frame with a device, clock-driven frame without), position and spectrum
// read-outs. A device's own thread touches only `engine` (through fill) and
// the device's stamps, under its lock; everything else is main-thread.
#include "sound_layer.h"
#include "sound_layer_testing.h"

#include "audio_device.h"
#include "cost_clock.h"

#include "song_cache.h"
#include "sound_render.h"
#include "sound_spectrum.h"
#include "xm_check.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

struct FMUSIC_MODULE {
    openmpt_module* module = nullptr;
};
struct FSOUND_DSPUNIT {
    bool active = false;
};

namespace sound_layer {
// Clock-driven path: renders up to tick `now`.
void pump_to(Uint32 now);
// The open device failed for good at tick `now`: closes it and goes on on
// the clock-driven path.
void fall_back(Uint32 now);
}  // namespace sound_layer

namespace {

struct layer_state {
    sound_layer::options opts;
    sound_device::device* out = nullptr;     // the open device; null: the clock-driven path
    sound_device::device* chosen = nullptr;  // what FSOUND_Init opens; null: SDL's
    sound_render::renderer engine;           // with a device: under its lock

    // Main thread only.
    bool play_requested = false;     // PlaySong was called: the song clock runs
    FMUSIC_MODULE* playing = nullptr;
    Uint32 play_tick = 0;            // now_ticks() at PlaySong
    int64_t last_audible = 0;        // output frame last reported (never goes back)
    sound_layer::sample_sink sink;
    FSOUND_DSPUNIT fft_unit;
    bool use_test_spectrum = false;
};

std::atomic<Uint32 (*)()> clock_ticks{nullptr};
std::atomic<bool (*)()> clock_simulated{nullptr};

// The installed clock, or SDL's timer counted from the first reading.
Uint32 now_ticks() {
    if (Uint32 (*f)() = clock_ticks.load())
        return f();
    static const Uint32 base = SDL_GetTicks();
    return SDL_GetTicks() - base;
}
bool simulated_clock() {
    bool (*f)() = clock_simulated.load();
    return f && f();
}

layer_state st;
sound_device::test_device test_output;
sound_spectrum::analyser analyser;
sound_layer::render_spent spent;  // see song_render_spent

std::array<float, sound_layer::spectrum_size> spectrum_out{};
std::array<float, sound_layer::spectrum_size> test_spectrum{};
std::array<float, sound_layer::fft_size> spectrum_in{};
std::array<int16_t, 4096 * 2> pump_buffer{};
std::string load_error;                                  // why the last LoadSong failed

// Frames in d ms: floor(d * 44.1).
int64_t frames_in(Uint32 d) { return static_cast<int64_t>(d) * 441 / 10; }

// ms of f frames, to the nearest: with f = floor(d * 44.1) this gives d back.
unsigned ms_of(int64_t f) { return static_cast<unsigned>((f * 1000 + sound_layer::rate / 2) / sound_layer::rate); }

// The device's source of frames (under its lock when it pulls).
void fill(int16_t* out, int frames) { st.engine.render(out, frames); }
uint32_t device_ticks() { return now_ticks(); }
int extra_latency() { return st.opts.output_latency_frames ? st.opts.output_latency_frames() : 0; }

sound_device::host device_host() {
    sound_device::host h;
    h.fill = fill;
    h.ticks = device_ticks;
    h.extra_latency_frames = extra_latency;
    return h;
}

struct audio_lock {
    audio_lock() {
        if (st.out)
            st.out->lock();
    }
    ~audio_lock() {
        if (st.out)
            st.out->unlock();
    }
    audio_lock(const audio_lock&) = delete;
    audio_lock& operator=(const audio_lock&) = delete;
};

// The user's picture offset in output frames (positive: the sound is heard
// later than the device says), within the range the layer can serve.
int64_t offset_frames() {
    const int ms = std::clamp(st.opts.av_offset_ms, sound_layer::min_av_offset_ms, sound_layer::max_av_offset_ms);
    return static_cast<int64_t>(ms) * 441 / 10;
}

// Device buffer in frames: as configured, but at least what a negative
// offset reads ahead of the audible frame (a power of two, 256..8192).
int device_buffer_frames() {
    int frames = std::clamp(st.opts.device_frames, 256, 8192);
    while (frames < 8192 && frames < -offset_frames())
        frames *= 2;
    return frames;
}

// The output frame being heard now. With a device: as the device works it
// out from the frames handed over (less the user's offset). Without:
// everything rendered so far. Never goes back.
// Call under the audio lock.
int64_t audible_frame() {
    if (st.out)
        st.last_audible = st.out->heard(st.engine.out_frame, offset_frames(), st.last_audible);
    else
        st.last_audible = std::max(st.engine.out_frame, st.last_audible);
    return st.last_audible;
}

struct reading {
    int64_t song_frames = 0;
    sound_render::position pos;
};

// The song's position at the audible frame; also the spectrum input when asked.
reading read_now(float* history) {
    sound_layer::pump();
    const audio_lock lock;
    const int64_t a = audible_frame();
    reading r;
    if (st.engine.song_start >= 0)
        r.song_frames = std::max<int64_t>(0, a - st.engine.song_start);
    r.pos = st.engine.at(r.song_frames);
    if (history)
        st.engine.copy_history(a, history, sound_layer::fft_size);
    return r;
}

// The song clock answers for the playing song and for null (a failed load).
bool clock_for(const FMUSIC_MODULE* song) { return st.play_requested && (!song || song == st.playing); }

}  // namespace

bool FSOUND_SetOutput(int) { return true; }
bool FSOUND_SetDriver(int) { return true; }

bool FSOUND_Init(int, int, unsigned) {
    if (st.out || st.opts.nosound || simulated_clock())
        return true;
    sound_device::device* d = st.chosen ? st.chosen : &sound_device::sdl_output();
    std::string why;
    if (!d->open(device_host(), device_buffer_frames(), why)) {
        std::fprintf(stderr, "sound: %s; the show keeps time without it\n", why.c_str());
        return false;
    }
    st.out = d;
    return true;
}

void FSOUND_Close() {
    if (!st.out)
        return;
    st.out->close();
    st.out = nullptr;
}

FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit() { return &st.fft_unit; }

bool FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, bool active) {
    if (!unit)
        return false;
    unit->active = active;
    return true;
}

float* FSOUND_DSP_GetSpectrum() {
    if (st.use_test_spectrum) {
        spectrum_out = test_spectrum;
    } else if (!st.fft_unit.active) {
        spectrum_out.fill(0.0f);
    } else {
        read_now(spectrum_in.data());
        analyser.run(spectrum_in.data(), spectrum_out.data());
    }
    return spectrum_out.data();
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char* path) {
    auto fail = [&](const std::string& why) -> FMUSIC_MODULE* {
        load_error = why;  // the caller reports it, with the path
        return nullptr;
    };
    if (!path)
        return fail("no song path given");
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status))
        return fail("cannot open (no such file)");
    if (!std::filesystem::is_regular_file(status))
        return fail("not a regular file");
    const auto size = std::filesystem::file_size(path, ec);
    if (ec)
        return fail("cannot read its size (" + ec.message() + ")");
    if (size == 0)
        return fail("empty file");
    if (size > sound_layer::max_song_bytes)
        return fail("too large for a module (" + std::to_string(size) + " bytes; at most " +
                    std::to_string(sound_layer::max_song_bytes) + ")");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return fail(std::string("cannot open (") + std::strerror(errno) + ")");
    std::vector<char> bytes(static_cast<size_t>(size));
    if (!in.read(bytes.data(), static_cast<std::streamsize>(size)))
        return fail("read error");
    return sound_layer::load_song(bytes.data(), bytes.size());
}

bool FMUSIC_PlaySong(FMUSIC_MODULE* song) {
    const Uint32 now = now_ticks();
    sound_layer::pump_to(now);  // silence up to now
    {
        const audio_lock lock;
        st.engine.start(song ? song->module : nullptr);
    }
    st.play_requested = true;
    st.playing = song;
    st.play_tick = now;
    sound_layer::pump_to(now);  // a device that renders ahead starts the song
    return song != nullptr;
}

bool FMUSIC_FreeSong(FMUSIC_MODULE* song) {
    if (!song)
        return false;
    if (song == st.playing) {
        sound_layer::pump();  // the song's frames up to now
        const audio_lock lock;
        st.engine.stop();
        st.playing = nullptr;
    }
    openmpt_module_destroy(song->module);
    delete song;
    return true;
}

unsigned FMUSIC_GetTime(FMUSIC_MODULE* song) { return clock_for(song) ? ms_of(read_now(nullptr).song_frames) : 0; }
int FMUSIC_GetOrder(FMUSIC_MODULE* song) { return clock_for(song) ? read_now(nullptr).pos.order : 0; }
int FMUSIC_GetPattern(FMUSIC_MODULE* song) { return clock_for(song) ? read_now(nullptr).pos.pattern : 0; }
int FMUSIC_GetRow(FMUSIC_MODULE* song) { return clock_for(song) ? read_now(nullptr).pos.row : 0; }

namespace sound_layer {

void configure(const options& o) { st.opts = o; }
void set_clock(clock_source c) {
    clock_ticks.store(c.ticks);
    clock_simulated.store(c.simulated);
}
const std::string& last_load_error() { return load_error; }

FMUSIC_MODULE* load_song(const void* data, std::size_t size) {
    auto fail = [&](const std::string& why) -> FMUSIC_MODULE* {
        load_error = why;
        return nullptr;
    };
    if (!data || size == 0)
        return fail("empty file");
    if (size > max_song_bytes)
        return fail("too large for a module (" + std::to_string(size) + " bytes; at most " +
                    std::to_string(max_song_bytes) + ")");
    if (const std::string why = check_xm(static_cast<const unsigned char*>(data), size); !why.empty())
        return fail(why);
    int error = 0;
    const char* message = nullptr;
    openmpt_module* m = openmpt_module_create_from_memory2(data, size, openmpt_log_func_silent, nullptr, nullptr,
                                                           nullptr, &error, &message, nullptr);
    if (!m) {
        const std::string said = message ? message : "";
        openmpt_free_string(message);
        return fail("not a playable module (" + (said.empty() ? std::string("unrecognised format") : said) + ")");
    }
    openmpt_free_string(message);
    // Whatever the player had to guess or drop while loading (a cut sample,
    // a sequence too long) would play as another song: refused.
    const char* warnings = openmpt_module_get_metadata(m, "warnings");
    const std::string warned = warnings ? warnings : "";
    openmpt_free_string(warnings);
    if (!warned.empty()) {
        openmpt_module_destroy(m);
        return fail("the player warns: " + warned.substr(0, warned.find('\n')));
    }
    load_error.clear();
    openmpt_module_set_repeat_count(m, -1);  // loops forever
    // No dither: libopenmpt's dither noise would make the samples depend on
    // how the stream is cut into blocks and on its random seed; undithered,
    // every run (and every capture) renders the same samples.
    openmpt_module_ctl_set_integer(m, "dither", 0);
    auto* song = new FMUSIC_MODULE;
    song->module = m;
    return song;
}
std::string library_version() { return song_cache::player_version(); }
const options& current_options() { return st.opts; }
bool device_open() { return st.out != nullptr; }
void set_output(sound_device::device* d) { st.chosen = d; }
bool playing(const FMUSIC_MODULE* song) { return song && song == st.playing; }
void set_sample_sink(sample_sink sink) { st.sink = std::move(sink); }

void pump() { pump_to(now_ticks()); }

void pump_to(Uint32 now) {
    // A device that renders ahead starts with the song: silence before it
    // would only delay the song's first frame by the lead.
    if (st.out && (!st.play_requested || st.out->service()))
        return;
    if (st.out)
        fall_back(now);
    // A clock restarted behind the play tick (tests) reads as no time since
    // play, not as a 49-day jump: ticks since play = max(0, now - play_tick).
    const Uint32 since_play = static_cast<int32_t>(now - st.play_tick) < 0 ? 0 : now - st.play_tick;
    const int64_t target = st.engine.song_start >= 0 ? st.engine.song_start + frames_in(since_play)
                                                     : frames_in(now);
    if (st.engine.out_frame >= target)
        return;
    const std::uint64_t wall0 = cost_clock::wall_ns(), cpu0 = cost_clock::cpu_ns();
    while (st.engine.out_frame < target) {
        const int n = static_cast<int>(std::min<int64_t>(target - st.engine.out_frame, pump_buffer.size() / 2));
        st.engine.render(pump_buffer.data(), n);
        if (st.sink)
            st.sink(pump_buffer.data(), n);
    }
    spent.wall_ns += cost_clock::wall_ns() - wall0;
    spent.cpu_ns += cost_clock::cpu_ns() - cpu0;
}

render_spent song_render_spent() { return spent; }

void fall_back(Uint32 now) {
    std::fprintf(stderr, "sound: the audio output stopped; the show keeps time without it\n");
    FSOUND_Close();
    // A song that plays goes on from the last frame rendered ahead (all of
    // it counts as heard): its play tick moves back so the clock-driven
    // frame at `now`, song_start + floor((now - play) * 44.1), is at least that.
    if (st.engine.song_start >= 0) {
        const int64_t song = st.engine.out_frame - st.engine.song_start;
        st.play_tick = now - static_cast<Uint32>((song * 10 + 440) / 441);
    }
}

saved_song save_song() {
    pump();
    saved_song out;
    out.play_requested = st.play_requested;
    out.song_playing = st.playing != nullptr && st.engine.module != nullptr;
    out.play_tick = st.play_tick;
    const sound_render::renderer& e = st.engine;
    out.out_frame = e.out_frame;
    out.song_start = e.song_start;
    out.last_audible = st.last_audible;
    out.ring_count = e.ring_count;
    auto rec = [](const sound_render::position& p) {
        return saved_song::record{p.first, p.frames, p.order, p.pattern, p.row};
    };
    out.initial = rec(e.initial);
    const int64_t kept = std::min<int64_t>(e.ring_count, sound_render::ring_entries);
    for (int64_t i = e.ring_count - kept; i < e.ring_count; ++i)
        out.ring.push_back(rec(e.ring[static_cast<size_t>(i % sound_render::ring_entries)]));
    out.history.resize(history_kept);
    e.copy_history(e.out_frame, out.history.data(), history_kept);
    return out;
}

bool restore_song(const saved_song& saved, FMUSIC_MODULE* song, std::string& why, const song_cache_use& cache,
                  std::string* cache_note) {
    if (st.out) {
        why = "a sound device is open";
        return false;
    }
    if (saved.ring.size() > sound_render::ring_entries || saved.history.size() != size_t(history_kept) ||
        saved.out_frame < 0 || saved.ring_count < int64_t(saved.ring.size()) ||
        (saved.song_start >= 0 && saved.song_start > saved.out_frame)) {
        why = "the song's saved state does not hold together";
        return false;
    }
    sound_render::renderer& e = st.engine;
    e = sound_render::renderer{};
    openmpt_module* m = song && saved.song_playing ? song->module : nullptr;
    const int64_t song_frames = saved.out_frame - std::max<int64_t>(0, saved.song_start);
    const int into_block = static_cast<int>(song_frames % block_frames);
    std::shared_ptr<const song_cache::blocks> blocks;
    if (m && !cache.path.empty()) {
        std::string note;
        blocks = song_cache::read(cache.path, cache.key, song_frames, note);
        if (cache_note)
            *cache_note = note;
    }
    e.module = m;
    e.cache = blocks;
    if (m) {
        openmpt_module_set_position_order_row(m, 0, 0);
        if (!blocks) {
            // The song from its start up to the block that holds the saved
            // frame, in reads of any size: libopenmpt's state after a read
            // does not depend on how the reads before it were cut (their
            // samples do, by a unit near the cuts). With the cache, the
            // blocks from there on are its own and libopenmpt waits.
            for (int64_t left = song_frames - into_block; left > 0;) {
                const int n = static_cast<int>(std::min<int64_t>(left, pump_buffer.size() / 2));
                if (openmpt_module_read_interleaved_stereo(m, rate, static_cast<size_t>(n), pump_buffer.data()) !=
                    static_cast<size_t>(n)) {
                    why = "the song ends before the saved position";
                    e = sound_render::renderer{};
                    return false;
                }
                left -= n;
            }
            e.module_blocks = song_frames / block_frames;
        }
        // The block that holds the saved frame, read whole as the full run
        // read it, is handed out from the saved frame on.
        if (into_block > 0) {
            e.fill_block(song_frames / block_frames);
            e.pending_at = into_block;
        }
    }
    e.out_frame = saved.out_frame;
    e.song_start = saved.song_start;
    auto pos = [](const saved_song::record& r) {
        return sound_render::position{r.first, r.frames, r.order, r.pattern, r.row};
    };
    e.initial = pos(saved.initial);
    e.ring_count = saved.ring_count;
    const int64_t first = saved.ring_count - static_cast<int64_t>(saved.ring.size());
    for (size_t i = 0; i < saved.ring.size(); ++i)
        e.ring[static_cast<size_t>((first + int64_t(i)) % sound_render::ring_entries)] = pos(saved.ring[i]);
    for (int i = 0; i < history_kept; ++i) {
        const int64_t f = saved.out_frame - history_kept + i;
        if (f >= 0)
            e.history[static_cast<size_t>(f & (sound_render::history_frames - 1))] = saved.history[size_t(i)];
    }
    st.play_requested = saved.play_requested;
    st.playing = saved.song_playing ? song : nullptr;
    st.play_tick = saved.play_tick;
    st.last_audible = saved.last_audible;
    return true;
}

bool write_song_cache(const char* song_path, const song_cache_use& cache, std::string& error) {
    std::string unused;
    if (song_cache::read(cache.path, cache.key, 0, unused))
        return true;  // made for this program, data and player already
    FMUSIC_MODULE* song = FMUSIC_LoadSong(song_path);
    if (!song) {
        error = std::string(song_path) + ": " + load_error;
        return false;
    }
    // the song's first pass, and a second beyond it for a show that ends with it
    const double seconds = openmpt_module_get_duration_seconds(song->module) + 1.0;
    const bool ok = song_cache::write(cache.path, song->module, seconds, cache.key, error);
    openmpt_module_destroy(song->module);
    delete song;
    return ok;
}

void set_test_spectrum(const float* values, int n) {
    test_spectrum.fill(0.0f);
    std::copy_n(values, std::clamp(n, 0, spectrum_size), test_spectrum.begin());
    st.use_test_spectrum = true;
}
void clear_test_spectrum() { st.use_test_spectrum = false; }

void attach_test_device() {
    FSOUND_Close();
    std::string unused;
    test_output.open(device_host(), device_buffer_frames(), unused);
    st.out = &test_output;
}

void feed_test_device(int frames) {
    if (st.out == &test_output)
        test_output.feed(frames);
}

void reset() {
    FSOUND_Close();
    st.engine = sound_render::renderer{};
    st.chosen = nullptr;
    st.play_requested = false;
    st.playing = nullptr;
    st.play_tick = 0;
    st.last_audible = 0;
    st.sink = nullptr;
    st.opts = options{};
    st.fft_unit.active = false;
    st.use_test_spectrum = false;
}

}  // namespace sound_layer
