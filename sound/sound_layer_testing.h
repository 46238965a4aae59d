// The sound layer's hooks for tests and benchmarks: a spectrum to hand
// out instead of the engine's, a stand-in audio device fed by hand, and a
// reset to the start state. Nothing in the show includes this header.
#pragma once

namespace sound_layer {
// Test hook: the next FSOUND_DSP_GetSpectrum calls refill the array with
// these n values (the rest zero) instead of the engine's analysis.
void set_test_spectrum(const float* values, int n);
void clear_test_spectrum();

// Test hook: a stand-in audio device with no SDL behind it. Once attached
// the layer runs its device path; each feed_test_device call is one device
// request of `frames` frames, rendered through the audio callback at the
// current tick. FSOUND_Close (or reset) detaches it.
void attach_test_device();
void feed_test_device(int frames);

// Back to the start state (tests): closes the device, forgets the playing
// song (it stays loaded), drops the sink, options, chosen output and frame
// counters.
void reset();
}  // namespace sound_layer
