// The XM (Extended Module) file writer: lays out the header, the packed
// patterns and the instruments with delta-encoded 16-bit samples, little endian.
// Validates every count against the format's limits before writing.
#include "song/xm_writer.h"

namespace xm {
namespace {

struct byte_sink {
    std::vector<uint8_t> out;
    void u8(unsigned v) { out.push_back(uint8_t(v & 0xFF)); }
    void u16(unsigned v) {
        u8(v);
        u8(v >> 8);
    }
    void u32(uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    // Fixed-width text field, padded with zero bytes (or spaces).
    void text(const std::string& s, size_t width, char pad = 0) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? uint8_t(s[i]) : uint8_t(pad));
    }
    void zeros(size_t n) { out.insert(out.end(), n, 0); }
};

// Packed cell: a mask byte (bit 7 set) saying which of the five fields follow.
void pack_cell(byte_sink& s, const cell& c) {
    const bool full = c.note && c.instrument && c.volume && c.effect && c.param;
    if (full) {  // all five present: the unpacked form is one byte shorter
        s.u8(c.note);
        s.u8(c.instrument);
        s.u8(c.volume);
        s.u8(c.effect);
        s.u8(c.param);
        return;
    }
    unsigned mask = 0x80;
    if (c.note) mask |= 1;
    if (c.instrument) mask |= 2;
    if (c.volume) mask |= 4;
    if (c.effect) mask |= 8;
    if (c.param) mask |= 16;
    s.u8(mask);
    if (c.note) s.u8(c.note);
    if (c.instrument) s.u8(c.instrument);
    if (c.volume) s.u8(c.volume);
    if (c.effect) s.u8(c.effect);
    if (c.param) s.u8(c.param);
}

bool check(const module& m, std::string& error) {
    if (m.channels < 1 || m.channels > 32) return error = "channel count must be 1..32", false;
    if (m.orders.empty() || m.orders.size() > 256) return error = "order list must hold 1..256 entries", false;
    if (m.patterns.empty() || m.patterns.size() > 256) return error = "pattern count must be 1..256", false;
    if (m.instruments.size() > 128) return error = "at most 128 instruments", false;
    if (m.speed < 1 || m.speed > 31 || m.bpm < 32 || m.bpm > 255) return error = "speed 1..31 and bpm 32..255", false;
    for (uint8_t o : m.orders)
        if (o >= m.patterns.size()) return error = "order list names a missing pattern", false;
    for (const pattern& p : m.patterns) {
        if (p.rows < 1 || p.rows > 256 || p.channels != m.channels) return error = "pattern rows 1..256, one cell per channel", false;
        for (const cell& c : p.cells) {
            if (c.note > key_off) return error = "note above key off", false;
            if (c.instrument > m.instruments.size()) return error = "cell names a missing instrument", false;
        }
    }
    for (const instrument& in : m.instruments) {
        const envelope& e = in.volume_env;
        const int n = int(e.points.size());
        if (n > 12) return error = "instrument " + in.name + ": more than 12 envelope points", false;
        if (e.sustain >= n || e.loop_start >= n || e.loop_end >= n) return error = "instrument " + in.name + ": envelope index out of range", false;
        for (int i = 1; i < n; ++i)
            if (e.points[size_t(i)].first <= e.points[size_t(i - 1)].first)
                return error = "instrument " + in.name + ": envelope ticks must rise", false;
        const sample& s = in.smp;
        if (s.data.size() > 0x3FFFFFFF) return error = "instrument " + in.name + ": sample too long", false;
        if (s.loop_length && uint64_t(s.loop_start) + s.loop_length > s.data.size())
            return error = "instrument " + in.name + ": loop runs past the sample end", false;
        if (s.volume > 64) return error = "instrument " + in.name + ": sample volume above 64", false;
    }
    return true;
}

void write_instrument(byte_sink& s, const instrument& in) {
    const bool has_sample = !in.smp.data.empty();
    s.u32(has_sample ? 263 : 29);  // instrument header size
    s.text(in.name, 22);
    s.u8(0);                       // type
    s.u16(has_sample ? 1 : 0);     // sample count
    if (!has_sample) return;
    s.u32(40);                     // sample header size
    s.zeros(96);                   // keymap: every key plays sample 0
    const envelope& e = in.volume_env;
    for (size_t i = 0; i < 12; ++i) {
        s.u16(i < e.points.size() ? e.points[i].first : 0);
        s.u16(i < e.points.size() ? e.points[i].second : 0);
    }
    s.zeros(48);  // panning envelope (unused)
    s.u8(unsigned(e.points.size()));
    s.u8(0);
    s.u8(e.sustain < 0 ? 0 : unsigned(e.sustain));
    s.u8(e.loop_start < 0 ? 0 : unsigned(e.loop_start));
    s.u8(e.loop_end < 0 ? 0 : unsigned(e.loop_end));
    s.u8(0);
    s.u8(0);
    s.u8(0);
    // volume envelope type: bit 0 on, bit 1 sustain, bit 2 loop
    s.u8((e.on() ? 1u : 0u) | (e.sustain >= 0 ? 2u : 0u) | (e.loop_start >= 0 && e.loop_end >= 0 ? 4u : 0u));
    s.u8(0);  // panning envelope type
    s.u8(in.vibrato_type);
    s.u8(in.vibrato_sweep);
    s.u8(in.vibrato_depth);
    s.u8(in.vibrato_rate);
    s.u16(in.fadeout);
    s.zeros(22);  // reserved

    // Sample header: lengths in bytes (two per 16-bit frame).
    const sample& m = in.smp;
    s.u32(uint32_t(m.data.size() * 2));
    s.u32(m.loop_length ? m.loop_start * 2 : 0);
    s.u32(m.loop_length * 2);
    s.u8(m.volume);
    s.u8(uint8_t(m.finetune));
    s.u8((m.loop_length ? (m.ping_pong ? 2u : 1u) : 0u) | 0x10u);  // bit 4: 16-bit data
    s.u8(m.panning);
    s.u8(uint8_t(m.relative_note));
    s.u8(0);
    s.text(m.name, 22);
}

void write_sample_data(byte_sink& s, const sample& m) {
    // Delta encoding: each stored word is the difference to the previous frame
    // (modulo 2^16): stored[i] = data[i] - data[i - 1], data[-1] = 0.
    uint16_t prev = 0;
    for (int16_t v : m.data) {
        const uint16_t cur = uint16_t(v);
        s.u16(uint16_t(cur - prev));
        prev = cur;
    }
}

}  // namespace

