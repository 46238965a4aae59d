// Song tests: the generated sfx/demomusic.xm loads in libopenmpt with the
// layout the show syncs to, hits its timeline (pattern timings, hits, levels,
// fade), its instruments are in tune, and the generator writes the same bytes twice.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "song/render.h"
#include "song/synth_instruments.h"
#include "song/xm_writer.h"

namespace {

const std::string song_path = std::string(OSTRA_DATA_DIR) + "/sfx/demomusic.xm";

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The module is rendered once for the whole test binary.
class Song : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        bytes = new std::vector<uint8_t>(read_file(song_path));
        rendered = new song::rendering;
        ok = !bytes->empty() && song::render(*bytes, *rendered, *error);
    }
    static void TearDownTestSuite() {
        delete bytes;
        delete rendered;
    }
    void SetUp() override { ASSERT_TRUE(ok) << song_path << ": " << (bytes->empty() ? "missing or empty (run the data target)" : *error); }

    static inline std::vector<uint8_t>* bytes = nullptr;
    static inline song::rendering* rendered = nullptr;
    static inline std::string* error = new std::string;
    static inline bool ok = false;
};

TEST_F(Song, LoadsWithTheLayoutTheShowSyncsTo) {
    std::ostringstream log;
    openmpt::module mod(*bytes, log);
    EXPECT_EQ(mod.get_metadata("type"), "xm");
    EXPECT_GE(mod.get_num_channels(), 8);
    ASSERT_GE(mod.get_num_orders(), 22);
    for (int k = 0; k < mod.get_num_orders(); ++k) {
        EXPECT_EQ(mod.get_order_pattern(k), k) << "order " << k;
        EXPECT_EQ(mod.get_pattern_num_rows(k), 64) << "pattern " << k;
    }
    EXPECT_EQ(mod.get_current_speed(), 6);
    EXPECT_EQ(mod.get_current_tempo(), 120);

    // The instrument set: each role present by name.
    std::string names;
    for (const std::string& n : mod.get_instrument_names()) names += n + "|";
    for (const char* role : {"kick", "snare", "hat", "crash", "impact", "bass", "pad", "lead", "arp"})
        EXPECT_NE(names.find(role), std::string::npos) << "no " << role << " among " << names;

    // Every sample is 16-bit: walk the file to each sample header's type byte (bit 4).
    const std::vector<uint8_t>& b = *bytes;
    auto u16 = [&](size_t o) { return unsigned(b.at(o)) | unsigned(b.at(o + 1)) << 8; };
    auto u32 = [&](size_t o) { return u16(o) | uint32_t(u16(o + 2)) << 16; };
    size_t o = 60 + u32(60);
    for (unsigned p = 0; p < u16(70); ++p) o += u32(o) + u16(o + 7);
    for (unsigned i = 0; i < u16(72); ++i) {
        const unsigned samples = u16(o + 27);
        const size_t header = o + u32(o);
        o = header;
        size_t data = 0;
        for (unsigned s = 0; s < samples; ++s, o += 40) {
            EXPECT_TRUE(b.at(o + 14) & 0x10) << "instrument " << i + 1 << " sample " << s << " is not 16-bit";
            data += u32(o);
        }
        o += data;
    }
    EXPECT_EQ(o, b.size()) << "the sample data does not end the file";
}

TEST_F(Song, PatternsFallOnTheShowTimeline) {
    const song::rendering& r = *rendered;
    EXPECT_GE(r.duration, 175.9);
    EXPECT_GE(r.positions.size() * song::rendering::block, size_t(175 * song::rendering::rate)) << "the song ends early";
    // At 44.1 kHz libopenmpt counts whole samples per tick (918 for 918.75), so
    // its rows run 0.08 % fast: a pattern starts up to 0.1 s before its mark.
    struct mark {
        double t;
        int pattern, row;
    };
    for (const mark& m : {mark{20.0, 2, 32}, mark{40.0, 5, 0}, mark{72.0, 9, 0}, mark{80.0, 10, 0}, mark{130.0, 16, 16}}) {
        EXPECT_NEAR(r.start_of(m.pattern, m.row), m.t, 0.1) << "pattern " << m.pattern << " row " << m.row;
        const song::position p = r.at(m.t + 0.01);
        EXPECT_EQ(p.order, m.pattern) << "at " << m.t << " s";
        EXPECT_EQ(p.pattern, m.pattern) << "at " << m.t << " s";
        EXPECT_EQ(p.row, m.row) << "at " << m.t << " s";
    }
    EXPECT_LE(r.start_of(20, 0), 160.0) << "the silent patterns start after the show ends";
}

