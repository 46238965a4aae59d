// The sound layer against libopenmpt itself: positions at every music time,
// the loop with a continuous clock, the spectrum, the sample stream, the
// no-device and device paths, and songs that fail to load.
#include <gtest/gtest.h>

#include "show_run.h"
#include "sound_layer.h"
#include "sound_layer_testing.h"
#include "sound_render.h"
#include "sound_spectrum.h"
#include "test_sound_xm.h"
#include "xm_check.h"

#include <libopenmpt/libopenmpt.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <memory>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <tuple>
#include <vector>

namespace {

int64_t frames_in(Uint32 ms) { return static_cast<int64_t>(ms) * 441 / 10; }

std::vector<int16_t> sine_period(int n, double amplitude) {
    std::vector<int16_t> s(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        s[static_cast<size_t>(i)] =
            static_cast<int16_t>(std::lround(amplitude * std::sin(2.0 * std::numbers::pi * i / n)));
    return s;
}

// Patterns of 16, 5, 33 and 7 rows played out of order, a speed change in
// the middle of one, a note here and there; loops back to order 1.
test_xm::song position_song() {
    test_xm::song s;
    s.orders = {2, 0, 3, 1, 2};
    s.restart = 1;
    s.speed = 3;
    s.bpm = 150;
    for (int rows : {16, 5, 33, 7}) {
        test_xm::pattern p;
        p.rows.resize(static_cast<size_t>(rows));
        p.rows[0] = {49, 1, 0, 0};
        s.patterns.push_back(p);
    }
    s.patterns[2].rows[10] = {0, 0, 0x0F, 2};   // speed 2 from here
    s.patterns[3].rows[3] = {0, 0, 0x0F, 4};    // speed 4 from here
    s.sample = sine_period(32, 12000.0);
    return s;
}

// One C-4 on a looped 16-sample full-scale sine period: 8363 / 16 Hz.
test_xm::song sine_song() {
    test_xm::song s;
    s.orders = {0};
    s.speed = 6;
    s.bpm = 125;
    test_xm::pattern p;
    p.rows.resize(64);
    p.rows[0] = {49, 1, 0, 0};
    s.patterns.push_back(p);
    s.sample = sine_period(16, 32767.0);
    return s;
}

std::string write_song(const char* name, const test_xm::song& s) {
    const std::string path = ::testing::TempDir() + name;
    EXPECT_TRUE(test_xm::write(path, s));
    return path;
}

// libopenmpt on its own, read forward to any frame count.
struct reference {
    std::vector<uint8_t> bytes;
    openmpt_module* m = nullptr;
    int64_t frames = 0;
    std::vector<int16_t> last;  // samples of the last read_to

    explicit reference(const test_xm::song& s) : bytes(test_xm::build(s)) {
        m = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                               nullptr, nullptr, nullptr, nullptr, nullptr);
        openmpt_module_set_repeat_count(m, -1);
        openmpt_module_ctl_set_integer(m, "dither", 0);  // as the layer renders
    }
    ~reference() { openmpt_module_destroy(m); }
    void read_to(int64_t f) {
        last.assign(static_cast<size_t>((f - frames) * 2), 0);
        if (f > frames)
            openmpt_module_read_interleaved_stereo(m, 44100, static_cast<size_t>(f - frames), last.data());
        frames = f;
    }
    int order() { return openmpt_module_get_current_order(m); }
    int pattern() { return openmpt_module_get_current_pattern(m); }
    int row() { return openmpt_module_get_current_row(m); }
};

class SoundLayer : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        sound_layer::reset();
        run = std::make_unique<show_run>();
        sound_layer::set_clock({clk::ticks, clk::simulated});  // its clock is the layer's
        clk::set_simulated(true);
    }
    void TearDown() override {
        sound_layer::reset();
        run.reset();
    }
    std::unique_ptr<show_run> run;
};

TEST_F(SoundLayer, PositionsEqualLibopenmptAfterThatManyFramesAcrossLoops) {
    const test_xm::song s = position_song();
    FMUSIC_MODULE* song = FMUSIC_LoadSong(write_song("positions.xm", s).c_str());
    ASSERT_NE(song, nullptr);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_FALSE(sound_layer::device_open());  // the simulated clock never opens a device

    clk::advance_to(777);
    EXPECT_EQ(FMUSIC_GetTime(song), 0u);  // no music time before playback
    EXPECT_FALSE(sound_layer::playing(song));
    FMUSIC_PlaySong(song);
    EXPECT_TRUE(sound_layer::playing(song));
    EXPECT_EQ(FMUSIC_GetTime(song), 0u);

    reference ref(s);
    EXPECT_EQ(FMUSIC_GetOrder(song), ref.order());
    EXPECT_EQ(FMUSIC_GetPattern(song), ref.pattern());
    EXPECT_EQ(FMUSIC_GetRow(song), ref.row());

    const Uint32 steps[] = {1, 2, 3, 7, 16, 29, 30, 31, 1, 45};
    int wraps = 0, prev_order = 0, patterns_differ = 0;
    Uint32 d = 0;
    for (int i = 0; d < 12000; ++i) {
        d += steps[i % 10];
        clk::advance_to(777 + d);
        // the song is read in whole 256-frame blocks: the state after the
        // block that holds the frame before this one
        ref.read_to((frames_in(d) + 255) / 256 * 256);
        ASSERT_EQ(FMUSIC_GetTime(song), d);  // exact function of the ticks, across every loop
        const int order = FMUSIC_GetOrder(song);
        ASSERT_EQ(order, ref.order()) << "at " << d << " ms";
        ASSERT_EQ(FMUSIC_GetPattern(song), ref.pattern()) << "at " << d << " ms";
        ASSERT_EQ(FMUSIC_GetRow(song), ref.row()) << "at " << d << " ms";
        wraps += order < prev_order;
        patterns_differ += FMUSIC_GetPattern(song) != order;
        prev_order = order;
    }
    EXPECT_GE(wraps, 2);  // the song looped at least twice and the clock went on
    EXPECT_GT(patterns_differ, 0);
    EXPECT_TRUE(FMUSIC_FreeSong(song));
}

