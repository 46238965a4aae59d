// A minimal XM writer for the sound tests: one channel, at most one
// instrument with one looped 16-bit sample, patterns of any row count and
// an order list. Writes only what the tests need; no validation.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace test_xm {

struct cell {
    uint8_t note = 0;    // 1 = C-0 .. 96; 0 = none
    uint8_t instr = 0;
    uint8_t effect = 0;  // e.g. 0x0F = set speed/BPM
    uint8_t param = 0;
};

struct pattern {
    std::vector<cell> rows;  // one channel
};

struct song {
    std::vector<uint8_t> orders;
    int restart = 0;
    int speed = 3;
    int bpm = 150;
    std::vector<pattern> patterns;
    std::vector<int16_t> sample;  // looped whole; empty = no instrument
    int sample_volume = 64;
};

inline void put8(std::vector<uint8_t>& b, int v) { b.push_back(static_cast<uint8_t>(v)); }
inline void put16(std::vector<uint8_t>& b, int v) {
    put8(b, v & 0xFF);
    put8(b, (v >> 8) & 0xFF);
}
inline void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, static_cast<int>(v & 0xFFFF));
    put16(b, static_cast<int>(v >> 16));
}
inline void put_text(std::vector<uint8_t>& b, const std::string& s, size_t n) {
    for (size_t i = 0; i < n; ++i)
        put8(b, i < s.size() ? s[i] : 0);
}

inline std::vector<uint8_t> build(const song& s) {
    std::vector<uint8_t> b;
    put_text(b, "Extended Module: ", 17);
    put_text(b, "sound test", 20);
    put8(b, 0x1A);
    put_text(b, "test writer", 20);
    put16(b, 0x0104);
    put32(b, 276);  // header size, from this field
    put16(b, static_cast<int>(s.orders.size()));
    put16(b, s.restart);
    put16(b, 1);  // channels
    put16(b, static_cast<int>(s.patterns.size()));
    put16(b, s.sample.empty() ? 0 : 1);
    put16(b, 1);  // linear frequency table
    put16(b, s.speed);
    put16(b, s.bpm);
    for (int i = 0; i < 256; ++i)
        put8(b, i < static_cast<int>(s.orders.size()) ? s.orders[static_cast<size_t>(i)] : 0);

    for (const pattern& p : s.patterns) {
        std::vector<uint8_t> data;
        for (const cell& c : p.rows) {
            // Packed: flag byte 0x80 | which fields follow.
            int flags = 0x80;
            if (c.note) flags |= 1;
            if (c.instr) flags |= 2;
            if (c.effect) flags |= 8;
            if (c.param) flags |= 16;
            put8(data, flags);
            if (c.note) put8(data, c.note);
            if (c.instr) put8(data, c.instr);
            if (c.effect) put8(data, c.effect);
            if (c.param) put8(data, c.param);
        }
        put32(b, 9);
        put8(b, 0);
        put16(b, static_cast<int>(p.rows.size()));
        put16(b, static_cast<int>(data.size()));
        b.insert(b.end(), data.begin(), data.end());
    }

    if (!s.sample.empty()) {
        put32(b, 263);
        put_text(b, "sine", 22);
        put8(b, 0);
        put16(b, 1);      // one sample
        put32(b, 40);     // sample header size
        for (int i = 0; i < 96; ++i) put8(b, 0);   // every note -> sample 0
        for (int i = 0; i < 96; ++i) put8(b, 0);   // envelopes unused
        for (int i = 0; i < 16; ++i) put8(b, 0);   // points, sustain/loop, types, vibrato, fadeout
        for (int i = 0; i < 22; ++i) put8(b, 0);   // reserved
        const uint32_t bytes = static_cast<uint32_t>(s.sample.size() * 2);
        put32(b, bytes);
        put32(b, 0);                               // loop start
        put32(b, bytes);                           // loop length
        put8(b, s.sample_volume);
        put8(b, 0);                                // finetune
        put8(b, 0x01 | 0x10);                      // forward loop, 16-bit
        put8(b, 128);                              // panning: centre
        put8(b, 0);                                // relative note
        put8(b, 0);
        put_text(b, "sine", 22);
        int16_t prev = 0;
        for (int16_t v : s.sample) {               // delta-coded
            put16(b, static_cast<uint16_t>(v - prev));
            prev = v;
        }
    }
    return b;
}

inline bool write(const std::string& path, const song& s) {
    const std::vector<uint8_t> b = build(s);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace test_xm