std::vector<uint8_t> write(const module& m, std::string& error) {
    if (!check(m, error)) return {};
    byte_sink s;
    s.text("Extended Module: ", 17);
    s.text(m.name, 20);
    s.u8(0x1A);
    s.text(m.tracker, 20);
    s.u16(0x0104);
    s.u32(276);  // header size from this field on
    s.u16(unsigned(m.orders.size()));
    s.u16(unsigned(m.restart));
    s.u16(unsigned(m.channels));
    s.u16(unsigned(m.patterns.size()));
    s.u16(unsigned(m.instruments.size()));
    s.u16(m.linear_frequencies ? 1 : 0);
    s.u16(unsigned(m.speed));
    s.u16(unsigned(m.bpm));
    for (size_t i = 0; i < 256; ++i) s.u8(i < m.orders.size() ? m.orders[i] : 0);

    for (const pattern& p : m.patterns) {
        byte_sink body;
        for (const cell& c : p.cells) pack_cell(body, c);
        if (body.out.size() > 0xFFFF) {
            error = "a pattern packs to more than 65535 bytes";
            return {};
        }
        s.u32(9);  // pattern header size
        s.u8(0);   // packing type
        s.u16(unsigned(p.rows));
        s.u16(unsigned(body.out.size()));
        s.out.insert(s.out.end(), body.out.begin(), body.out.end());
    }
    for (const instrument& in : m.instruments) {
        write_instrument(s, in);
        if (!in.smp.data.empty()) write_sample_data(s, in.smp);
    }
    return std::move(s.out);
}

}  // namespace xm
