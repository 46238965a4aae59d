// The sound layer: the calls the show makes into the sound system (song
// time, row, pattern, spectrum). Owns the spectrum array it hands out.
#pragma once

// 512 magnitudes, writable by the caller and refilled on every call.
float* FSOUND_DSP_GetSpectrum();

namespace sound_layer {
inline constexpr int spectrum_size = 512;
// Test hook: the next FSOUND_DSP_GetSpectrum calls refill the array with
// these n values (the rest zero) instead of the engine's analysis.
void set_test_spectrum(const float* values, int n);
void clear_test_spectrum();
}  // namespace sound_layer
