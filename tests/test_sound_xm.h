// Small songs for the sound tests: one channel, at most one instrument with
// one looped 16-bit sample, patterns of any row count and an order list,
// written through the generator's XM writer.
#pragma once

#include "song/xm_writer.h"

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

inline std::vector<uint8_t> build(const song& s) {
    xm::module m;
    m.name = "sound test";
    m.channels = 1;
    m.speed = s.speed;
    m.bpm = s.bpm;
    m.orders = s.orders;
    m.restart = s.restart;
    for (const pattern& p : s.patterns) {
        xm::pattern& out = m.patterns.emplace_back(static_cast<int>(p.rows.size()), 1);
        for (size_t r = 0; r < p.rows.size(); ++r) {
            const cell& c = p.rows[r];
            out.at(static_cast<int>(r), 0) = {c.note, c.instr, 0, c.effect, c.param};
        }
    }
    if (!s.sample.empty()) {
        xm::instrument& i = m.instruments.emplace_back();
        i.name = "sine";
        i.smp.data = s.sample;
        i.smp.loop_length = static_cast<uint32_t>(s.sample.size());
        i.smp.volume = static_cast<uint8_t>(s.sample_volume);
    }
    std::string error;
    return xm::write(m, error);
}

inline bool write(const std::string& path, const song& s) {
    const std::vector<uint8_t> b = build(s);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || b.empty()) {
        if (f) std::fclose(f);
        return false;
    }
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    return std::fclose(f) == 0 && ok;
}

// A song of one silent 64-row pattern written to `path`: the path, or empty
// when it could not be written.
inline std::string write_silent(const std::string& path) {
    song s;
    s.orders = {0};
    s.patterns.resize(1);
    s.patterns[0].rows.resize(64);
    return write(path, s) ? path : std::string();
}

}  // namespace test_xm