TEST_F(SoundLayer, DeviceSizedBlocksReportTheBlockEndState) {
    // The callback renders whole device buffers; order/pattern/row at frame
    // A are libopenmpt's report after the 256-frame block holding A - 1.
    const test_xm::song s = position_song();
    const std::vector<uint8_t> bytes = test_xm::build(s);
    openmpt_module* m = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent,
                                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(m, nullptr);
    openmpt_module_set_repeat_count(m, -1);
    openmpt_module_ctl_set_integer(m, "dither", 0);
    sound_render::renderer r;
    r.render(nullptr, 300);  // silence before the song
    r.start(m);
    reference ref(s);
    std::vector<int16_t> buf(1024 * 2);
    std::vector<std::array<int, 3>> at_block_end;  // reference state after k blocks
    at_block_end.push_back({ref.order(), ref.pattern(), ref.row()});
    for (int call = 0; call < 8; ++call) {
        r.render(buf.data(), 1024);
        for (int k = 0; k < 4; ++k) {
            ref.read_to(ref.frames + 256);
            at_block_end.push_back({ref.order(), ref.pattern(), ref.row()});
            ASSERT_EQ(0, std::memcmp(ref.last.data(), buf.data() + k * 512, 512 * sizeof(int16_t)))
                << "samples differ from libopenmpt's own, block " << call * 4 + k;
        }
    }
    // Every frame, block ends included: there the block that holds A - 1
    // has just ended, and the next one (rendered ahead) must not answer.
    for (int64_t a = 0; a <= r.song_frames(); ++a) {
        const auto& want = at_block_end[static_cast<size_t>((a + 255) / 256)];
        const sound_render::position p = r.at(a);
        ASSERT_EQ((std::array<int, 3>{p.order, p.pattern, p.row}), want) << "frame " << a;
    }
    openmpt_module_destroy(m);
}

TEST_F(SoundLayer, DevicePathReportsLibopenmptsPositionAtTheAudibleFrame) {
    // A stand-in device asks for 1024 frames every 23 ms. What is heard lags
    // two buffers behind what was handed over, plus the ms since the last
    // request: time is that frame's, and order, pattern and row are
    // libopenmpt's after the 256-frame block that ends at or after it (the
    // frame itself right after a request, where it is a block end).
    const test_xm::song s = position_song();
    FMUSIC_MODULE* song = FMUSIC_LoadSong(write_song("device_path.xm", s).c_str());
    ASSERT_NE(song, nullptr);
    sound_layer::attach_test_device();
    ASSERT_TRUE(sound_layer::device_open());
    clk::advance_to(1000);
    FMUSIC_PlaySong(song);
    reference ref(s);
    constexpr int buffer = 1024;
    int64_t handed = 0;
    int row_changes = 0, last_row = 0;
    for (int call = 0; call < 300; ++call) {
        const Uint32 request = 1000 + 23 * static_cast<Uint32>(call);
        clk::advance_to(request);
        sound_layer::feed_test_device(buffer);
        handed += buffer;
        for (Uint32 ms = 0; ms < 23; ms += call % 3 == 0 ? 1 : 11) {
            clk::advance_to(request + ms);
            const int64_t heard = handed - 2 * buffer + frames_in(ms);
            if (heard < 0) {
                ASSERT_EQ(FMUSIC_GetTime(song), 0u);
                continue;
            }
            ASSERT_NEAR(FMUSIC_GetTime(song), heard / 44.1, 0.5) << "call " << call << " + " << ms << " ms";
            ref.read_to((heard + 255) / 256 * 256);
            const int row = FMUSIC_GetRow(song);
            ASSERT_EQ(FMUSIC_GetOrder(song), ref.order()) << "frame " << heard;
            ASSERT_EQ(FMUSIC_GetPattern(song), ref.pattern()) << "frame " << heard;
            ASSERT_EQ(row, ref.row()) << "frame " << heard;
            row_changes += row != last_row;
            last_row = row;
        }
    }
    EXPECT_GT(row_changes, 100);
    FSOUND_Close();
    EXPECT_FALSE(sound_layer::device_open());
    FMUSIC_FreeSong(song);
}

