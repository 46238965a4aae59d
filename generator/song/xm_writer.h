// The XM (Extended Module) file writer: module, pattern, instrument and
// sample records as plain structs, serialised to the bytes of an XM 1.04 file.
// Knows nothing of the music; the composition fills these records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xm {

constexpr uint8_t key_off = 97;  // note value that releases the playing note

// One pattern cell. note 0 = none, 1..96 = C-0..B-7, 97 = key off;
// instrument 0 = none; volume column 0 = none, 0x10..0x50 = set volume 0..64;
// effect/param as in the tracker (0x0 with param 0 = none).
struct cell {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
    bool empty() const { return note == 0 && instrument == 0 && volume == 0 && effect == 0 && param == 0; }
};

struct pattern {
    int rows = 64;
    int channels = 0;
    std::vector<cell> cells;  // row * channels + channel
    pattern(int rows_, int channels_) : rows(rows_), channels(channels_), cells(size_t(rows_) * size_t(channels_)) {}
    cell& at(int row, int channel) { return cells[size_t(row) * size_t(channels) + size_t(channel)]; }
    const cell& at(int row, int channel) const { return cells[size_t(row) * size_t(channels) + size_t(channel)]; }
};

// Envelope points are (tick, value 0..64); at most 12.
struct envelope {
    std::vector<std::pair<uint16_t, uint16_t>> points;
    int sustain = -1;     // point index held until key off, or -1
    int loop_start = -1;  // loop point indices, or -1
    int loop_end = -1;
    bool on() const { return !points.empty(); }
};

// A 16-bit mono sample; loop lengths count sample frames (not bytes).
struct sample {
    std::string name;
    std::vector<int16_t> data;
    uint32_t loop_start = 0;
    uint32_t loop_length = 0;  // 0: no loop
    bool ping_pong = false;
    uint8_t volume = 64;      // 0..64
    int8_t finetune = 0;      // 1/128 semitone
    uint8_t panning = 128;    // 0 left .. 255 right
    int8_t relative_note = 0; // semitones added to the played note
};

// One instrument holds one sample mapped over all keys.
struct instrument {
    std::string name;
    sample smp;
    envelope volume_env;
    uint16_t fadeout = 0;  // subtracted from the 32768 fade volume each tick after key off
    uint8_t vibrato_type = 0, vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
};

struct module {
    std::string name;
    std::string tracker = "ostragen";
    int channels = 8;
    int speed = 6;  // ticks per row
    int bpm = 125;  // tick length = 2.5 / bpm seconds
    bool linear_frequencies = true;
    std::vector<uint8_t> orders;
    int restart = 0;  // the order the song loops back to
    std::vector<pattern> patterns;
    std::vector<instrument> instruments;
};

// Serialises the module; returns an empty vector and fills error when a
// record is out of the format's range (too many channels, rows, points...).
std::vector<uint8_t> write(const module& m, std::string& error);

}  // namespace xm
