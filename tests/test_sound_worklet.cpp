// The worklet output against a stand-in worklet that plays posted blocks in
// 128-frame quanta on its own frame clock and reports back only when the
// main thread "yields": the lead, the blocks' content and order, the heard
// frame through stalls and starves, and the fall-back to the clock.
#include <gtest/gtest.h>

#include "clock.h"
#include "show_run.h"
#include "sound_layer.h"
#include "sound_layer_testing.h"
#include "test_sound_xm.h"
#include "worklet_device.h"

#include <algorithm>
#include <deque>
#include <vector>

namespace {

using sound_device::worklet_report;

// What the page's worklet does, on a simulated audio thread.
struct stand_in_worklet : sound_device::worklet_port {
    struct block {
        std::vector<float> planar;
        int frames;
    };
    std::deque<block> queue;
    int at = 0;                   // frames of the head block played
    int64_t clock = 0;            // the output's frame clock
    int64_t played = 0;           // frames played in all
    int underruns = 0;            // starves while playing (a run of empty quanta is one)
    bool starving = false;
    std::vector<float> left, right;  // every frame played, in order
    worklet_report seen;          // the last report the main thread received
    worklet_report::output state = worklet_report::output::running;
    int64_t latency = 0;
    bool opened = false;
    int posts = 0;

