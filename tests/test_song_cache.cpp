// The song's blocks: the same samples and positions however the output is
// asked for, and a restore that continues with a full run's very samples,
// from libopenmpt or from the song cache, whatever state the cache is in.
#include <gtest/gtest.h>

#include "show_run.h"
#include "song_cache.h"
#include "sound_layer.h"
#include "sound_layer_testing.h"
#include "sound_render.h"
#include "test_sound_xm.h"

#include <libopenmpt/libopenmpt.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <numbers>
#include <vector>

namespace {

// Short notes at many pitches and volumes on a sample that is not a pure
// tone: libopenmpt's interpolation and ramps have something to do at every
// cut. About 3.7 s, looping.
test_xm::song busy_song() {
    test_xm::song s;
    s.orders = {0, 1, 0};
    s.speed = 2;
    s.bpm = 140;
    for (int p = 0; p < 2; ++p) {
        test_xm::pattern pat;
        pat.rows.resize(32);
        for (int r = 0; r < 32; r += 1 + (r + p) % 3)
            pat.rows[static_cast<size_t>(r)] = {static_cast<uint8_t>(37 + (r * 7 + p * 5) % 36), 1,
                                                static_cast<uint8_t>(r % 5 == 0 ? 0x0C : 0),
                                                static_cast<uint8_t>(16 + r)};
        s.patterns.push_back(pat);
    }
    s.sample.resize(45);
    for (size_t i = 0; i < s.sample.size(); ++i)
        s.sample[i] = static_cast<int16_t>(std::lround(
            9000.0 * std::sin(2 * std::numbers::pi * double(i) / 45) + 4000.0 * std::sin(6 * std::numbers::pi * double(i) / 45)));
    return s;
}

openmpt_module* open_module(const std::vector<uint8_t>& bytes) {
    openmpt_module* m = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent,
                                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    openmpt_module_set_repeat_count(m, -1);
    openmpt_module_ctl_set_integer(m, "dither", 0);  // as the layer renders
    return m;
}

TEST(SongBlocks, TheSamplesAndPositionsAreTheSameHoweverTheOutputIsAskedFor) {
    const std::vector<uint8_t> bytes = test_xm::build(busy_song());
    // The reference: libopenmpt read in whole blocks from the song's start,
    // with its report after each.
    openmpt_module* ref = open_module(bytes);
    openmpt_module_set_position_order_row(ref, 0, 0);  // as a song's start does
    constexpr int blocks = 700;
    std::vector<int16_t> want(blocks * 512);
    std::vector<std::array<int, 3>> after{{openmpt_module_get_current_order(ref), 0, 0}};
    for (int b = 0; b < blocks; ++b) {
        openmpt_module_read_interleaved_stereo(ref, 44100, 256, want.data() + b * 512);
        after.push_back({openmpt_module_get_current_order(ref), openmpt_module_get_current_pattern(ref),
                         openmpt_module_get_current_row(ref)});
    }
    openmpt_module_destroy(ref);

    openmpt_module* m = open_module(bytes);
    auto r = std::make_unique<sound_render::renderer>();
    r->render(nullptr, 300);  // silence first: the song's blocks start at its own frame 0
    r->start(m);
    std::vector<int16_t> got;
    const int cuts[] = {1, 255, 256, 257, 7, 1000, 3, 512, 100};
    for (int i = 0; r->song_frames() < int64_t(blocks - 1) * 256; ++i) {
        const int n = cuts[i % 9];
        std::vector<int16_t> part(static_cast<size_t>(n) * 2);
        r->render(part.data(), n);
        got.insert(got.end(), part.begin(), part.end());
    }
    got.resize(std::min(got.size(), want.size()));  // the last cut may reach past the reference
    const auto differ = std::mismatch(got.begin(), got.end(), want.begin());
    ASSERT_EQ(differ.first, got.end()) << "the samples depend on how the output was cut, from value "
                                       << (differ.first - got.begin());
    for (int64_t a = 0; a <= std::min<int64_t>(r->song_frames(), blocks * 256); a += 17) {
        const sound_render::position p = r->at(a);
        ASSERT_EQ((std::array<int, 3>{p.order, p.pattern, p.row}), after[static_cast<size_t>((a + 255) / 256)])
            << "frame " << a;
    }
    // the mono history is the output's own frames
    std::vector<float> mono(4);
    constexpr int last = 600 * 256 + 99;  // a song frame still in the history
    r->copy_history(300 + last + 1, mono.data(), 4);
    EXPECT_FLOAT_EQ(mono[3], (float(want[2 * last]) + float(want[2 * last + 1])) / 65536.0f);
    EXPECT_FLOAT_EQ(mono[0], (float(want[2 * last - 6]) + float(want[2 * last - 5])) / 65536.0f);
    openmpt_module_destroy(m);
}

class SongCache : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        sound_layer::reset();
        run = std::make_unique<show_run>();
        sound_layer::set_clock({clk::ticks, clk::simulated});
        clk::set_simulated(true);
        // files of this process alone: CTest runs the cases side by side
        const std::string own = ::testing::TempDir() + "cache_song_" + std::to_string(getpid());
        song_path = own + ".xm";
        cache_path = own + ".ocache";
        ASSERT_TRUE(test_xm::write(song_path, busy_song()));
        std::remove(cache_path.c_str());
    }
    void TearDown() override {
        sound_layer::reset();
        run.reset();
        for (const std::string& p : {song_path, cache_path, cache_path + ".bad", cache_path + ".none"})
            std::remove(p.c_str());
    }
    struct heard {
        std::vector<int16_t> samples;               // from the sink, from tick 0 (or the restore) on
        std::vector<std::array<int, 4>> readings;   // time, order, pattern, row at each step
        int64_t ring_count = 0;                     // the song's blocks recorded 1 ms on
        sound_layer::saved_song::record newest;
    };
    // Plays on in uneven steps from tick `from` to `to`, reading the song
    // at each, the sink collecting every frame.
    static void play_on(FMUSIC_MODULE* song, Uint32 from, Uint32 to, heard& h) {
        const Uint32 steps[] = {1, 17, 33, 1, 250, 40, 7};
        for (Uint32 t = from, i = 0; t < to; ++i) {
            t = std::min(to, t + steps[i % 7]);
            clk::advance_to(t);
            h.readings.push_back({static_cast<int>(FMUSIC_GetTime(song)), FMUSIC_GetOrder(song),
                                  FMUSIC_GetPattern(song), FMUSIC_GetRow(song)});
            if (i == 0) {  // the block the save fell in (or began) is recorded as the full run's
                const sound_layer::saved_song now = sound_layer::save_song();
                h.ring_count = now.ring_count;
                h.newest = now.ring.back();
            }
        }
        sound_layer::pump();
    }
    void collect(heard& h) {
        sound_layer::set_sample_sink([&h](const int16_t* s, int n) { h.samples.insert(h.samples.end(), s, s + 2 * n); });
    }
    std::unique_ptr<show_run> run;
    std::string song_path, cache_path;
};

