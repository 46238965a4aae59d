// The composition of the show's soundtrack, in A minor at 120 BPM (16 rows a
// bar, 4 bars a pattern): every part is written row by row on one global row
// grid that follows the scenes, then cut into patterns. Touches no file.
#include "song/compose.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "show_timeline.h"
#include "song/synth_instruments.h"

namespace song {
namespace {

constexpr int total_rows = pattern_count * rows_per_pattern;
// The row at which a scene of the show's timeline begins.
constexpr int scene_row(const char* name) { return row_at(show_timeline::find(name)->first_ms / 1000.0); }

constexpr int music_end = row_at(show_timeline::show_end_ms / 1000.0);  // the show's end: silence from here on

enum channel : int { ch_kick, ch_snare, ch_hat, ch_crash, ch_sweeps, ch_bass, ch_pad1, ch_pad2, ch_pad3, ch_lead, ch_arp, ch_echo, ch_stab, ch_bell };

// XM effect numbers used here.
constexpr uint8_t effect_panning = 0x08;        // 8xx: channel panning
constexpr uint8_t effect_global_volume = 0x10;  // Gxx: global volume 0..64

// The timeline's sections, by global row.
enum section { intro, beat, flame, flashes, heavy, drive, breakdown, closing, silent };

constexpr int g_beat = scene_row("beat");     // pattern 2 row 32: drums enter with the first 3D scene
constexpr int g_flame = scene_row("flame");   // pattern 5: the flame scene
constexpr int g_lead = row_at(55.0);          // pattern 6 row 56: lights and the lead enter
constexpr int g_flashes = 9 * 64;             // pattern 9: the white flashes on rows 24 and 28
constexpr int g_heavy = scene_row("corner");  // pattern 10: the corner room
// 93 s, two rows before the backdrop cycle (its pictures change every row).
constexpr int g_drive = scene_row("backdrop") - 2;
constexpr int g_breakdown = scene_row("greetings");
constexpr int g_closing = scene_row("final");
static_assert(g_heavy == 10 * 64 && g_drive == 11 * 64 + 40, "the sections fall on these rows");
constexpr int g_fade = row_at(148.0);         // fade to silence by 160 s

section section_of(int g) {
    if (g >= music_end) return silent;
    if (g >= g_closing) return closing;
    if (g >= g_breakdown) return breakdown;
    if (g >= g_drive) return drive;
    if (g >= g_heavy) return heavy;
    if (g >= g_flashes) return flashes;
    if (g >= g_flame) return flame;
    if (g >= g_beat) return beat;
    return intro;
}

// --- harmony -------------------------------------------------------------------

struct chord {
    int root;                 // pitch class, C = 0
    std::vector<int> steps;   // intervals above the root
};

const chord Am{9, {0, 3, 7}}, F{5, {0, 4, 7}}, C{0, {0, 4, 7}}, G{7, {0, 4, 7}}, Em{4, {0, 3, 7}}, Dm{2, {0, 3, 7}},
    E{4, {0, 4, 7}}, Fmaj7{5, {0, 4, 11}}, Em7{4, {0, 3, 10}}, Dm7{2, {0, 3, 10}}, Cmaj7{0, {0, 4, 11}}, Am9{9, {0, 3, 14}};

// One chord per bar, 80 bars = 160 s.
const chord* progression(int bar) {
    static const chord* bars[80] = {
        &Am9, &F, &C, &G,       &Am, &F, &C, &Em,      // intro
        &Am, &F, &C, &G,        &Am, &F, &C, &G,       // drums enter (bar 10)
        &Am, &F, &Dm, &E,       &F, &G, &Am, &Am,      // flame scene
        &F, &G, &E, &E,         &Am, &F, &C, &G,       // lead theme
        &Am, &F, &Dm, &E,       &F, &G, &E, &E,        // flashes, build
        &Am, &F, &Dm, &E,       &Am, &F, &Dm, &E,      // heavy; driving from bar 46.5
        &Am, &F, &C, &G,        &Am, &F, &C, &G,       // driving
        &Am, &F, &C, &Fmaj7,    &Em7, &Dm7, &Cmaj7, &Fmaj7,  // breakdown from bar 59
        &G, &Am, &F, &C,        &G, &Am, &F, &Dm,      // closing theme from bar 65
        &E, &Am, &F, &C,        &G, &Am, &Am, &Am};
    return bars[std::clamp(bar, 0, 79)];
}

// Chord tones placed in [lo, lo + 12), sorted.
std::vector<int> voicing(const chord& c, int lo) {
    std::vector<int> v;
    for (int s : c.steps) {
        int n = c.root + s;
        while (n < lo) n += 12;
        while (n >= lo + 12) n -= 12;
        v.push_back(n);
    }
    std::sort(v.begin(), v.end());
    return v;
}

int bass_root(const chord& c) {
    int n = c.root + 24;  // MIDI octave 1-2
    while (n < 33) n += 12;
    return n;  // 33..44: A1..G#2
}

// --- melodies --------------------------------------------------------------------

struct note_event {
    int at;    // row offset from the phrase start
    int midi;  // -1: rest
    int len;
};

// "E5 4 D5 2 - 2": note name (sharps with #) and octave, then length in rows; "-" rests.
std::vector<note_event> phrase(const std::string& text) {
    static const int pc[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    std::istringstream in(text);
    std::vector<note_event> out;
    std::string name;
    int len = 0, at = 0;
    while (in >> name >> len) {
        int midi = -1;
        if (name != "-") {
            const int letter = pc[name[0] - 'A'];
            const bool sharp = name[1] == '#';
            const int octave = name[sharp ? 2 : 1] - '0';
            midi = 12 * (octave + 1) + letter + (sharp ? 1 : 0);
        }
        out.push_back({at, midi, len});
        at += len;
    }
    return out;
}

// Bars 1-8 of the main theme, over Am F C G | Am F Dm E.
const char* const main_theme =
    "E5 4 D5 2 C5 2 D5 4 E5 4  C5 6 A4 2 C5 4 F5 4  E5 6 G5 2 E5 4 D5 4  D5 8 B4 4 G4 4 "
    "E5 4 D5 2 C5 2 D5 4 E5 2 G5 2  A5 6 G5 2 F5 4 E5 4  F5 4 E5 2 D5 2 C5 4 D5 4  E5 8 G#4 4 B4 4";
// The driving theme, over Am F C G.
const char* const drive_theme =
    "A4 2 C5 2 E5 2 A5 4 G5 2 E5 2 D5 2  C5 2 F5 2 A5 2 C6 4 A5 2 F5 2 E5 2  "
    "G4 2 C5 2 E5 2 G5 4 E5 2 D5 2 C5 2  D5 4 B4 2 D5 2 G5 6 B4 2";
const char* const drive_answer =
    "A5 4 G5 2 E5 2 A5 4 B5 2 C6 2  C6 4 A5 2 F5 2 C6 4 D6 2 C6 2  "
    "B5 4 G5 2 E5 2 C6 4 B5 2 G5 2  B5 6 A5 2 G5 4 D5 4";
// Heavy section, over Am F Dm E.
const char* const heavy_motif = "A5 12 G5 2 E5 2  F5 8 E5 4 C5 4  D5 12 E5 2 F5 2  E5 6 D5 2 E5 4 G#5 4";
// Flame scene, lead pickup and the bars around the flashes.
const char* const lead_pickup = "G#4 2 B4 2 D5 4";
const char* const flash_lead = "F5 4 E5 4 D5 4 C5 4  D5 8 D5 4 E5 4  E5 16  - 16";
// Bells: intro and the greetings.
const char* const intro_bells =
    "A5 6 E5 2 - 8  A5 6 C6 2 - 8  G5 6 E5 2 - 8  D5 16  A5 6 E5 2 - 8  A5 6 C6 2 - 8  G5 6 E5 2 D5 8  B4 16 "
    "A5 6 E5 2 - 8  A5 6 C6 2 - 8";
const char* const breakdown_bells = "A5 8 G5 8  G5 8 E5 8  F5 8 D5 8  E5 12 G5 4  C6 8 A5 8  B5 8 D6 4 B5 4";
const char* const flame_bells = "E6 4 - 12  D6 4 - 12  E6 4 - 4 D6 4 C6 4  B5 16  A5 4 - 12  B5 4 - 12  G#5 4 - 4 B5 4 E6 4  - 16";
const char* const closing_tail = "E5 4 D5 2 C5 2 D5 4 E5 4  C5 6 A4 2 C5 4 F5 4  E5 6 G5 2 E5 4 D5 4  D5 8 B4 4 G4 4  A4 48";

// The mix: how loud each instrument sits against the others, as a factor on
// the volumes the parts ask for (the samples are all normalised alike).
double mix_gain(int instrument) {
    constexpr double master = 0.84;  // headroom: peaks near -4.5 dBFS in libopenmpt, -2 in libxmp
    switch (instrument) {
    case synth::snare: return master * 1.35;
    case synth::hat_closed: case synth::hat_open: return master * 1.5;
    case synth::impact: return master * 0.9;
    case synth::bass: return master * 0.6;
    case synth::pad: case synth::pad_swell: return master * 0.75;
    case synth::lead: return master * 1.4;
    case synth::arp: return master * 0.75;
    case synth::bell: return master * 0.9;
    default: return master;
    }
}

// --- the row grid ----------------------------------------------------------------

struct score {
    std::vector<xm::cell> grid = std::vector<xm::cell>(size_t(total_rows) * channel_count);

    xm::cell& at(int g, int ch) { return grid[size_t(g) * channel_count + size_t(ch)]; }

    // MIDI note m sounds as XM note m - 11 (C-4 = MIDI 60 = XM 49); the part's
    // volume 0..64 is scaled by the instrument's mix gain: v = min(64, vol * gain).
    void note(int ch, int g, int midi, int instrument, int vol) {
        if (g < 0 || g >= music_end || midi < 12 || midi > 107) return;
        xm::cell& c = at(g, ch);
        c.note = uint8_t(midi - 11);
        c.instrument = uint8_t(instrument);
        c.volume = uint8_t(0x10 + std::clamp(int(std::lround(vol * mix_gain(instrument))), 0, 64));
    }
    void off(int ch, int g) {
        if (g < 0 || g >= total_rows) return;
        xm::cell& c = at(g, ch);
        if (c.note == 0) c.note = xm::key_off;
    }
    void effect(int ch, int g, uint8_t code, uint8_t param) {
        if (g < 0 || g >= total_rows) return;
        at(g, ch).effect = code;
        at(g, ch).param = param;
    }

    // A melody on a channel from row g0; sustained instruments get a key off
    // where a rest follows; one-shots ring until their next note.
    void melody(int ch, int g0, const char* text, int instrument, int vol, bool sustained, uint8_t pan = 0, int until = music_end) {
        for (const note_event& e : phrase(text)) {
            const int g = g0 + e.at;
            if (g >= until) {
                if (sustained) off(ch, until);
                return;
            }
            if (e.midi < 0) {
                if (sustained) off(ch, g);
                continue;
            }
            note(ch, g, e.midi, instrument, vol);
            if (pan) effect(ch, g, effect_panning, pan);
        }
        if (sustained) {
            int end = g0;
            for (const note_event& e : phrase(text)) end = g0 + e.at + e.len;
            if (end < until) off(ch, end);
        }
    }
};

// --- parts --------------------------------------------------------------------------

void write_drums(score& s) {
    for (int g = 0; g < music_end; ++g) {
        const section sec = section_of(g);
        const int r = g % 16, b = g / 16, pr = g % 64;
        switch (sec) {
        case beat:
        case closing: {
            const bool light = sec == closing && g < g_closing + 32;  // the closing eases in
            if (r % 4 == 0) s.note(ch_kick, g, 60, synth::kick, light ? 40 : 52);
            if (r == 4 || r == 12) s.note(ch_snare, g, 60, synth::snare, light ? 30 : 42);
            if (r % 2 == 0) {
                const bool open = sec == closing && r % 4 == 2;
                s.note(ch_hat, g, 60, open ? synth::hat_open : synth::hat_closed, open ? 20 : (r % 4 == 2 ? 34 : 26));
            }
            if (b % 4 == 3 && r == 14) s.note(ch_snare, g, 60, synth::snare, 22);
            break;
        }
        case flame:
            if (r % 4 == 0 || (b % 2 == 1 && r == 10)) s.note(ch_kick, g, 60, synth::kick, r == 10 ? 38 : 54);
            if (r == 4 || r == 12) s.note(ch_snare, g, 60, synth::snare, 44);
            if (b % 4 == 3 && r >= 13) s.note(ch_snare, g, 60, synth::snare, 18 + 6 * (r - 13));
            if (r % 2 == 0) s.note(ch_hat, g, 60, r % 4 == 2 ? synth::hat_open : synth::hat_closed, r % 4 == 2 ? 22 : 26);
            break;
        case flashes:
            if (pr < 24) {  // the groove runs on up to the flashes
                if (r % 4 == 0) s.note(ch_kick, g, 60, synth::kick, 54);
                if (r == 4 || r == 12) s.note(ch_snare, g, 60, synth::snare, 44);
                if (r % 2 == 0) s.note(ch_hat, g, 60, synth::hat_closed, 26);
            } else if (pr == 24 || pr == 28) {  // two unison hits under the white flashes
                s.note(ch_kick, g, 60, synth::kick, 60);
                s.note(ch_snare, g, 60, synth::snare, 40);
            } else if (pr >= 32 && pr < 48) {
                if (r % 4 == 0) s.note(ch_kick, g, 60, synth::kick, 48);
                if (r % 2 == 0) s.note(ch_hat, g, 60, synth::hat_closed, 22);
            } else if (pr >= 48 && pr < 62) {  // snare roll rising into the heavy section, then a breath
                s.note(ch_snare, g, 60, synth::snare, 16 + 2 * (pr - 48));
                if (r % 4 == 0) s.note(ch_kick, g, 60, synth::kick, 50);
            }
            break;
        case heavy:
            if (r == 0 || r == 6 || r == 10) s.note(ch_kick, g, 60, synth::kick, 64);
            if (r == 8) s.note(ch_snare, g, 60, synth::snare, 50);
            if (r % 2 == 0 && r != 8) s.note(ch_hat, g, 60, synth::hat_closed, r == 14 ? 30 : 24);
            break;
        case drive:
            if (r % 4 == 0) s.note(ch_kick, g, 60, synth::kick, 56);
            if (r == 4 || r == 12) s.note(ch_snare, g, 60, synth::snare, 44);
            if (b % 4 == 3 && r >= 12) s.note(ch_snare, g, 60, synth::snare, 24 + 5 * (r - 12));
            s.note(ch_hat, g, 60, r % 4 == 2 ? synth::hat_open : synth::hat_closed, r % 4 == 2 ? 24 : (r % 2 ? 16 : 24));
            break;
        case breakdown:
            if (g >= g_closing - 16) {  // the last bar builds back up
                const int k = g - (g_closing - 16);
                if (k >= 8 || k % 2 == 0) s.note(ch_snare, g, 60, synth::snare, 12 + 3 * k);
                if (k % 4 == 0) s.note(ch_kick, g, 60, synth::kick, 30 + 2 * k);
            }
            break;
        default:
            break;
        }
    }
}

// Tom fills: the kick played higher, falling over the last rows before a change.
void write_fills(score& s) {
    static const int toms[4] = {76, 72, 69, 64};
    for (int g_end : {g_flame, g_lead, g_flashes, g_heavy + 64 + 40, g_closing + 64}) {
        for (int k = 0; k < 4; ++k) s.note(ch_kick, g_end - 4 + k, toms[k], synth::kick, 36 + 4 * k);
        s.note(ch_snare, g_end - 3, 60, synth::snare, 26);
        s.note(ch_snare, g_end - 1, 60, synth::snare, 34);
    }
}

// Accents: crash and impact together; a riser leads into the larger ones.
void accent(score& s, int g, int crash_vol, int impact_vol, bool with_riser) {
    if (crash_vol) s.note(ch_crash, g, 60, synth::crash, crash_vol);
    if (impact_vol) s.note(ch_sweeps, g, 60, synth::impact, impact_vol);
    if (with_riser) s.note(ch_sweeps, g - 16, 60, synth::riser, 26);  // the 2 s riser ends on the accent
}

void write_accents(score& s) {
    // Title cards change at 5, 10 and 15 s; the drums and the first 3D scene at 20 s.
    for (double t : {5.0, 10.0, 15.0}) {
        const int g = row_at(t);
        accent(s, g, 18, 30, t > 5.0);
        s.note(ch_echo, g, voicing(*progression(g / 16), 79)[2], synth::bell, 30);  // a high chime: the chord's top tone
    }
    accent(s, g_beat, 40, 48, true);
    accent(s, g_flame, 38, 40, false);
    accent(s, g_lead + 8, 44, 40, true);  // bar 28: the full theme
    // The white flashes: pattern 9, rows 24 and 28.
    accent(s, g_flashes + 24, 56, 56, false);
    accent(s, g_flashes + 28, 56, 56, false);
    s.note(ch_stab, g_flashes + 24, 55, synth::stab, 48);  // on G, the bar's chord
    s.note(ch_stab, g_flashes + 28, 55, synth::stab, 52);
    s.note(ch_sweeps, g_flashes + 46, 60, synth::riser, 34);  // ends on row 62, before the drop
    // Heavy section: hits on rows 0, 16, 32, 48, 56 and 62 of patterns 10 and 11.
    for (int p = 10; p <= 11; ++p)
        for (int r : {0, 16, 32, 48, 56, 62}) {
            const int g = p * 64 + r;
            accent(s, g, r % 16 == 0 ? 64 : 52, r % 16 == 0 ? 64 : 56, false);
            const chord& c = *progression(g / 16);
            s.note(ch_stab, g, 57 + (c.root + 3) % 12, synth::stab, r % 16 == 0 ? 54 : 46);  // the root, A3..G#4
            s.note(ch_kick, g, 60, synth::kick, 60);
        }
    for (int g = g_drive + 24; g < g_breakdown; g += 64) accent(s, g, 40, 0, false);  // driving phrase starts
    s.note(ch_sweeps, g_breakdown - 16, 60, synth::riser, 22);
    accent(s, g_breakdown, 36, 38, false);
    accent(s, g_closing, 44, 48, true);
    accent(s, g_closing + 128, 40, 30, false);
}

void write_bass(score& s) {
    for (int g = 0; g < music_end; ++g) {
        const section sec = section_of(g);
        const int r = g % 16;
        const chord& c = *progression(g / 16);
        const int root = bass_root(c);
        switch (sec) {
        case intro:
            if (g >= 64 && r == 0) s.note(ch_bass, g, root, synth::bass, 30);
            break;
        case beat:
        case closing:
            if (r == 0 || r == 3 || r == 8 || r == 10) s.note(ch_bass, g, root, synth::bass, 44);
            if (r == 6 || r == 14) s.note(ch_bass, g, root + 12, synth::bass, 36);
            if (r == 12) s.off(ch_bass, g);
            break;
        case flame:
        case flashes:
            if (sec == flashes && g >= g_flashes + 24 && g < g_flashes + 48) {
                if (g == g_flashes + 24 || g == g_flashes + 28) s.note(ch_bass, g, root, synth::bass, 54);
                if (g == g_flashes + 32) s.note(ch_bass, g, root, synth::bass, 40);
                break;
            }
            if (r % 2 == 0) s.note(ch_bass, g, r % 4 == 2 ? root + 12 : root, synth::bass, r % 4 == 2 ? 38 : 46);
            break;
        case heavy:
            if (r == 0 || r == 2 || r == 3 || r == 6 || r == 8 || r == 10 || r == 11 || r == 14)
                s.note(ch_bass, g, root, synth::bass, r == 0 ? 64 : 54);
            break;
        case drive:
            s.note(ch_bass, g, r % 2 ? root + 12 : root, synth::bass, r % 2 ? 36 : 48);
            break;
        case breakdown:
            if (r == 0 && g < g_closing - 16) s.note(ch_bass, g, root, synth::bass, 30);
            if (g == g_closing - 16) s.note(ch_bass, g, root, synth::bass, 36);
            break;
        default:
            break;
        }
    }
    s.at(g_flashes + 62, ch_bass) = {};
    s.at(g_flashes + 63, ch_bass) = {};
    s.off(ch_bass, g_flashes + 62);  // a breath before the heavy section
    s.off(ch_bass, music_end);
}

void write_pads(score& s) {
    const chord* prev = nullptr;
    section prev_sec = silent;
    static const uint8_t pans[3] = {0x58, 0x80, 0xA8};
    int held[3] = {-1, -1, -1};
    for (int b = 0; b < music_end / 16; ++b) {
        const int g = b * 16;
        const section sec = section_of(g);
        const chord* c = progression(b);
        if (c == prev && sec == prev_sec) continue;
        int vol = 36;
        switch (sec) {
        case intro: vol = 42; break;
        case beat: vol = 34; break;
        case flame: case flashes: vol = 32; break;
        case heavy: vol = 17; break;
        case drive: vol = 26; break;
        case breakdown: vol = 32; break;
        case closing: vol = 36; break;
        default: break;
        }
        const bool swell = sec == intro || sec == breakdown;
        const std::vector<int> v = voicing(*c, 55);
        for (int i = 0; i < 3; ++i) {
            if (sec == prev_sec && v[size_t(i)] == held[i]) continue;  // a common tone keeps sounding
            s.note(ch_pad1 + i, g, v[size_t(i)], swell ? synth::pad_swell : synth::pad, vol);
            s.effect(ch_pad1 + i, g, effect_panning, pans[i]);
            held[i] = v[size_t(i)];
        }
        prev = c;
        prev_sec = sec;
    }
    for (int i = 0; i < 3; ++i) s.off(ch_pad1 + i, music_end);
}

void write_arpeggio(score& s) {
    for (int g = 64; g < music_end; ++g) {
        const section sec = section_of(g);
        const int r = g % 16;
        const chord& c = *progression(g / 16);
        std::vector<int> t = voicing(c, 64);
        const size_t n = t.size();
        for (size_t i = 0; i < n; ++i) t.push_back(t[i] + 12);
        // Up and down over two octaves: 0 1 2 3 4 5 4 3 2 1 ...
        static const int walk[16] = {0, 1, 2, 3, 4, 5, 4, 3, 1, 2, 3, 4, 5, 4, 3, 2};
        const int m = t[size_t(walk[r])];
        int vol = 0;
        bool every = true;
        switch (sec) {
        case intro: vol = 14 + (g - 64) / 12; every = false; break;
        case beat: vol = g >= 4 * 64 ? 20 : 0; break;  // the arpeggio returns in pattern 4
        case flame: vol = 24; break;
        case flashes: vol = (g % 64) < 24 ? 24 : 0; break;
        case heavy: vol = 16; every = false; break;
        case drive: vol = 24; break;
        case breakdown: vol = 17; every = false; break;
        case closing: vol = 22; break;
        default: break;
        }
        if (vol && (every || r % 2 == 0)) s.note(ch_arp, g, m, synth::arp, vol - (r % 4 ? 4 : 0));
    }
}

void write_lead(score& s) {
    constexpr uint8_t lead_pan = 0x70, echo_pan = 0xC0;
    struct part {
        int g;
        const char* text;
        int vol;
        int until;
    };
    const part parts[] = {
        {g_lead, lead_pickup, 40, music_end},
        {g_lead + 8, main_theme, 42, music_end},     // patterns 7-8
        {g_flashes, flash_lead, 42, music_end},      // pattern 9
        {g_heavy, heavy_motif, 44, music_end},       // pattern 10
        {g_heavy + 64, heavy_motif, 44, g_drive},    // pattern 11 up to the driving part
        {g_drive + 24, drive_theme, 40, music_end},  // patterns 12-14
        {g_drive + 88, drive_answer, 40, music_end},
        {g_drive + 152, drive_theme, 40, g_breakdown},
        {g_closing, main_theme, 40, music_end},      // the closing theme
        {g_closing + 128, closing_tail, 38, music_end},
    };
    for (const part& p : parts) {
        s.melody(ch_lead, p.g, p.text, synth::lead, p.vol, true, lead_pan, p.until);
        // A dotted-eighth echo (3 rows) on the right, softer.
        s.melody(ch_echo, p.g + 3, p.text, synth::lead, p.vol * 2 / 5, true, echo_pan, std::min(p.until + 3, music_end));
    }
    s.off(ch_lead, music_end);
    s.off(ch_echo, music_end);
}

void write_bells(score& s) {
    s.melody(ch_bell, 0, intro_bells, synth::bell, 34, false, 0, g_beat);
    s.melody(ch_bell, g_flame, flame_bells, synth::bell, 26, false, 0, g_lead);
    s.melody(ch_bell, g_breakdown, breakdown_bells, synth::bell, 40, false);
    s.melody(ch_echo, g_breakdown + 3, breakdown_bells, synth::bell, 16, false, 0xC0, g_closing);
}

// Beat scene: a plucked 3-3-2 riff over the chord until the arpeggio returns.
void write_riff(score& s) {
    struct hit {
        int row, tone, octave;
    };
    static const hit riff[6] = {{0, 2, 12}, {3, 0, 12}, {6, 1, 12}, {8, 2, 12}, {11, 0, 12}, {14, 1, 0}};
    for (int g = g_beat; g < 4 * 64; g += 16) {
        const std::vector<int> t = voicing(*progression(g / 16), 60);
        for (const hit& h : riff) s.note(ch_bell, g + h.row, t[size_t(h.tone)] + h.octave, synth::arp, h.row % 8 == 0 ? 30 : 24);
    }
}

// Driving section: an offbeat stab on the chord's third.
void write_stabs(score& s) {
    for (int g = g_drive + 24; g < g_breakdown; ++g) {
        if (g % 4 != 2 || !s.at(g, ch_stab).empty()) continue;
        const std::vector<int> v = voicing(*progression(g / 16), 60);
        s.note(ch_stab, g, v[1], synth::stab, 18);
    }
}

// Global volume: full at the start (also when the song loops), then a fade
// from 148 s to 0 at 160 s: gv = 64 * (1 - u)^1.5, u = (g - g_fade) / (music_end - g_fade).
void write_fade(score& s) {
    s.effect(ch_kick, 0, effect_global_volume, 64);
    for (int g = g_fade; g <= music_end; ++g) {
        const double u = double(g - g_fade) / double(music_end - g_fade);
        s.effect(ch_kick, g, effect_global_volume, uint8_t(std::lround(64.0 * std::pow(1.0 - u, 1.5))));
    }
}

}  // namespace

xm::module compose() {
    score s;
    write_drums(s);
    write_fills(s);
    write_accents(s);
    write_bass(s);
    write_pads(s);
    write_arpeggio(s);
    write_lead(s);
    write_bells(s);
    write_riff(s);
    write_stabs(s);
    write_fade(s);

    xm::module m;
    m.name = "Ostramere 05";
    m.channels = channel_count;
    m.speed = 6;
    m.bpm = 120;
    m.instruments = synth::make_instruments();
    for (int p = 0; p < pattern_count; ++p) {
        xm::pattern pat(rows_per_pattern, channel_count);
        for (int r = 0; r < rows_per_pattern; ++r)
            for (int ch = 0; ch < channel_count; ++ch) pat.at(r, ch) = s.at(p * rows_per_pattern + r, ch);
        m.patterns.push_back(std::move(pat));
        m.orders.push_back(uint8_t(p));  // order position k plays pattern k
    }
    return m;
}

}  // namespace song