    bool open(std::string&) override { return opened = true; }
    void close() override { opened = false; }
    void post(const float* planar, int frames) override {
        EXPECT_GT(frames, 0) << "an empty post";
        ++posts;
        queue.push_back({std::vector<float>(planar, planar + 2 * frames), frames});
    }
    worklet_report report() override {
        worklet_report r = seen;
        r.state = state;
        r.clock_now = clock;
        r.latency = latency;
        return r;
    }
    // n quanta of 128 frames on the audio thread.
    void run(int n) {
        for (; n > 0; --n) {
            int got = 0;
            while (got < 128 && !queue.empty()) {
                block& b = queue.front();
                const int take = std::min(128 - got, b.frames - at);
                left.insert(left.end(), b.planar.begin() + at, b.planar.begin() + at + take);
                right.insert(right.end(), b.planar.begin() + b.frames + at, b.planar.begin() + b.frames + at + take);
                got += take;
                at += take;
                if (at == b.frames) {
                    queue.pop_front();
                    at = 0;
                }
            }
            if (got < 128 && played + got > 0 && !starving)
                ++underruns;
            starving = got < 128;
            played += got;
            clock += 128;
        }
    }
    // The main thread yields: the worklet's latest report arrives.
    void deliver() {
        seen.played = played;
        seen.reported_at = clock;
    }
};

// The layer's source as a ramp: output frame f is (f, -f) / 32768 after conversion.
int64_t ramp_next = 0;
void ramp_fill(int16_t* out, int frames) {
    for (int i = 0; i < frames; ++i, ++ramp_next) {
        out[2 * i] = static_cast<int16_t>(ramp_next % 30000);
        out[2 * i + 1] = static_cast<int16_t>(-(ramp_next % 30000));
    }
}
uint32_t no_ticks() { return 0; }

TEST(WorkletDevice, KeepsItsLeadAndHearsExactlyThroughStallsAndStarves) {
    stand_in_worklet w;
    w.latency = 1500;
    constexpr int lead = 8192;  // eight blocks
    sound_device::worklet_device dev(w, lead);
    ramp_next = 0;
    std::string why;
    ASSERT_TRUE(dev.open({ramp_fill, no_ticks, nullptr}, 0, why));
    EXPECT_TRUE(w.opened);

    // Not running yet: the lead and one block more are posted in one
    // message, nothing is played or heard.
    w.state = worklet_report::output::starting;
    w.clock = 5000;
    ASSERT_TRUE(dev.service());
    EXPECT_EQ(dev.posted(), lead + sound_device::worklet_device::block_frames);
    EXPECT_EQ(w.queue.size(), 1u);
    EXPECT_EQ(dev.played(), 0);
    EXPECT_EQ(dev.heard(ramp_next, 0, 0), 0);
    w.state = worklet_report::output::running;
    w.clock = 0;

    // The heard frame is the worklet's played count less the latency, exact
    // whether its report is fresh or some quanta old; the lead never runs out.
    int64_t last = 0;
    auto expect_exact = [&](const char* when, int step) {
        ASSERT_TRUE(dev.service());
        ASSERT_EQ(dev.played(), w.played) << when << " step " << step;
        ASSERT_GE(dev.posted() - dev.played(), lead) << when << " step " << step;
        const int64_t heard = dev.heard(ramp_next, 0, last);
        ASSERT_EQ(heard, std::max<int64_t>(last, std::max<int64_t>(0, w.played - w.latency)))
            << when << " step " << step;
        last = heard;
    };
    for (int step = 0; step < 200; ++step) {
        w.run(1 + step % 7);  // a frame of 3..20 ms
        if (step % 3 == 0)
            w.deliver();
        expect_exact("steady", step);
    }
    EXPECT_EQ(w.underruns, 0);
    EXPECT_EQ(dev.starves(), 0);
    // Each message carries two blocks at least.
    EXPECT_LE(int64_t{w.posts} * 2 * sound_device::worklet_device::block_frames, dev.posted());

    // A stall of the main thread longer than the lead: the worklet starves
    // (once), and the clock stands where the sound stopped, then goes on
    // with it. The report the main thread holds is from before the stall.
    const int64_t posted_before = dev.posted();
    w.run(200);  // 580 ms
    EXPECT_EQ(w.underruns, 1);
    ASSERT_EQ(w.played, posted_before);
    expect_exact("after the stall", 0);
    EXPECT_EQ(dev.starves(), 1);
    EXPECT_EQ(last, posted_before - w.latency);
    for (int step = 0; step < 40; ++step) {
        w.run(1 + step % 5);
        if (step == 30)
            w.deliver();
        expect_exact("resumed", step);
    }
    EXPECT_EQ(w.underruns, 1);
    // A stall that ends just as the last posted frame is played: no starve.
    w.run(static_cast<int>((dev.posted() - w.played) / 128));
    expect_exact("drained", 0);
    EXPECT_EQ(w.underruns, 1);
    EXPECT_EQ(dev.starves(), 1);
    // A second, longer one: counted again.
    w.run(static_cast<int>((dev.posted() - w.played) / 128) + 3);
    expect_exact("second stall", 0);
    EXPECT_EQ(w.underruns, 2);
    EXPECT_EQ(dev.starves(), 2);

    // Every frame rendered was played once, in order: left = f, right = -f.
    ASSERT_EQ(static_cast<int64_t>(w.left.size()), w.played);
    for (size_t f = 0; f < w.left.size(); ++f) {
        ASSERT_EQ(w.left[f], static_cast<float>(f % 30000) / 32768.0f) << "frame " << f;
        ASSERT_EQ(w.right[f], -static_cast<float>(f % 30000) / 32768.0f) << "frame " << f;
    }
    // Heard never beyond what the layer handed over; a failed output says so.
    EXPECT_EQ(dev.heard(0, -100000, 0), 0);
    EXPECT_EQ(dev.heard(ramp_next, -100000, 0), ramp_next);
    w.state = worklet_report::output::failed;
    EXPECT_FALSE(dev.service());
    dev.close();
    EXPECT_FALSE(w.opened);
}

test_xm::song tone_song() {
    test_xm::song s;
    s.orders = {0};
    test_xm::pattern p;
    p.rows.resize(64);
    p.rows[0] = {49, 1, 0, 0};
    s.patterns.push_back(p);
    for (int i = 0; i < 32; ++i)
        s.sample.push_back(static_cast<int16_t>(i < 16 ? 9000 : -9000));
    return s;
}

TEST(WorkletDevice, SongClockFollowsWhatIsPlayedAndGoesOnByTheTicksWhenTheOutputFails) {
    sound_layer::reset();
    show_run run;  // its clock is the layer's
    sound_layer::set_clock({clk::ticks, clk::simulated});
    stand_in_worklet w;
    w.latency = 441;
    sound_device::worklet_device dev(w, 4410);
    sound_layer::set_output(&dev);
    clk::set_simulated(false);  // a device opens only on the live clock
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    ASSERT_TRUE(sound_layer::device_open());
    clk::set_simulated(true);
    const std::string path = ::testing::TempDir() + "worklet_tone.xm";
    ASSERT_TRUE(test_xm::write(path, tone_song()));
    FMUSIC_MODULE* song = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(song, nullptr);
    // The worklet runs idle before the song; nothing is posted until it plays,
    // and its report is some quanta old when the song starts.
    w.run(50);
    w.deliver();
    w.run(30);
    clk::advance_to(100);
    FMUSIC_GetTime(song);
    EXPECT_EQ(dev.posted(), 0);
    FMUSIC_PlaySong(song);
    const int64_t song_start = 0;  // the song's first frame is the first the worklet plays
    EXPECT_EQ(dev.posted(), 6144);  // 4410 frames of lead in whole blocks, and one more
    EXPECT_EQ(dev.starves(), 0);  // a first block onto an idle worklet is no starve
    for (int step = 0; step < 300; ++step) {
        w.run(step % 4 + 1);
        if (step % 5 == 0)
            w.deliver();
        if (step == 150)
            w.run(600);  // a stall: time stands still, then goes on
        const unsigned t = FMUSIC_GetTime(song);
        const int64_t heard = std::max<int64_t>(0, w.played - w.latency - song_start);
        ASSERT_EQ(t, static_cast<unsigned>((heard * 1000 + 22050) / 44100)) << "step " << step;
    }
    EXPECT_EQ(w.underruns, 1);
    // The output fails: the clock goes on from the last frame rendered, by the ticks.
    w.state = worklet_report::output::failed;
    const unsigned rendered_ms = static_cast<unsigned>(((dev.posted() - song_start) * 1000 + 22050) / 44100);
    testing::internal::CaptureStderr();
    const unsigned at_fail = FMUSIC_GetTime(song);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("keeps time without it"), std::string::npos);
    EXPECT_FALSE(sound_layer::device_open());
    EXPECT_FALSE(w.opened);
    EXPECT_GE(at_fail, rendered_ms);
    EXPECT_LE(at_fail, rendered_ms + 1);
    clk::advance_to(clk::ticks() + 1000);
    EXPECT_EQ(FMUSIC_GetTime(song), at_fail + 1000);
    FMUSIC_FreeSong(song);
    sound_layer::reset();
    clk::set_simulated(false);
}