// Saved inside a block (2345 ms: song frame 103414) and on a block's first
// frame (2560 ms: frame 112896 = 441 blocks).
class SongCacheAt : public SongCache, public ::testing::WithParamInterface<Uint32> {};
INSTANTIATE_TEST_SUITE_P(Saves, SongCacheAt, ::testing::Values(Uint32{2345}, Uint32{2560}));

TEST_P(SongCacheAt, ARestoreContinuesWithTheFullRunsSamplesFromTheCacheOrWithoutIt) {
    const Uint32 play = 100, save = 100 + GetParam(), end = 100 + 9000;  // past the cache's end (song + 1 s)
    const bool inside = GetParam() == 2345;
    constexpr std::uint64_t key = 0x5eed;
    heard full;
    collect(full);
    FMUSIC_MODULE* song = FMUSIC_LoadSong(song_path.c_str());
    ASSERT_NE(song, nullptr);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    clk::advance_to(play);
    FMUSIC_PlaySong(song);
    clk::advance_to(save);
    const sound_layer::saved_song saved = sound_layer::save_song();
    ASSERT_EQ((saved.out_frame - saved.song_start) % 256 != 0, inside);
    const size_t at_save = full.samples.size();
    ASSERT_EQ(at_save, size_t(saved.out_frame) * 2);
    play_on(song, save, end, full);
    FMUSIC_FreeSong(song);

    std::string error;
    ASSERT_TRUE(sound_layer::write_song_cache(song_path.c_str(), {cache_path, key}, error)) << error;
    std::string why;
    ASSERT_TRUE(song_cache::read(cache_path, key, 0, why)) << why;

    // Restores and plays on; the note the cache left, "" when it served.
    auto restored = [&](const sound_layer::song_cache_use& use, std::string& note) {
        heard h;
        collect(h);
        run.reset();  // a new run, its clock at the saved tick
        run = std::make_unique<show_run>();
        clk::set_simulated(true);
        clk::advance_to(save);
        FMUSIC_MODULE* again = FMUSIC_LoadSong(song_path.c_str());
        std::string reason;
        EXPECT_TRUE(sound_layer::restore_song(saved, again, reason, use, &note)) << reason;
        play_on(again, save, end, h);
        FMUSIC_FreeSong(again);
        sound_layer::set_sample_sink(nullptr);
        return h;
    };
    auto same_as_full = [&](const heard& h, const char* what) {
        ASSERT_EQ(h.samples.size(), full.samples.size() - at_save) << what;
        EXPECT_EQ(0, std::memcmp(h.samples.data(), full.samples.data() + at_save, h.samples.size() * 2)) << what;
        EXPECT_EQ(h.readings, full.readings) << what;
        EXPECT_EQ(h.ring_count, full.ring_count) << what;
        EXPECT_EQ(h.newest.first, full.newest.first) << what;
        EXPECT_EQ((std::array<int, 4>{h.newest.frames, h.newest.order, h.newest.pattern, h.newest.row}),
                  (std::array<int, 4>{full.newest.frames, full.newest.order, full.newest.pattern, full.newest.row}))
            << what;
    };
    std::string note = "unset";
    same_as_full(restored({}, note), "without a cache");
    same_as_full(restored({cache_path, key}, note), "from the cache");
    EXPECT_EQ(note, "");

    // A cache that does not serve says why, and the song is rendered instead.
    auto refused = [&](const sound_layer::song_cache_use& use, const std::string& says) {
        std::string n;
        same_as_full(restored(use, n), says.c_str());
        EXPECT_NE(n.find(says), std::string::npos) << n;
        EXPECT_EQ(n.rfind(use.path, 0), 0u) << "names the file: " << n;
    };
    refused({cache_path, key + 1}, "another program or other data");
    refused({cache_path + ".none", key}, "no song cache");
    std::vector<char> bytes;
    {
        std::ifstream f(cache_path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(f), {});
    }
    auto rewrite = [&](const std::vector<char>& b) {
        std::ofstream(cache_path + ".bad", std::ios::binary).write(b.data(), std::streamsize(b.size()));
    };
    std::vector<char> b = bytes;
    b[b.size() - 1000] ^= 1;  // a sample near the end, in a chunk the restore reads
    rewrite(b);
    refused({cache_path + ".bad", key}, "samples are damaged");
    b = bytes;
    b.pop_back();
    rewrite(b);
    refused({cache_path + ".bad", key}, "cut or padded");
    b = bytes;
    b[8 + 4 + 8 + 4] ^= 1;  // the player's version
    rewrite(b);
    refused({cache_path + ".bad", key}, "another player");
    b = bytes;
    b[8] = 9;  // the format
    rewrite(b);
    refused({cache_path + ".bad", key}, "another format");
    // A damaged sample before the restore's chunk is never read.
    b = bytes;
    b[b.size() - size_t(sound_render::block_frames) * 4 * 700] ^= 1;
    rewrite(b);
    std::string unread;
    EXPECT_TRUE(song_cache::read(cache_path + ".bad", key, 690 * 256 + 5, unread)) << unread;
    EXPECT_FALSE(song_cache::read(cache_path + ".bad", key, 0, unread));
    // A block count of 0 or beyond any song is refused for it.
    const size_t count_at = 8 + 4 + 8 + 4 + song_cache::player_version().size() + 4 + 4;
    for (const std::uint64_t count : {std::uint64_t(0), std::uint64_t(song_cache::max_blocks) + 1}) {
        b = bytes;
        std::memcpy(b.data() + count_at, &count, sizeof count);
        rewrite(b);
        EXPECT_FALSE(song_cache::read(cache_path + ".bad", key, 0, unread)) << count;
        EXPECT_NE(unread.find("block count is out of range"), std::string::npos) << unread;
    }
    // Nothing to write without a song or a length.
    EXPECT_FALSE(song_cache::write(cache_path + ".none", nullptr, 1.0, key, unread));
    EXPECT_EQ(unread, cache_path + ".none: no song to cache");
    openmpt_module* m = open_module(test_xm::build(busy_song()));
    EXPECT_FALSE(song_cache::write(cache_path + ".none", m, 0.0, key, unread));
    openmpt_module_destroy(m);
    // A cache that ends before the saved frame cannot serve it.
    EXPECT_FALSE(song_cache::read(cache_path, key, int64_t(10) << 20, unread));
    EXPECT_NE(unread.find("ends before the start"), std::string::npos) << unread;
}

}  // namespace

namespace {
// Saved once the position ring is full (more blocks than it keeps): every
// record comes back and the readings with them.
TEST_F(SongCache, ASaveWithAFullRingComesBack) {
    FMUSIC_MODULE* song = FMUSIC_LoadSong(song_path.c_str());
    ASSERT_NE(song, nullptr);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FMUSIC_PlaySong(song);
    clk::advance_to(8000);
    const std::array<int, 3> was{FMUSIC_GetOrder(song), FMUSIC_GetPattern(song), FMUSIC_GetRow(song)};
    const sound_layer::saved_song saved = sound_layer::save_song();
    EXPECT_EQ(saved.ring.size(), size_t(sound_render::ring_entries));
    FMUSIC_FreeSong(song);
    FMUSIC_MODULE* again = FMUSIC_LoadSong(song_path.c_str());
    std::string why;
    ASSERT_TRUE(sound_layer::restore_song(saved, again, why)) << why;
    EXPECT_EQ((std::array<int, 3>{FMUSIC_GetOrder(again), FMUSIC_GetPattern(again), FMUSIC_GetRow(again)}), was);
    FMUSIC_FreeSong(again);
}
}  // namespace