TEST(SoundRender, AudibleFrameLagsTwoBuffersAndNeverGoesBack) {
    using sound_render::audible_estimate;
    EXPECT_EQ(audible_estimate(0, 0, 5, 0), 0);          // before the first callback
    EXPECT_EQ(audible_estimate(1024, 1024, 0, 0), 0);    // first buffer handed: nothing heard yet
    EXPECT_EQ(audible_estimate(4096, 1024, 0, 0), 2048);
    EXPECT_EQ(audible_estimate(4096, 1024, 10, 0), 2048 + 441);
    EXPECT_EQ(audible_estimate(4096, 1024, 500, 0), 3072);  // a late callback holds it at one buffer
    // Walk callbacks that come early and late: the estimate never goes back.
    int64_t last = 0, handed = 0;
    const uint32_t gaps[] = {0, 5, 40, 1, 23, 23, 60, 0, 0, 12};
    for (int i = 0; i < 200; ++i) {
        if (i % 3 == 0)
            handed += 1024;
        const int64_t now = audible_estimate(handed, 1024, gaps[i % 10], last);
        ASSERT_GE(now, last);
        ASSERT_LE(now, handed - 1024);
        last = now;
    }
}

TEST(SoundRender, HistoryReadsOnlyFramesStillKept) {
    // 100 frames more than the history holds: frames 100 .. 65635 are kept.
    // Every slot is marked, so a frame read from a stale or future slot
    // shows as 1 instead of 0.
    sound_render::renderer r;
    r.render(nullptr, sound_render::history_frames + 100);
    std::fill(r.history.begin(), r.history.end(), 1.0f);
    float at[4];
    r.copy_history(102, at, 4);  // frames 98 .. 101
    EXPECT_EQ((std::vector<float>(at, at + 4)), (std::vector<float>{0, 0, 1, 1}));
    r.copy_history(r.out_frame + 2, at, 4);  // the last two rendered, two not yet
    EXPECT_EQ((std::vector<float>(at, at + 4)), (std::vector<float>{1, 1, 0, 0}));
    // A song's history is the mono sum of each frame's own two channels.
    reference sine(sine_song());
    sound_render::renderer song;
    song.start(sine.m);
    std::vector<int16_t> out(2 * 600);
    song.render(out.data(), 600);
    std::vector<float> mono(600);
    song.copy_history(600, mono.data(), 600);
    for (size_t i = 0; i < 600; ++i)
        ASSERT_EQ(mono[i], (float(out[2 * i]) + float(out[2 * i + 1])) * (1.0f / 65536.0f)) << "frame " << i;
}

TEST(SoundRender, AtAndBeforeItsFirstFrameASongIsAtItsStartHoweverLongItPlayed) {
    // Past the ring: the oldest record kept is well into the first pattern.
    reference ref(position_song());
    sound_render::renderer r;
    r.start(ref.m);
    r.render(nullptr, (sound_render::ring_entries + 100) * sound_render::block_frames);
    ASSERT_GT(r.at(1).row, 0);
    for (int64_t a : {0, -1}) {
        const sound_render::position p = r.at(a);
        EXPECT_EQ(std::tie(p.order, p.pattern, p.row), std::tie(r.initial.order, r.initial.pattern, r.initial.row))
            << "song frame " << a;
    }
}

TEST(SoundRender, PictureOffsetShiftsTheAudibleFrameWithinWhatWasRendered) {
    using sound_render::audible_estimate;
    // Sound heard 10 ms late: the audible frame is 441 frames further back.
    EXPECT_EQ(audible_estimate(4096, 1024, 10, 0, 441), 2048);
    EXPECT_EQ(audible_estimate(4096, 1024, 0, 0, 2048), 0);
    EXPECT_EQ(audible_estimate(4096, 1024, 0, 0, 2049), 0) << "never before the first frame";
    EXPECT_EQ(audible_estimate(4096, 1024, 0, 1500, 2000), 1500) << "never back";
    // Pictures ahead of the device's estimate, but never beyond the frames
    // handed over (no position or sample exists there yet).
    EXPECT_EQ(audible_estimate(4096, 1024, 0, 0, -1024), 3072);
    EXPECT_EQ(audible_estimate(4096, 1024, 0, 0, -2048), 4096);
    EXPECT_EQ(audible_estimate(4096, 1024, 23, 0, -2048), 4096);
}

