// SDL's audio device behind the device interface: opens it at 44100 Hz
// stereo 16-bit, and its callback thread fills each buffer through the
// layer's source. The audio lock brackets the layer's reads.
#include "audio_device.h"
#include "sound_format.h"

#include <SDL.h>

namespace sound_device {
namespace {

class sdl_device final : public callback_device {
public:
    bool open(const host& h, int buffer_frames, std::string& why) override {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) {
            why = std::string("no audio (") + SDL_GetError() + ")";
            return false;
        }
        SDL_AudioSpec want{};
        want.freq = sound_layer::rate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = static_cast<Uint16>(buffer_frames);
        want.callback = callback;
        want.userdata = this;
        // Stamps first: the callback thread exists once SDL_OpenAudio returns.
        restart(h);
        // No `obtained`: SDL converts to the device's own format behind the callback.
        if (SDL_OpenAudio(&want, nullptr) < 0) {
            why = std::string("cannot open an audio device (") + SDL_GetError() + ")";
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        open_ = true;
        SDL_PauseAudio(0);
        return true;
    }
    void close() override {
        if (!open_)
            return;
        SDL_CloseAudio();  // the callback thread has ended when this returns
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        open_ = false;
    }
    void lock() override {
        if (open_)
            SDL_LockAudio();
    }
    void unlock() override {
        if (open_)
            SDL_UnlockAudio();
    }

private:
    // Runs under the audio lock (SDL holds it around the callback).
    static void callback(void* self, Uint8* stream, int len) {
        static_cast<sdl_device*>(self)->request(reinterpret_cast<int16_t*>(stream), len / 4);  // 16-bit stereo
    }
    bool open_ = false;  // main thread only; the callback never reads it
};

}  // namespace

callback_device& sdl_output() {
    static sdl_device d;
    return d;
}

}  // namespace sound_device
