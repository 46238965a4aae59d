// The sound layer's spectrum analysis: Hann window, kissfft real FFT,
// magnitudes scaled so a full-scale sine reads `gain`. No audio, no device.
#include "sound_spectrum.h"

#include <cmath>
#include <numbers>

namespace sound_spectrum {

analyser::analyser() {
    plan = kiss_fftr_alloc(size, 0, nullptr, nullptr);
    double sum = 0.0;
    for (int i = 0; i < size; ++i) {
        // w(i) = 0.5 - 0.5 cos(2 pi i / N), periodic Hann
        window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / size));
        sum += window[i];
    }
    scale = static_cast<float>(gain * 2.0 / sum);
}

analyser::~analyser() { kiss_fftr_free(plan); }

void analyser::run(const float* samples, float* out) {
    for (int i = 0; i < size; ++i)
        windowed[i] = samples[i] * window[i];
    kiss_fftr(plan, windowed, freq);
    for (int k = 0; k < bins; ++k)
        out[k] = std::sqrt(freq[k].r * freq[k].r + freq[k].i * freq[k].i) * scale;
}

}  // namespace sound_spectrum