TEST_F(SoundLayer, PictureOffsetIsIgnoredOnTheClockDrivenPath) {
    // Captures and --nosound runs render in step with the clock: the offset
    // would only put pictures and the written sound out of step.
    sound_layer::options o;
    o.av_offset_ms = 300;
    sound_layer::configure(o);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_FALSE(sound_layer::device_open());
    FMUSIC_MODULE* song = FMUSIC_LoadSong(write_song("offset_sim.xm", position_song()).c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_PlaySong(song);
    clk::advance_to(clk::ticks() + 1000);
    EXPECT_EQ(FMUSIC_GetTime(song), 1000u);
    FMUSIC_FreeSong(song);
}

TEST_F(SoundLayer, PictureOffsetDelaysTimeRowAndSpectrumTogetherOnTheDevicePath) {
    // The user's offset moves the heard frame back by its length on the
    // device path: time, row and spectrum all read the same shifted frame.
    // A stand-in device on the simulated clock makes every reading exact.
    sound_layer::options o;
    o.av_offset_ms = 250;
    sound_layer::configure(o);
    const test_xm::song s = position_song();
    FMUSIC_MODULE* song = FMUSIC_LoadSong(write_song("offset_dev.xm", s).c_str());
    ASSERT_NE(song, nullptr);
    sound_layer::attach_test_device();
    ASSERT_TRUE(sound_layer::device_open());
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), true);
    clk::advance_to(1000);
    FMUSIC_PlaySong(song);
    reference ref(s);
    constexpr int buffer = 1024;
    int64_t handed = 0;
    int silent_before = 0;
    float loudest = 0.0f;
    for (int call = 0; call < 120; ++call) {
        const Uint32 request = 1000 + 23 * static_cast<Uint32>(call);
        clk::advance_to(request);
        sound_layer::feed_test_device(buffer);
        handed += buffer;
        for (Uint32 ms = 0; ms < 23; ms += 7) {
            clk::advance_to(request + ms);
            const int64_t heard = handed - 2 * buffer + frames_in(ms) - frames_in(250);
            const unsigned time = FMUSIC_GetTime(song);
            const int row = FMUSIC_GetRow(song);
            const float* sp = FSOUND_DSP_GetSpectrum();
            const float peak = *std::max_element(sp, sp + 512);
            if (heard <= 0) {
                // the song is not heard yet: its first row, silence
                ASSERT_EQ(time, 0u) << "call " << call << " + " << ms << " ms";
                ASSERT_EQ(row, 0);
                ASSERT_LT(peak, 0.05f);
                ++silent_before;
                continue;
            }
            ASSERT_NEAR(time, heard / 44.1, 0.5) << "call " << call << " + " << ms << " ms";
            ref.read_to((heard + 255) / 256 * 256);
            ASSERT_EQ(row, ref.row()) << "frame " << heard;
            loudest = std::max(loudest, peak);
        }
    }
    // 250 ms (11025 frames) of offset plus two 1024-frame buffers: requests
    // 0..10 unheard at every reading, request 11 for its first three.
    EXPECT_EQ(silent_before, 11 * 4 + 3);
    EXPECT_GT(loudest, 1.0f) << "the song is heard once the offset has passed";
    FMUSIC_FreeSong(song);
    FSOUND_Close();
}

TEST_F(SoundLayer, SampleSinkIsAlignedToTickZeroAndCarriesTheSong) {
    const test_xm::song s = position_song();
    FMUSIC_MODULE* song = FMUSIC_LoadSong(write_song("sink.xm", s).c_str());
    ASSERT_NE(song, nullptr);
    std::vector<int16_t> out;
    sound_layer::set_sample_sink([&](const int16_t* p, int n) { out.insert(out.end(), p, p + 2 * n); });
    clk::advance_to(1000);
    FMUSIC_PlaySong(song);
    clk::advance_to(1500);
    sound_layer::pump();
    ASSERT_EQ(out.size(), static_cast<size_t>(2 * (frames_in(1000) + frames_in(500))));
    for (int64_t i = 0; i < 2 * frames_in(1000); ++i)
        ASSERT_EQ(out[static_cast<size_t>(i)], 0) << "silence before the song";
    reference ref(s);
    ref.read_to(frames_in(500));
    EXPECT_EQ(0, std::memcmp(ref.last.data(), out.data() + 2 * frames_in(1000), ref.last.size() * 2));
    // After the song is freed the stream goes on silently.
    FMUSIC_FreeSong(song);
    clk::advance_to(1600);
    sound_layer::pump();
    EXPECT_EQ(out.size(), static_cast<size_t>(2 * (frames_in(1000) + frames_in(600))));
    EXPECT_EQ(out.back(), 0);
}

TEST_F(SoundLayer, FullScaleSineReadsTheGainAtItsBin) {
    sound_spectrum::analyser a;
    std::vector<float> in(1024), out(512);
    for (double bin : {40.0, 100.0, 40.5}) {
        for (int i = 0; i < 1024; ++i)
            in[static_cast<size_t>(i)] = static_cast<float>(std::sin(2.0 * std::numbers::pi * bin * i / 1024.0));
        a.run(in.data(), out.data());
        const auto peak = std::max_element(out.begin(), out.end()) - out.begin();
        EXPECT_LE(std::abs(static_cast<double>(peak) - bin), 0.5) << bin;
        if (bin == std::floor(bin)) {
            EXPECT_NEAR(out[static_cast<size_t>(bin)], sound_spectrum::gain, 0.001f * sound_spectrum::gain);
            EXPECT_LT(out[static_cast<size_t>(bin) + 3], 0.001f * sound_spectrum::gain);  // Hann: nothing beyond the main lobe
        } else {
            // Half a bin off: both neighbours read the window's scallop loss.
            EXPECT_GT(out[40], 0.8f * sound_spectrum::gain);
            EXPECT_NEAR(out[41], out[40], 0.01f * sound_spectrum::gain);
        }
    }
}

