// Instrument synthesis for the soundtrack: drums, cymbals, bass, pad, lead,
// arpeggio, bell, riser and stab, each made from oscillators, filters and a
// seeded noise source into one 16-bit XM instrument. Owns no pattern data.
#pragma once

#include <vector>

#include "song/xm_writer.h"

namespace synth {

// Instrument numbers as the patterns name them (1-based, XM style).
enum id : int {
    kick = 1,
    snare,
    hat_closed,
    hat_open,
    crash,
    impact,
    bass,
    pad,
    lead,
    arp,
    bell,
    riser,
    stab,
    pad_swell,  // the pad with a slow swell, for the intro and the breakdown
    count = pad_swell
};

// All instruments in id order (element i is instrument i + 1); same samples on every run.
std::vector<xm::instrument> make_instruments();

// Relative note and finetune that make a sample synthesised at `rate` with
// fundamental `f0` sound at true pitch: playing MIDI note `ref_midi` gives
// 440 * 2^((ref_midi - 69) / 12) Hz (with the XM linear table, C-4 = 8363 Hz).
void tune(xm::sample& s, double rate, double f0, int ref_midi);

}  // namespace synth
