// The worklet port over the page's script: posts blocks from the program's
// memory, reads the worklet's last report and the context's clock. Every
// call lands in window.ostramereAudio (web/audio.js). Browser only.
#include "web_audio.h"

#include "sound_format.h"
#include "worklet_device.h"

#include <emscripten.h>

#include <cmath>

EM_JS(int, ostra_audio_usable, (), {
    var a = window['ostramereAudio'];
    return a && a['usable']() ? 1 : 0;
});
EM_JS(int, ostra_audio_lead_ms, (), {
    var a = window['ostramereAudio'];
    return a ? a['leadMs'] : 600;
});
EM_JS(void, ostra_audio_post, (const float* planar, int frames), {
    window['ostramereAudio']['post'](HEAPF32.subarray(planar >> 2, (planar >> 2) + 2 * frames), frames);
});
EM_JS(int, ostra_audio_report, (double* out), {
    var a = window['ostramereAudio'];
    return a ? a['report'](HEAPF64, out >> 3) : 2;
});
EM_JS(void, ostra_audio_close, (), {
    var a = window['ostramereAudio'];
    if (a) a['close']();
});

namespace web_audio {
namespace {

class page_port final : public sound_device::worklet_port {
public:
    bool open(std::string& why) override {
        if (ostra_audio_usable())
            return true;
        why = "the page has no sound output";
        return false;
    }
    void close() override { ostra_audio_close(); }
    void post(const float* planar, int frames) override { ostra_audio_post(planar, frames); }
    sound_device::worklet_report report() override {
        double v[4] = {0, 0, 0, 0};
        const int state = ostra_audio_report(v);
        sound_device::worklet_report r;
        r.state = state == 1   ? sound_device::worklet_report::output::running
                  : state == 0 ? sound_device::worklet_report::output::starting
                               : sound_device::worklet_report::output::failed;
        r.played = std::llround(v[0]);
        r.reported_at = std::llround(v[1]);
        r.clock_now = std::llround(v[2]);
        r.latency = std::llround(v[3]);
        return r;
    }
};

}  // namespace

sound_device::device& output() {
    static page_port port;
    static sound_device::worklet_device device(port, ostra_audio_lead_ms() * sound_layer::rate / 1000);
    return device;
}

}  // namespace web_audio
