// The sound layer's calls (interim: song clock only, silent spectrum unless
// a test supplies one). The engine over libopenmpt follows.
#include "sound_layer.h"

#include "clock.h"

#include <algorithm>
#include <array>

struct FMUSIC_MODULE {
    int unused = 0;
};
struct FSOUND_DSPUNIT {
    bool active = false;
};

namespace {
std::array<float, sound_layer::spectrum_size> spectrum_out{};
std::array<float, sound_layer::spectrum_size> test_spectrum{};
bool use_test_spectrum = false;
sound_layer::options opts;
FSOUND_DSPUNIT fft_unit;
bool started = false;
Uint32 play_tick = 0;
const FMUSIC_MODULE* now_playing = nullptr;
}  // namespace

bool FSOUND_SetOutput(int) { return true; }
bool FSOUND_SetDriver(int) { return true; }
bool FSOUND_Init(int, int, unsigned) { return true; }
void FSOUND_Close() {}
FSOUND_DSPUNIT* FSOUND_DSP_GetFFTUnit() { return &fft_unit; }
bool FSOUND_DSP_SetActive(FSOUND_DSPUNIT* unit, bool active) {
    if (unit)
        unit->active = active;
    return unit != nullptr;
}

float* FSOUND_DSP_GetSpectrum() {
    if (use_test_spectrum)
        spectrum_out = test_spectrum;
    else
        spectrum_out.fill(0.0f);
    return spectrum_out.data();
}

FMUSIC_MODULE* FMUSIC_LoadSong(const char*) { return new FMUSIC_MODULE; }
bool FMUSIC_PlaySong(FMUSIC_MODULE* song) {
    started = true;
    play_tick = clk::ticks();
    now_playing = song;
    return song != nullptr;
}
bool FMUSIC_FreeSong(FMUSIC_MODULE* song) {
    if (now_playing == song)
        now_playing = nullptr;
    delete song;
    return true;
}
unsigned FMUSIC_GetTime(FMUSIC_MODULE*) { return started ? clk::ticks() - play_tick : 0; }
int FMUSIC_GetOrder(FMUSIC_MODULE*) { return 0; }
int FMUSIC_GetPattern(FMUSIC_MODULE*) { return 0; }
int FMUSIC_GetRow(FMUSIC_MODULE*) { return 0; }

namespace sound_layer {
void configure(const options& o) { opts = o; }
const options& current_options() { return opts; }
bool device_open() { return false; }
bool playing(const FMUSIC_MODULE* song) { return song && song == now_playing; }
void set_sample_sink(sample_sink) {}
void pump() {}
void set_test_spectrum(const float* values, int n) {
    test_spectrum.fill(0.0f);
    std::copy_n(values, std::clamp(n, 0, spectrum_size), test_spectrum.begin());
    use_test_spectrum = true;
}
void clear_test_spectrum() { use_test_spectrum = false; }
void reset() {
    use_test_spectrum = false;
    opts = {};
    started = false;
    now_playing = nullptr;
}
}  // namespace sound_layer
