// libFuzzer target for the song through the sound layer: the input loaded
// as a module from memory, played for three seconds of a simulated clock in
// 60 ms steps, reading time, order, pattern, row and the spectrum at each
// step, then freed. Owns the simulated tick counter.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "sound_layer.h"

namespace {
Uint32 now = 0;
Uint32 ticks() { return now; }
bool simulated() { return true; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        sound_layer::set_clock({ticks, simulated});
        return FSOUND_Init(44100, 32, 0) && FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), true);
    }();
    if (!ready) __builtin_trap();

    FMUSIC_MODULE* song = sound_layer::load_song(data, size);
    if (!song) {
        if (sound_layer::last_load_error().empty()) __builtin_trap();  // a refusal says why
        return 0;
    }
    FMUSIC_PlaySong(song);
    const Uint32 start = now;
    unsigned last_time = 0;
    for (int step = 0; step < 50; ++step) {
        now += 60;
        const unsigned t = FMUSIC_GetTime(song);
        if (t < last_time || t != now - start) __builtin_trap();  // the clock-driven song time
        last_time = t;
        (void)FMUSIC_GetOrder(song);
        (void)FMUSIC_GetPattern(song);
        (void)FMUSIC_GetRow(song);
        const float* spectrum = FSOUND_DSP_GetSpectrum();
        for (int k = 0; k < sound_layer::spectrum_size; ++k)
            if (!std::isfinite(spectrum[k]) || spectrum[k] < 0) __builtin_trap();
    }
    FMUSIC_FreeSong(song);
    return 0;
}
