// The sound layer's stream format, defined once: the output rate, the render
// block, and the spectrum's FFT size. Every part of the layer (and the
// recorders that take its samples) reads these.
#pragma once

namespace sound_layer {
inline constexpr int rate = 44100;         // sample frames a second, stereo
inline constexpr int block_frames = 256;   // the most frames rendered at once
inline constexpr int fft_size = 1024;      // mono samples into the spectrum
inline constexpr int spectrum_size = fft_size / 2;  // magnitudes out
}  // namespace sound_layer
