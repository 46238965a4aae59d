// Instrument synthesis for the soundtrack: every sample is computed here from
// sines, a seeded xorshift noise source and RBJ biquad filters, then scaled to
// 16 bits. Tonal loops hold whole periods so they repeat without a click.
#include "song/synth_instruments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace synth {
namespace {

constexpr double rate = 44100.0;  // every sample is synthesised at this rate
constexpr double two_pi = 6.283185307179586476925;

// xorshift32 noise, uniform in [-1, 1); seeded per instrument so the bytes never change.
struct noise_source {
    uint32_t s;
    explicit noise_source(uint32_t seed) : s(seed ? seed : 1u) {}
    double next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return double(s) / 2147483648.0 - 1.0;
    }
};

// RBJ cookbook biquad, direct form I: y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2.
struct biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    enum kind { low, high, band };
    void set(kind k, double fc, double q) {
        fc = std::clamp(fc, 10.0, rate * 0.45);
        const double w = two_pi * fc / rate, c = std::cos(w), alpha = std::sin(w) / (2.0 * q);
        const double a0 = 1.0 + alpha;
        switch (k) {
        case low: b0 = (1 - c) / 2, b1 = 1 - c, b2 = (1 - c) / 2; break;
        case high: b0 = (1 + c) / 2, b1 = -(1 + c), b2 = (1 + c) / 2; break;
        case band: b0 = alpha, b1 = 0, b2 = -alpha; break;
        }
        b0 /= a0, b1 /= a0, b2 /= a0;
        a1 = -2 * c / a0;
        a2 = (1 - alpha) / a0;
    }
    biquad() = default;
    biquad(kind k, double fc, double q) { set(k, fc, q); }
    double run(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

double seconds(size_t n) { return double(n) / rate; }
size_t frames(double s) { return size_t(s * rate); }

// Gentle low-pass weight of a harmonic at f for corner fc: 1 / sqrt(1 + (f/fc)^4).
double lp_weight(double f, double fc) {
    const double r = f / fc, r2 = r * r;
    return 1.0 / std::sqrt(1.0 + r2 * r2);
}

// Scales to a peak of `peak` of full scale and rounds to 16 bits.
std::vector<int16_t> to_16bit(const std::vector<double>& v, double peak = 0.89) {
    double m = 1e-12;
    for (double x : v) m = std::max(m, std::fabs(x));
    std::vector<int16_t> out(v.size());
    const double k = peak * 32767.0 / m;
    for (size_t i = 0; i < v.size(); ++i) out[i] = int16_t(std::lround(std::clamp(v[i] * k, -32767.0, 32767.0)));
    return out;
}

// Short linear fade over the last `len` seconds so a one-shot ends at zero.
void fade_tail(std::vector<double>& v, double len) {
    const size_t n = std::min(v.size(), frames(len));
    for (size_t i = 0; i < n; ++i) v[v.size() - 1 - i] *= double(i) / double(n);
}

// A small room baked into a one-shot: the sound is lengthened by `tail`
// seconds and a Schroeder reverb (four damped combs into two all-passes) is
// mixed in: out = dry + wet * allpass2(allpass1(sum of combs(dry))).
void add_room(std::vector<double>& v, double tail, double wet, double feedback = 0.78) {
    v.resize(v.size() + frames(tail), 0.0);
    static const size_t comb_len[4] = {1116, 1188, 1277, 1356};
    static const size_t pass_len[2] = {556, 441};
    std::vector<double> comb[4], pass[2];
    for (int i = 0; i < 4; ++i) comb[i].assign(comb_len[i], 0.0);
    for (int i = 0; i < 2; ++i) pass[i].assign(pass_len[i], 0.0);
    size_t ci[4] = {}, pi[2] = {};
    double damp[4] = {};
    for (double& x : v) {
        double sum = 0;
        for (int i = 0; i < 4; ++i) {
            const double y = comb[i][ci[i]];
            damp[i] = 0.7 * y + 0.3 * damp[i];  // one-pole damping in the loop: d = 0.7 y + 0.3 d
            comb[i][ci[i]] = x + feedback * damp[i];
            ci[i] = (ci[i] + 1) % comb_len[i];
            sum += y;
        }
        for (int i = 0; i < 2; ++i) {  // all-pass: y = b - s, b' = s + 0.5 b
            const double b = pass[i][pi[i]];
            const double y = b - sum;
            pass[i][pi[i]] = sum + 0.5 * b;
            pi[i] = (pi[i] + 1) % pass_len[i];
            sum = y;
        }
        x += wet * 0.25 * sum;
    }
    fade_tail(v, tail * 0.5);
}

xm::instrument one_shot(const char* name, std::vector<double> v, uint8_t pan, int ref_midi = 60, double f0 = 0) {
    xm::instrument in;
    in.name = name;
    in.smp.name = name;
    in.smp.data = to_16bit(v);
    in.smp.panning = pan;
    // Unpitched sounds play at the synthesis rate on C-4 (MIDI 60).
    tune(in.smp, rate, f0 > 0 ? f0 : 261.6255653, ref_midi);
    return in;
}

// --- drums and cymbals -------------------------------------------------------

xm::instrument make_kick() {
    noise_source rnd(0x1CC1u);
    biquad click_lp(biquad::low, 3500, 0.7);
    std::vector<double> v(frames(0.6));
    double ph = 0;
    for (size_t n = 0; n < v.size(); ++n) {
        const double t = seconds(n);
        const double f = 44 + 120 * std::exp(-t / 0.04) + 260 * std::exp(-t / 0.005);
        ph += two_pi * f / rate;
        const double body = std::sin(ph) * std::exp(-t / 0.21) * std::min(1.0, t / 0.0015);
        const double click = click_lp.run(rnd.next()) * std::exp(-t / 0.004) * 0.5;
        v[n] = std::tanh(1.7 * (body + click));  // soft drive: y = tanh(1.7 x)
    }
    fade_tail(v, 0.05);
    return one_shot("kick", v, 128);
}

xm::instrument make_snare() {
    noise_source rnd(0x5A4Eu);
    biquad hp(biquad::high, 1300, 0.7), bp(biquad::band, 4200, 0.8), lp(biquad::low, 9000, 0.7);
    std::vector<double> v(frames(0.45));
    double p1 = 0, p2 = 0;
    for (size_t n = 0; n < v.size(); ++n) {
        const double t = seconds(n);
        p1 += two_pi * (178 + 60 * std::exp(-t / 0.01)) / rate;
        p2 += two_pi * 331 / rate;
        const double body = 0.6 * std::sin(p1) * std::exp(-t / 0.07) + 0.3 * std::sin(p2) * std::exp(-t / 0.035);
        const double nz = hp.run(rnd.next());
        const double noise = lp.run(0.7 * nz + 0.6 * bp.run(nz)) * std::exp(-t / 0.11);
        v[n] = std::tanh(1.4 * (body + noise) * std::min(1.0, t / 0.001));
    }
    fade_tail(v, 0.05);
    add_room(v, 0.45, 0.35);
    return one_shot("snare", v, 124);
}

// Six detuned square oscillators and noise, high-passed: the metal of hats and cymbals.
std::vector<double> metal(double len, double decay, double hp_fc, double lp_fc, uint32_t seed, double attack = 0.0005) {
    static const double freqs[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    noise_source rnd(seed);
    biquad hp1(biquad::high, hp_fc, 0.7), hp2(biquad::high, hp_fc, 0.7), pk(biquad::band, hp_fc * 1.6, 1.2);
    biquad lp1(biquad::low, lp_fc, 0.7), lp2(biquad::low, lp_fc * 1.3, 0.7);  // takes the hiss off the top octave
    std::vector<double> v(frames(len));
    double ph[6] = {};
    for (size_t n = 0; n < v.size(); ++n) {
        const double t = seconds(n);
        double sq = 0;
        for (int i = 0; i < 6; ++i) {
            ph[i] += freqs[i] * 1.9 / rate;
            ph[i] -= std::floor(ph[i]);
            sq += ph[i] < 0.5 ? 1.0 : -1.0;
        }
        const double x = 0.12 * sq + 0.8 * rnd.next();
        const double y = hp2.run(hp1.run(x));
        v[n] = lp2.run(lp1.run(y + 0.5 * pk.run(y))) * std::exp(-t / decay) * std::min(1.0, t / attack);
    }
    fade_tail(v, std::min(0.3, len * 0.3));
    return v;
}

xm::instrument make_hat_closed() { return one_shot("hat closed", metal(0.14, 0.028, 6500, 10000, 0x4A7Cu), 150); }
xm::instrument make_hat_open() { return one_shot("hat open", metal(0.7, 0.19, 6000, 9500, 0x4A70u), 150); }
xm::instrument make_crash() { return one_shot("crash", metal(3.0, 0.85, 3000, 8000, 0xC2A5u, 0.002), 110); }

xm::instrument make_impact() {
    noise_source rnd(0x1A9Au);
    biquad lp(biquad::low, 700, 0.9);
    std::vector<double> v(frames(2.2));
    double ph = 0;
    for (size_t n = 0; n < v.size(); ++n) {
        const double t = seconds(n);
        ph += two_pi * (31 + 70 * std::exp(-t / 0.15)) / rate;
        const double boom = std::sin(ph) * std::exp(-t / 0.65);
        const double rumble = lp.run(rnd.next()) * std::exp(-t / 0.25) * 0.9;
        v[n] = std::tanh(1.5 * (boom + rumble) * std::min(1.0, t / 0.002));
    }
    fade_tail(v, 0.3);
    add_room(v, 0.6, 0.3);
    return one_shot("impact", v, 128);
}

// Noise through a resonant low-pass whose corner climbs from 150 Hz to 12 kHz
// while the level swells: y = lp(noise, fc(t)) * (t / T)^2.
xm::instrument make_riser() {
    noise_source rnd(0x215Eu);
    biquad lp;
    const double len = 2.0;
    std::vector<double> v(frames(len));
    for (size_t n = 0; n < v.size(); ++n) {
        const double t = seconds(n), u = t / len;
        if (n % 32 == 0) lp.set(biquad::low, 150 * std::pow(80.0, u), 2.5);
        v[n] = lp.run(rnd.next()) * u * u;
    }
    fade_tail(v, 0.01);
    return one_shot("riser", v, 128);
}

// --- tonal instruments ----------------------------------------------------------

struct oscillator {
    int detune;     // cycles per loop added to the base count
    double amp;
    bool square;    // odd harmonics only
    uint32_t phase; // start offset in table steps
};

// A loop of `period * cycles` frames summing band-limited saws/squares whose
// frequencies are whole cycles per loop, so the loop repeats seamlessly:
// out[n] = sum_j sum_h amp_j w(h f_j) / h * sin(2 pi h (k_j n + p_j) / L).
std::vector<double> oscillator_loop(int period, int cycles, const std::vector<oscillator>& osc, double cutoff, double top) {
    const size_t len = size_t(period) * size_t(cycles);
    std::vector<double> table(len), out(len, 0.0);
    for (size_t i = 0; i < len; ++i) table[i] = std::sin(two_pi * double(i) / double(len));
    for (const oscillator& o : osc) {
        const uint64_t k = uint64_t(cycles + o.detune);
        const double f = double(k) * rate / double(len);
        for (uint64_t h = 1; double(h) * f < top && h <= 96; ++h) {
            if (o.square && h % 2 == 0) continue;
            const double a = o.amp * lp_weight(double(h) * f, cutoff) / double(h);
            const uint64_t step = (h * k) % len;
            uint64_t idx = (h * o.phase) % len;
            for (size_t n = 0; n < len; ++n) {
                out[n] += a * table[idx];
                idx += step;
                if (idx >= len) idx -= len;
            }
        }
    }
    return out;
}

// Period in whole frames nearest to MIDI note m at the synthesis rate.
int period_of(int midi) { return int(std::lround(rate / (440.0 * std::pow(2.0, (midi - 69) / 12.0)))); }

xm::instrument looped(const char* name, std::vector<double> v, size_t loop_start, int period, int ref_midi, uint8_t pan) {
    if (loop_start == 0) {
        // A whole-sample loop may start anywhere in its cycle: turn it so that
        // the sample begins on its quietest rising zero crossing, which keeps
        // note starts free of a click and the loop seamless.
        size_t best = 0;
        double best_level = 1e30;
        for (size_t n = 0; n + 1 < v.size(); ++n)
            if (v[n] <= 0.0 && v[n + 1] > 0.0 && std::fabs(v[n]) + std::fabs(v[n + 1]) < best_level) {
                best_level = std::fabs(v[n]) + std::fabs(v[n + 1]);
                best = n + 1;
            }
        std::rotate(v.begin(), v.begin() + long(best), v.end());
    }
    xm::instrument in;
    in.name = name;
    in.smp.name = name;
    in.smp.data = to_16bit(v, 0.85);
    in.smp.loop_start = uint32_t(loop_start);
    in.smp.loop_length = uint32_t(v.size() - loop_start);
    in.smp.panning = pan;
    tune(in.smp, rate, rate / period, ref_midi);
    return in;
}

xm::instrument make_pad() {
    const int ref = 60, p = period_of(ref);
    const std::vector<oscillator> osc = {
        {-2, 0.55, false, 1711}, {-1, 0.8, false, 9137}, {0, 1.0, false, 0}, {1, 0.8, false, 4421}, {2, 0.55, false, 13001}, {0, 0.5, true, 2203}};
    xm::instrument in = looped("pad", oscillator_loop(p, 160, osc, 1400, 9000), 0, p, ref, 128);
    in.volume_env.points = {{0, 0}, {10, 64}, {60, 54}};
    in.volume_env.sustain = 2;
    in.fadeout = 520;  // about 1.3 s release
    return in;
}

// The same sound swelling in over about a second.
xm::instrument make_pad_swell(xm::instrument pad_sound) {
    pad_sound.name = "pad swell";
    pad_sound.volume_env.points = {{0, 0}, {48, 64}, {110, 54}};
    pad_sound.volume_env.sustain = 2;
    return pad_sound;
}

xm::instrument make_stab() {
    const int ref = 60, p = period_of(ref);
    const std::vector<oscillator> osc = {
        {-3, 0.6, false, 511}, {-1, 0.9, false, 7001}, {0, 1.0, false, 0}, {1, 0.9, false, 3307}, {3, 0.6, false, 12011}, {0, 0.6, true, 901}};
    xm::instrument in = looped("stab", oscillator_loop(p, 120, osc, 4200, 14000), 0, p, ref, 128);
    in.volume_env.points = {{0, 64}, {6, 44}, {24, 20}, {70, 0}};
    in.fadeout = 2500;
    return in;
}

xm::instrument make_lead() {
    const int ref = 72, p = period_of(ref);
    const std::vector<oscillator> osc = {{0, 1.0, false, 0}, {1, 0.7, false, 5101}, {-1, 0.55, true, 811}};
    xm::instrument in = looped("lead", oscillator_loop(p, 200, osc, 3200, 13000), 0, p, ref, 128);
    in.volume_env.points = {{0, 30}, {2, 64}, {14, 50}};
    in.volume_env.sustain = 2;
    in.fadeout = 1400;
    in.vibrato_type = 0;  // sine, easing in after a short sweep
    in.vibrato_sweep = 36;
    in.vibrato_depth = 5;
    in.vibrato_rate = 20;
    return in;
}

// A plucked tone: saw plus sub sine whose brightness and level fall from the
// attack to a steady sustain, reached exactly after `attack_periods`, so the
// loop that follows holds whole periods of an unchanging wave:
// fc(t) = fs + (fp - fs) e(t), a(t) = s + (1 - s) e(t), e(t) = (1 - t/Ta)^3 for t < Ta, else 0.
std::vector<double> pluck(int period, int attack_periods, int loop_periods, double fp, double fs, double sustain, double square_mix,
                          double drive) {
    const size_t len = size_t(period) * size_t(attack_periods + loop_periods);
    const double f0 = rate / period, ta = double(period) * attack_periods / rate;
    std::vector<double> table(static_cast<size_t>(period));
    for (int i = 0; i < period; ++i) table[size_t(i)] = std::sin(two_pi * i / period);
    const int harmonics = std::min(80, int(12000 / f0));
    std::vector<double> v(len);
    for (size_t n = 0; n < len; ++n) {
        const double t = seconds(n);
        const double e = t < ta ? std::pow(1.0 - t / ta, 3.0) : 0.0;
        const double fc = fs + (fp - fs) * e;
        double x = 0.6 * table[n % size_t(period)];  // fundamental reinforcement
        for (int h = 1; h <= harmonics; ++h) {
            const double a = ((h % 2) ? 1.0 : 1.0 - square_mix) / h * lp_weight(h * f0, fc);
            x += a * table[(n * size_t(h)) % size_t(period)];
        }
        x *= (sustain + (1.0 - sustain) * e) * std::min(1.0, t / 0.002);
        v[n] = std::tanh(drive * x) / std::tanh(drive);  // y = tanh(d x) / tanh(d)
    }
    return v;
}

xm::instrument make_bass() {
    const int ref = 36, p = period_of(ref);
    xm::instrument in = looped("bass", pluck(p, 20, 6, 2400, 380, 0.7, 0.35, 1.6), size_t(p) * 20, p, ref, 128);
    in.volume_env.points = {{0, 64}, {8, 56}, {60, 46}};
    in.volume_env.sustain = 2;
    in.fadeout = 3200;
    return in;
}

xm::instrument make_arp() {
    const int ref = 72, p = period_of(ref);
    // One-shot pluck: bright attack falling to a soft tail, then silence.
    std::vector<double> v = pluck(p, 220, 1, 7000, 900, 0.0, 0.7, 1.2);
    for (size_t n = 0; n < v.size(); ++n) v[n] *= std::exp(-seconds(n) / 0.16);
    fade_tail(v, 0.02);
    return one_shot("arpeggio", v, 92, ref, rate / p);
}

// Inharmonic partials with their own decays: out = sum a_i sin(2 pi r_i f0 t) e^(-t / d_i).
xm::instrument make_bell() {
    static const double ratio[6] = {1.0, 2.0, 2.76, 4.07, 5.4, 8.93};
    static const double amp[6] = {1.0, 0.45, 0.4, 0.22, 0.14, 0.06};
    static const double decay[6] = {1.6, 1.1, 0.7, 0.45, 0.3, 0.15};
    const double f0 = 523.2511306;  // C-5
    std::vector<double> v(frames(2.6));
    for (size_t n = 0; n < v.size(); ++n) {
        const double t = seconds(n);
        double x = 0;
        for (int i = 0; i < 6; ++i) x += amp[i] * std::sin(two_pi * ratio[i] * f0 * t) * std::exp(-t / decay[i]);
        v[n] = x * std::min(1.0, t / 0.001);
    }
    fade_tail(v, 0.2);
    add_room(v, 0.8, 0.4, 0.82);
    return one_shot("bell", v, 100, 72, f0);
}

}  // namespace

void tune(xm::sample& s, double sample_rate, double f0, int ref_midi) {
    // Linear table: rate(N) = 8363 * 2^((N + x - 48) / 12) with N = MIDI - 12,
    // x = relative note + finetune / 128. Solve rate(ref) = sample_rate * f_ref / f0.
    const double f_ref = 440.0 * std::pow(2.0, (ref_midi - 69) / 12.0);
    const double x = 12.0 * std::log2(sample_rate * f_ref / (f0 * 8363.0)) + 48.0 - double(ref_midi - 12);
    int rel = int(std::floor(x));
    int ft = int(std::lround((x - rel) * 128.0));
    if (ft >= 128) rel += 1, ft -= 128;
    s.relative_note = int8_t(std::clamp(rel, -96, 95));
    s.finetune = int8_t(ft);
}

std::vector<xm::instrument> make_instruments() {
    std::vector<xm::instrument> v;
    v.push_back(make_kick());
    v.push_back(make_snare());
    v.push_back(make_hat_closed());
    v.push_back(make_hat_open());
    v.push_back(make_crash());
    v.push_back(make_impact());
    v.push_back(make_bass());
    v.push_back(make_pad());
    v.push_back(make_lead());
    v.push_back(make_arp());
    v.push_back(make_bell());
    v.push_back(make_riser());
    v.push_back(make_stab());
    v.push_back(make_pad_swell(v[pad - 1]));
    return v;
}

}  // namespace synth
