// The browser's audio output for the sound layer: the worklet device over the
// page's script (web/audio.js), which owns the AudioContext and the worklet.
// Browser only.
#pragma once

#include "audio_device.h"

namespace web_audio {

// The output to hand sound_layer::set_output; its lead is the page's.
sound_device::device& output();

}  // namespace web_audio