TEST(WorkletDevice, OpenedAtALiveStartPointItPlaysOnFromWhereTheRunAheadStopped) {
    const std::string path = ::testing::TempDir() + "worklet_start_tone.xm";
    ASSERT_TRUE(test_xm::write(path, tone_song()));
    // The song's frames as a capture renders them, from its first.
    std::vector<int16_t> ref;
    {
        sound_layer::reset();
        show_run run;
        sound_layer::set_clock({clk::ticks, clk::simulated});
        clk::set_simulated(true);
        sound_layer::set_sample_sink([&](const int16_t* pcm, int frames) { ref.insert(ref.end(), pcm, pcm + 2 * frames); });
        FMUSIC_MODULE* song = FMUSIC_LoadSong(path.c_str());
        ASSERT_NE(song, nullptr);
        FMUSIC_PlaySong(song);
        clk::advance_to(1200);
        sound_layer::pump();
        FMUSIC_FreeSong(song);
        sound_layer::reset();
    }
    ASSERT_GE(ref.size(), size_t{2 * 52920});
    ASSERT_NE(std::count(ref.begin() + 2 * 44100, ref.begin() + 2 * 52100, int16_t{0}), 2 * 8000);  // sound there
    sound_layer::reset();
    show_run run;
    sound_layer::set_clock({clk::ticks, clk::simulated});
    stand_in_worklet w;
    w.latency = 441;
    sound_device::worklet_device dev(w, 4410);
    sound_layer::set_output(&dev);
    clk::set_simulated(true);  // the run ahead: no device, nothing posted
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FMUSIC_MODULE* song = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(song, nullptr);
    FMUSIC_PlaySong(song);
    clk::advance_to(1000);
    EXPECT_EQ(FMUSIC_GetTime(song), 1000u);
    EXPECT_FALSE(w.opened);
    // The start point: the clock turns live and the device opens.
    clk::go_live();
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    ASSERT_TRUE(sound_layer::device_open());
    w.run(3);  // idle quanta before the first block are no starve
    w.deliver();
    EXPECT_EQ(FMUSIC_GetTime(song), 1000u);  // held, never back, until the lead is heard
    EXPECT_EQ(dev.posted(), 6144);  // 4410 frames of lead in whole blocks, and one more
    for (int step = 0; step < 120; ++step) {
        w.run(2);
        w.deliver();
        const int64_t heard = std::max<int64_t>(44100, 44100 + w.played - w.latency);
        ASSERT_EQ(FMUSIC_GetTime(song), static_cast<unsigned>((heard * 1000 + 22050) / 44100)) << "step " << step;
    }
    EXPECT_EQ(w.underruns, 0);
    // What the worklet played is the song going on from the start point.
    ASSERT_GE(w.left.size(), size_t{8000});
    for (size_t f = 0; f < 8000; ++f) {
        ASSERT_EQ(w.left[f], static_cast<float>(ref[2 * (44100 + f)]) / 32768.0f) << "frame " << f;
        ASSERT_EQ(w.right[f], static_cast<float>(ref[2 * (44100 + f) + 1]) / 32768.0f) << "frame " << f;
    }
    FMUSIC_FreeSong(song);
    sound_layer::reset();
}

}  // namespace