TEST_F(Song, LevelsHitsAndFadeFollowTheScenes) {
    const song::rendering& r = *rendered;
    EXPECT_LE(r.peak_dbfs(), -1.0) << "the song clips or nearly clips";
    EXPECT_GT(r.peak_dbfs(), -12.0) << "the song is far too quiet";
    EXPECT_LE(r.longest_quiet(0.0, 148.0, -60.0), 1.0) << "a gap of silence before the fade";
    EXPECT_LT(r.rms_dbfs(159.9, 160.5), -60.0) << "not silent by 160 s";
    EXPECT_LT(r.rms_dbfs(156.0, 158.0), r.rms_dbfs(146.0, 148.0) - 12.0) << "no fade-out after 148 s";

    // Sections: the drums enter at 20 s, the heavy part outweighs the intro,
    // the greetings breakdown drops below the driving part around it.
    EXPECT_GT(r.rms_dbfs(20.0, 24.0), r.rms_dbfs(16.0, 20.0) + 2.0);
    EXPECT_GT(r.rms_dbfs(80.0, 93.0), r.rms_dbfs(0.0, 15.0) + 4.0);
    EXPECT_LT(r.rms_dbfs(119.0, 129.0), r.rms_dbfs(96.0, 117.0) - 3.0);
    EXPECT_LT(r.rms_dbfs(119.0, 129.0), r.rms_dbfs(131.0, 147.0) - 3.0);

    // Hits land on their rows: in the first difference of the mix (its bright
    // part, where crash and impact transients stand out over the bass), the
    // 40 ms after the row starts carry clearly more energy than the 40 ms before.
    auto bright_energy = [&](double t0, double t1) {
        double e = 1e-20;
        for (size_t n = size_t(t0 * 44100) + 1; n < size_t(t1 * 44100) && n < r.mono.size(); ++n) {
            const double d = double(r.mono[n]) - r.mono[n - 1];
            e += d * d;
        }
        return e;
    };
    auto onset = [&](int pattern, int row) {
        const double t = r.start_of(pattern, row);
        return 10.0 * std::log10(bright_energy(t, t + 0.04) / bright_energy(t - 0.04, t));
    };
    for (int row : {24, 28}) EXPECT_GT(onset(9, row), 6.0) << "pattern 9 row " << row;
    for (int row : {0, 16, 32, 48, 56, 62}) EXPECT_GT(onset(10, row), 4.0) << "pattern 10 row " << row;
    // From row 40 of pattern 11 the driving part's sixteenth hats blur this
    // measure; its heavy rows are checked.
    for (int row : {0, 16, 32}) EXPECT_GT(onset(11, row), 3.0) << "pattern 11 row " << row;
}

// The writer's packed cells (all five fields, some, none, key off) and its
// delta-encoded sample read back through libopenmpt cell by cell.
TEST(SongXmWriter, CellsRoundTripThroughLibopenmpt) {
    xm::module m;
    m.channels = 4;
    xm::instrument in;
    in.name = "saw";
    for (int i = 0; i < 400; ++i) in.smp.data.push_back(int16_t((i % 100) * 600 - 30000));  // wraps in the delta code
    in.smp.loop_length = 100;
    m.instruments = {in, in};
    xm::pattern p(32, 4);
    unsigned seed = 7;
    for (xm::cell& c : p.cells) {
        seed = seed * 1103515245u + 12345u;
        const unsigned k = seed >> 16;
        if (k & 1) c.note = uint8_t(1 + k % 96);
        if (k & 2) c.instrument = uint8_t(1 + (k >> 3) % 2);
        if (k & 4) c.volume = uint8_t(0x10 + (k >> 5) % 65);
        if (k & 8) c.effect = 0x0C, c.param = uint8_t((k >> 7) % 65);  // Cxx: set volume
    }
    p.at(0, 0) = {49, 1, 0x50, 0x0C, 0x40};  // every field: written unpacked
    p.at(1, 1) = {xm::key_off, 0, 0, 0, 0};
    p.at(2, 2) = {};
    m.patterns = {p};
    m.orders = {0};
    std::string error;
    const std::vector<uint8_t> bytes = xm::write(m, error);
    ASSERT_FALSE(bytes.empty()) << error;
    std::ostringstream log;
    openmpt::module mod(bytes, log);
    ASSERT_EQ(mod.get_num_channels(), 4);
    ASSERT_EQ(mod.get_pattern_num_rows(0), 32);
    for (int r = 0; r < 32; ++r)
        for (int ch = 0; ch < 4; ++ch) {
            const xm::cell& c = p.at(r, ch);
            // libopenmpt numbers notes one octave above XM's C-0 = 1 and keeps key off as 255.
            const int note = c.note == xm::key_off ? 255 : (c.note ? c.note + 12 : 0);
            EXPECT_EQ(mod.get_pattern_row_channel_command(0, r, ch, openmpt::module::command_note), note) << r << ":" << ch;
            EXPECT_EQ(mod.get_pattern_row_channel_command(0, r, ch, openmpt::module::command_instrument), c.instrument) << r << ":" << ch;
            EXPECT_EQ(mod.get_pattern_row_channel_command(0, r, ch, openmpt::module::command_volume), c.volume ? c.volume - 0x10 : 0) << r << ":" << ch;
            EXPECT_EQ(mod.get_pattern_row_channel_command(0, r, ch, openmpt::module::command_parameter), c.param) << r << ":" << ch;
        }
    EXPECT_EQ(mod.get_num_samples(), 2);

    // Out-of-range records are refused with a reason, not written.
    m.orders = {1};
    EXPECT_TRUE(xm::write(m, error).empty());
    EXPECT_NE(error.find("order"), std::string::npos) << error;
    m.orders = {0};
    m.instruments[0].smp.loop_start = 350;
    EXPECT_TRUE(xm::write(m, error).empty());
    EXPECT_NE(error.find("loop"), std::string::npos) << error;
}