TEST_F(SoundLayer, SineModuleSpectrumPeaksAtItsBinAndIsRefilledEachCall) {
    FMUSIC_MODULE* song = FMUSIC_LoadSong(write_song("sine.xm", sine_song()).c_str());
    ASSERT_NE(song, nullptr);
    std::vector<int16_t> out;
    sound_layer::set_sample_sink([&](const int16_t* p, int n) { out.insert(out.end(), p, p + 2 * n); });
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), true);
    float* spectrum = FSOUND_DSP_GetSpectrum();
    EXPECT_EQ(*std::max_element(spectrum, spectrum + 512), 0.0f);  // silence before playback

    FMUSIC_PlaySong(song);
    clk::advance_to(700);
    spectrum = FSOUND_DSP_GetSpectrum();
    const std::vector<float> first(spectrum, spectrum + 512);
    const long peak = std::max_element(first.begin(), first.end()) - first.begin();
    EXPECT_EQ(peak, std::lround(8363.0 / 16.0 / (44100.0 / 1024.0)));

    // The mono amplitude of the last 1024 frames is what the peak bin reads.
    float amplitude = 0.0f;
    for (size_t i = out.size() - 2048; i < out.size(); i += 2)
        amplitude = std::max(amplitude, std::fabs((out[i] + out[i + 1]) / 65536.0f));
    EXPECT_GT(amplitude, 0.1f);
    EXPECT_NEAR(first[static_cast<size_t>(peak)], amplitude * sound_spectrum::gain,
                0.06f * amplitude * sound_spectrum::gain);

    // Writable, refilled on the next call.
    std::fill(spectrum, spectrum + 512, 123.0f);
    float* again = FSOUND_DSP_GetSpectrum();
    EXPECT_EQ(again, spectrum);
    EXPECT_EQ(std::vector<float>(again, again + 512), first);

    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), false);
    again = FSOUND_DSP_GetSpectrum();
    EXPECT_EQ(*std::max_element(again, again + 512), 0.0f);
    FMUSIC_FreeSong(song);
}

