// The sound layer's spectrum analysis: 1024 mono samples, Hann window,
// real FFT (kissfft), 512 magnitudes. Owns its FFT plan and work arrays;
// reads no audio itself.
#pragma once

#include "sound_format.h"

#include <kiss_fftr.h>

namespace sound_spectrum {

inline constexpr int size = sound_layer::fft_size;     // samples in
inline constexpr int bins = sound_layer::spectrum_size;  // magnitudes out, bin k = k * rate / size Hz
// Level of the read-out: a sine of amplitude a centred on a bin reads a * gain.
// Music spreads its energy over many bins and peaks well below full scale, so
// at gain 1 the scope's bars (100 px per unit) stay a few pixels tall; at 16
// (a sine at -24 dBFS reads 1.0) the loudest bars of the show's song reach
// about 70-170 px and most columns move.
inline constexpr float gain = 16.0f;

struct analyser {
    analyser();
    ~analyser();
    analyser(const analyser&) = delete;
    analyser& operator=(const analyser&) = delete;

    // out[k] = |X_k| * gain * 2 / sum(w) for k = 0..511, X = FFT(w * samples),
    // w = Hann; a full-scale sine centred on bin k gives out[k] = gain.
    void run(const float* samples, float* out);

    kiss_fftr_cfg plan = nullptr;
    float window[size];
    float windowed[size];
    float scale = 0.0f;  // gain * 2 / sum(w)
    kiss_fft_cpx freq[size / 2 + 1];
};

}  // namespace sound_spectrum