// One note of an instrument rendered alone; its strongest frequency near the
// expected pitch, in cents off.
double cents_off(int instrument, int midi) {
    xm::module m;
    m.channels = 2;
    m.bpm = 120;
    m.instruments = synth::make_instruments();
    xm::pattern p(64, 2);
    p.at(0, 0) = {uint8_t(midi - 11), uint8_t(instrument), 0x50, 0, 0};
    m.patterns.push_back(p);
    m.orders.push_back(0);
    std::string error;
    song::rendering r;
    if (!song::render(xm::write(m, error), r, error, 2.0)) return 1e9;
    const double f_exp = 440.0 * std::pow(2.0, (midi - 69) / 12.0);
    const size_t a = 4410, n = 22050;  // 0.1 s .. 0.6 s
    std::vector<double> window(n);
    for (size_t i = 0; i < n; ++i) window[i] = 0.5 - 0.5 * std::cos(6.283185307 * double(i) / double(n));
    double best = 0, best_f = 0;
    for (double f = f_exp * 0.95; f < f_exp * 1.05; f *= 1.0003) {
        // Windowed DFT at f: sum w[i] x[i] e^(-j 2 pi f i / rate), the phasor turned step by step.
        double re = 0, im = 0, c = 1, s = 0;
        const double dc = std::cos(6.283185307 * f / 44100.0), ds = -std::sin(6.283185307 * f / 44100.0);
        for (size_t i = 0; i < n; ++i) {
            const double w = r.mono[a + i] * window[i];
            re += w * c;
            im += w * s;
            const double c2 = c * dc - s * ds;
            s = c * ds + s * dc;
            c = c2;
        }
        if (re * re + im * im > best) best = re * re + im * im, best_f = f;
    }
    return 1200.0 * std::log2(best_f / f_exp);
}

TEST(SongInstruments, TonalInstrumentsPlayInTune) {
    EXPECT_NEAR(cents_off(synth::lead, 69), 0.0, 10.0) << "lead A4";
    EXPECT_NEAR(cents_off(synth::lead, 76), 0.0, 10.0) << "lead E5";
    EXPECT_NEAR(cents_off(synth::bass, 45), 0.0, 10.0) << "bass A2";
    EXPECT_NEAR(cents_off(synth::pad, 64), 0.0, 12.0) << "pad E4";
    EXPECT_NEAR(cents_off(synth::arp, 81), 0.0, 10.0) << "arpeggio A5";
    EXPECT_NEAR(cents_off(synth::bell, 72), 0.0, 10.0) << "bell C5";
}

// A note starts on a quiet sample (no click), and a loop's seam is no bigger a
// step than the steps inside the loop (no click on each pass).
TEST(SongInstruments, SamplesStartQuietlyAndLoopSeamlessly) {
    const std::vector<xm::instrument> all = synth::make_instruments();
    ASSERT_EQ(all.size(), size_t(synth::count));
    for (const xm::instrument& in : all) {
        const xm::sample& s = in.smp;
        ASSERT_FALSE(s.data.empty()) << in.name;
        EXPECT_LT(std::abs(int(s.data[0])), 1200) << in.name << " starts with a click";
        if (!s.loop_length) continue;
        const size_t a = s.loop_start, b = s.loop_start + s.loop_length;
        ASSERT_LE(b, s.data.size()) << in.name;
        int largest_step = 0;
        for (size_t i = a + 1; i < b; ++i) largest_step = std::max(largest_step, std::abs(int(s.data[i]) - int(s.data[i - 1])));
        EXPECT_LE(std::abs(int(s.data[a]) - int(s.data[b - 1])), largest_step) << in.name << " loop seam";
    }
}

TEST(SongGenerator, WritesTheSameBytesOnEveryRun) {
    const std::vector<uint8_t> first = read_file(song_path);
    ASSERT_FALSE(first.empty()) << song_path << " missing";
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("ostra_song_" + std::to_string(::getpid()));
    const std::string cmd = std::string("\"") + OSTRA_GEN + "\" --out \"" + dir.string() + "\" > /dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const std::vector<uint8_t> second = read_file((dir / "sfx" / "demomusic.xm").string());
    std::filesystem::remove_all(dir);
    EXPECT_EQ(first.size(), second.size());
    EXPECT_TRUE(first == second) << "two generator runs wrote different songs";
}

}  // namespace