TEST_F(SoundLayer, MissingOrBrokenSongStillGivesAnAdvancingClock) {
    const std::string missing = ::testing::TempDir() + "no_such_song.xm";
    // A failed load says why through last_load_error and prints nothing:
    // the caller names the path, once.
    testing::internal::CaptureStderr();
    EXPECT_EQ(FMUSIC_LoadSong(missing.c_str()), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(sound_layer::last_load_error().find("no such file"), std::string::npos);

    const std::string broken = ::testing::TempDir() + "broken.xm";
    std::vector<uint8_t> bytes = test_xm::build(position_song());
    bytes.resize(40);  // cut inside the header
    std::ofstream(broken, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), 40);
    testing::internal::CaptureStderr();
    EXPECT_EQ(FMUSIC_LoadSong(broken.c_str()), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(sound_layer::last_load_error().find("the file ends inside its header"), std::string::npos);

    testing::internal::CaptureStderr();
    EXPECT_EQ(FMUSIC_LoadSong(::testing::TempDir().c_str()), nullptr);  // a folder
    EXPECT_EQ(sound_layer::last_load_error(), "not a regular file");
    std::ofstream(broken, std::ios::trunc).close();
    EXPECT_EQ(FMUSIC_LoadSong(broken.c_str()), nullptr);
    EXPECT_EQ(sound_layer::last_load_error(), "empty file");
    testing::internal::GetCapturedStderr();

    clk::advance_to(300);
    EXPECT_EQ(FMUSIC_GetTime(nullptr), 0u);
    EXPECT_FALSE(FMUSIC_PlaySong(nullptr));
    const Uint32 start = FMUSIC_GetTime(nullptr);
    for (Uint32 t = 301; t < 2000; t += 13) {
        clk::advance_to(t);
        ASSERT_EQ(FMUSIC_GetTime(nullptr) - start, t - 300);
        ASSERT_EQ(FMUSIC_GetRow(nullptr), 0);
        ASSERT_EQ(FMUSIC_GetPattern(nullptr), 0);
    }
    // A song loaded but not playing keeps no time while the silence plays.
    FMUSIC_MODULE* idle = FMUSIC_LoadSong(write_song("idle.xm", position_song()).c_str());
    ASSERT_NE(idle, nullptr);
    EXPECT_EQ(FMUSIC_GetTime(idle), 0u);
    FMUSIC_FreeSong(idle);
    // A clock restarted behind the play tick neither hangs nor turns time back.
    const Uint32 before = FMUSIC_GetTime(nullptr);
    clk::set_simulated(true);
    EXPECT_EQ(FMUSIC_GetTime(nullptr), before);
    EXPECT_FALSE(FMUSIC_FreeSong(nullptr));
}

TEST_F(SoundLayer, NoDeviceLiveClockAdvancesAndNeverGoesBack) {
    clk::set_simulated(false);
    sound_layer::configure({.nosound = true});
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_FALSE(sound_layer::device_open());
    FMUSIC_MODULE* song = FMUSIC_LoadSong(write_song("live.xm", position_song()).c_str());
    ASSERT_NE(song, nullptr);
    // t0 before the song starts, so that no music time can lie before it
    // however long the start takes on a loaded machine.
    const Uint32 t0 = clk::ticks();
    FMUSIC_PlaySong(song);
    unsigned last = FMUSIC_GetTime(song);
    while (clk::ticks() - t0 < 250) {
        SDL_Delay(3);
        const unsigned now = FMUSIC_GetTime(song);
        ASSERT_GE(now, last);
        last = now;
    }
    // Read once more after the loop: on a loaded machine the loop's last
    // reading can lie well before the 250 ms it ended at.
    const unsigned end = FMUSIC_GetTime(song);
    ASSERT_GE(end, last);
    last = end;
    EXPECT_GE(last, 200u);
    EXPECT_LE(last, clk::ticks() - t0 + 1);
    FMUSIC_FreeSong(song);
    FSOUND_Close();
}

TEST_F(SoundLayer, FailedInitFallsBackToTheLiveClock) {
    clk::set_simulated(false);
    const std::string before = std::getenv("SDL_AUDIODRIVER") ? std::getenv("SDL_AUDIODRIVER") : "";
    setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
    testing::internal::CaptureStderr();
    const bool opened = FSOUND_Init(44100, 32, 0);
    const std::string said = testing::internal::GetCapturedStderr();
    setenv("SDL_AUDIODRIVER", before.c_str(), 1);
    ASSERT_FALSE(opened);
    EXPECT_NE(said.find("keeps time without it"), std::string::npos);
    FSOUND_Close();
    EXPECT_FALSE(sound_layer::device_open());
    FMUSIC_MODULE* song = FMUSIC_LoadSong(write_song("fallback.xm", position_song()).c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_PlaySong(song);
    SDL_Delay(120);
    EXPECT_GE(FMUSIC_GetTime(song), 100u);
    FMUSIC_FreeSong(song);
}

TEST_F(SoundLayer, SdlDevicePathKeepsAMonotonicAdvancingClock) {
    // SDL's dummy driver opens a device that consumes buffers in real time.
    clk::set_simulated(false);
    FSOUND_SetOutput(1);
    FSOUND_SetDriver(0);
    const bool opened = FSOUND_Init(44100, 32, 0);
    ASSERT_TRUE(opened) << "SDL's dummy audio driver opens";
    EXPECT_TRUE(sound_layer::device_open());
    FSOUND_DSP_SetActive(FSOUND_DSP_GetFFTUnit(), true);
    FMUSIC_MODULE* song = FMUSIC_LoadSong(write_song("device.xm", position_song()).c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_PlaySong(song);
    EXPECT_LE(FMUSIC_GetTime(song), 5u);
    const Uint32 t0 = clk::ticks();
    unsigned last = 0;
    float loudest = 0.0f;
    while (clk::ticks() - t0 < 600) {
        SDL_Delay(2);
        const unsigned now = FMUSIC_GetTime(song);
        ASSERT_GE(now, last);
        last = now;
        ASSERT_GE(FMUSIC_GetRow(song), 0);
        ASSERT_GE(FMUSIC_GetOrder(song), 0);
        const float* sp = FSOUND_DSP_GetSpectrum();
        loudest = std::max(loudest, *std::max_element(sp, sp + 512));
    }
    EXPECT_GE(last, 300u);
    EXPECT_LE(last, clk::ticks() - t0 + 50);
    EXPECT_GT(loudest, 0.01f);  // the spectrum follows what is heard
    FMUSIC_FreeSong(song);
    FSOUND_Close();
    EXPECT_FALSE(sound_layer::device_open());
}

int latency_probe_calls = 0;
int half_second_latency() {
    ++latency_probe_calls;
    return 22050;
}

TEST_F(SoundLayer, ReportedOutputLatencyHoldsTheHeardPositionBack) {
    // Half a second still in the output after the device (as a browser
    // reports it): the heard frame is that much behind the device's, and the
    // latency is asked for on every request.
    sound_layer::options o;
    o.output_latency_frames = half_second_latency;
    sound_layer::configure(o);
    latency_probe_calls = 0;
    FMUSIC_MODULE* song = FMUSIC_LoadSong(write_song("latency.xm", position_song()).c_str());
    ASSERT_NE(song, nullptr);
    sound_layer::attach_test_device();
    clk::advance_to(1000);
    FMUSIC_PlaySong(song);
    constexpr int buffer = 1024;
    int64_t handed = 0;
    for (int call = 0; call < 60; ++call) {
        const Uint32 request = 1000 + 23 * static_cast<Uint32>(call);
        clk::advance_to(request);
        sound_layer::feed_test_device(buffer);
        handed += buffer;
        clk::advance_to(request + 10);
        const int64_t heard = handed - 2 * buffer + frames_in(10) - 22050;
        if (heard <= 0)
            ASSERT_EQ(FMUSIC_GetTime(song), 0u) << "call " << call;
        else
            ASSERT_NEAR(FMUSIC_GetTime(song), heard / 44.1, 0.5) << "call " << call;
    }
    EXPECT_EQ(latency_probe_calls, 60);
    EXPECT_GT(FMUSIC_GetTime(song), 0u);
    FMUSIC_FreeSong(song);
    FSOUND_Close();
}

}  // namespace

TEST_F(SoundLayer, CutOrForeignSongsAreRefusedNotPlayedShort) {
    const std::vector<uint8_t> full = test_xm::build(sine_song());
    ASSERT_GT(full.size(), 700u);
    auto refusal = [](const std::vector<uint8_t>& b, size_t size) {
        FMUSIC_MODULE* m = sound_layer::load_song(b.data(), size);
        if (m) {
            FMUSIC_FreeSong(m);
            return std::string();
        }
        return sound_layer::last_load_error();
    };
    EXPECT_EQ(refusal(full, full.size()), "");
    EXPECT_EQ(check_xm(full.data(), full.size()), "");
    // where each part of the layout lies: the header's 276 bytes from 60,
    // pattern 0 (9-byte header and its packed data), instrument 1 (263
    // bytes), its 40-byte sample header, then its sample data to the end
    const size_t pattern = 60 + 276;
    const size_t packed = full[pattern + 7] | (full[pattern + 8] << 8);
    const size_t instrument = pattern + 9 + packed;
    ASSERT_LT(instrument + 263 + 40, full.size());
    const struct {
        size_t size;
        const char* says;
    } cuts[] = {
        {73, "inside its header"},
        {pattern - 1, "inside its header"},
        {pattern + 8, "inside pattern 0's header"},
        {instrument - 1, "inside pattern 0's data"},
        {instrument + 28, "inside instrument 1's header"},
        {instrument + 262, "inside instrument 1's header"},
        {instrument + 263 + 39, "inside instrument 1's sample headers"},
        {full.size() - 16, "inside instrument 1's sample data"},
        {full.size() - 1, "inside instrument 1's sample data"},
    };
    for (const auto& c : cuts) {
        const std::string why = refusal(full, c.size);
        EXPECT_NE(why.find(std::string("the file ends ") + c.says), std::string::npos) << c.size << ": " << why;
        EXPECT_NE(why.find("holds " + std::to_string(c.size) + " bytes"), std::string::npos) << why;
    }
    // cut right after the fields the check reads first: the header's own
    // size says how much is missing
    EXPECT_NE(refusal(full, 74).find("need at least 336)"), std::string::npos) << refusal(full, 74);
    // the song cut in half, as a file: refused through FMUSIC_LoadSong too
    const std::string half = ::testing::TempDir() + "half.xm";
    std::ofstream(half, std::ios::binary).write(reinterpret_cast<const char*>(full.data()), full.size() / 2);
    EXPECT_EQ(FMUSIC_LoadSong(half.c_str()), nullptr);
    EXPECT_NE(sound_layer::last_load_error().find("the file ends inside pattern 0's data"), std::string::npos)
        << sound_layer::last_load_error();
    // other versions, other formats, nonsense sizes in the headers
    std::vector<uint8_t> b = full;
    b[58] = 3;
    EXPECT_EQ(refusal(b, b.size()), "XM version 1.03 (the show reads 1.04)");
    EXPECT_NE(refusal(std::vector<uint8_t>{'M', 'T', 'h', 'd', 0, 0, 0, 6}, 8).find("not an XM module"),
              std::string::npos);
    b = full;
    b[60] = 19, b[61] = 0;
    EXPECT_NE(refusal(b, b.size()).find("header size 19 is below"), std::string::npos);
    // a header of exactly its 20 bytes of fields (the order table left out)
    // is whole as a layout
    std::vector<uint8_t> tight(full.begin(), full.begin() + 80);
    tight.insert(tight.end(), full.begin() + static_cast<std::ptrdiff_t>(pattern), full.end());
    tight[60] = 20, tight[61] = 0;
    EXPECT_EQ(check_xm(tight.data(), tight.size()), "");
    // a last pattern with no packed data whose header ends the file, and no
    // instrument: whole as well
    std::vector<uint8_t> ends(tight.begin(), tight.begin() + 80 + 9);
    ends[60 + 10] = 1, ends[60 + 11] = 0;  // one pattern
    ends[60 + 12] = 0, ends[60 + 13] = 0;  // no instrument
    ends[80 + 7] = 0, ends[80 + 8] = 0;    // no packed data
    EXPECT_EQ(check_xm(ends.data(), ends.size()), "");
    EXPECT_NE(check_xm(ends.data(), ends.size() - 1), "");
    // an instrument without samples whose 29-byte header ends the file: whole
    std::vector<uint8_t> instrument_ends = ends;
    instrument_ends[60 + 12] = 1;
    instrument_ends.resize(ends.size() + 29, 0);
    instrument_ends[ends.size()] = 29;
    EXPECT_EQ(check_xm(instrument_ends.data(), instrument_ends.size()), "");
    EXPECT_NE(check_xm(instrument_ends.data(), instrument_ends.size() - 1).find("inside instrument 1's header"),
              std::string::npos);
    // a header that ends the file, with no pattern and no instrument: whole
    std::vector<uint8_t> bare_header(tight.begin(), tight.begin() + 80);
    bare_header[60 + 10] = bare_header[60 + 11] = 0;
    bare_header[60 + 12] = bare_header[60 + 13] = 0;
    EXPECT_EQ(check_xm(bare_header.data(), bare_header.size()), "");
    EXPECT_NE(check_xm(bare_header.data(), bare_header.size() - 1), "");
    b = full;
    b[pattern] = 8;
    EXPECT_NE(refusal(b, b.size()).find("pattern 0's header size 8 is below 9"), std::string::npos);
    b = full;
    b[instrument] = 32, b[instrument + 1] = 0;
    EXPECT_NE(refusal(b, b.size()).find("instrument 1's header size 32 is below 33"), std::string::npos);
    b = full;
    b[instrument + 29] = 39;
    EXPECT_NE(refusal(b, b.size()).find("sample header size 39 is below 40"), std::string::npos);
    EXPECT_EQ(refusal(full, 0), "empty file");
    // a file beyond any song is refused from its size, unread
    ASSERT_EQ(truncate(half.c_str(), static_cast<off_t>(sound_layer::max_song_bytes + 1)), 0);
    EXPECT_EQ(FMUSIC_LoadSong(half.c_str()), nullptr);
    EXPECT_NE(sound_layer::last_load_error().find("too large for a module (16777217 bytes"), std::string::npos);
    // at exactly the limit the file is read (and refused for what it holds)
    ASSERT_EQ(truncate(half.c_str(), static_cast<off_t>(sound_layer::max_song_bytes)), 0);
    EXPECT_EQ(FMUSIC_LoadSong(half.c_str()), nullptr);
    EXPECT_EQ(sound_layer::last_load_error().find("too large"), std::string::npos) << sound_layer::last_load_error();
    std::remove(half.c_str());
    // a song with no instrument ends after its patterns: complete at that length
    const std::vector<uint8_t> bare = test_xm::build(position_song());
    EXPECT_EQ(check_xm(bare.data(), bare.size()), "");
    EXPECT_NE(check_xm(bare.data(), bare.size() - 1), "");
}

// A song saved mid-play comes back where it was; a saved state whose parts
// do not hold together is refused with its reason, each part on its own.
TEST_F(SoundLayer, ASavedSongComesBackAndOneThatDoesNotHoldTogetherIsRefused) {
    const test_xm::song s = position_song();
    const std::string path = write_song("saved.xm", s);
    FMUSIC_MODULE* song = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(song, nullptr);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    clk::advance_to(100);
    FMUSIC_PlaySong(song);
    clk::advance_to(100 + 2345);
    const Uint32 time = FMUSIC_GetTime(song);
    const int row = FMUSIC_GetRow(song), order = FMUSIC_GetOrder(song);
    const sound_layer::saved_song saved = sound_layer::save_song();
    ASSERT_TRUE(saved.song_playing);
    FMUSIC_FreeSong(song);

    FMUSIC_MODULE* again = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(again, nullptr);
    std::string why;
    ASSERT_TRUE(sound_layer::restore_song(saved, again, why)) << why;
    EXPECT_EQ(FMUSIC_GetTime(again), time);
    EXPECT_EQ(FMUSIC_GetRow(again), row);
    EXPECT_EQ(FMUSIC_GetOrder(again), order);

    auto refused = [&](sound_layer::saved_song broken, const char* what) {
        std::string reason;
        EXPECT_FALSE(sound_layer::restore_song(broken, again, reason)) << what;
        EXPECT_EQ(reason, "the song's saved state does not hold together") << what;
    };
    sound_layer::saved_song b = saved;
    b.ring.resize(sound_render::ring_entries + 1);
    b.ring_count = static_cast<int64_t>(b.ring.size());
    refused(b, "more positions than the ring holds");
    b = saved;
    b.history.pop_back();
    refused(b, "a sample short of the history");
    b = saved;
    b.out_frame = -1;
    refused(b, "a frame before the start");
    b = saved;
    b.ring_count = static_cast<int64_t>(b.ring.size()) - 1;
    refused(b, "fewer positions counted than kept");
    b = saved;
    b.song_start = b.out_frame + 1;
    refused(b, "a song started after the saved frame");
    b = saved;
    b.song_start = b.out_frame;  // started on the saved frame itself: whole
    EXPECT_TRUE(sound_layer::restore_song(b, again, why)) << why;
    FMUSIC_FreeSong(again);
}
