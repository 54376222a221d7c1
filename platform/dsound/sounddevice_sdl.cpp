#include "platform/dsound/mixer.h"
#include "platform/dsound/sounddevice.h"

#include <SDL2/SDL.h>

namespace standin::detail {

namespace {

// SDL's audio thread pulls mixed frames, a period of 1024 frames at a time.
class TSdlSoundDevice final : public TSoundDevice {
public:
    TSdlSoundDevice(SDL_AudioDeviceID device, std::string driver)
        : mDevice(device), mDriver(std::move(driver)) {}

    ~TSdlSoundDevice() override {
        // Waits for a callback under way; none follows.
        SDL_CloseAudioDevice(mDevice);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    TSdlSoundDevice(const TSdlSoundDevice&) = delete;
    TSdlSoundDevice& operator=(const TSdlSoundDevice&) = delete;

    std::string Name() const override { return "sdl:" + mDriver; }
    bool Advance(DWORD /*frames*/) override { return false; }
    std::vector<std::int16_t> TakeCapture() override { return {}; }

    static void Pull(void* mixer, Uint8* stream, int length) {
        static_cast<TMixer*>(mixer)->Mix(reinterpret_cast<std::int16_t*>(stream),
                                         static_cast<DWORD>(length) / (2 * TMixer::kChannels));
    }

private:
    SDL_AudioDeviceID mDevice;
    std::string mDriver;
};

} // namespace

std::unique_ptr<TSoundDevice> OpenSdlSoundDevice(TMixer& mixer) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return nullptr;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(TMixer::kRate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(TMixer::kChannels);
    wanted.samples = 1024;
    wanted.callback = &TSdlSoundDevice::Pull;
    wanted.userdata = &mixer;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to whatever the hardware takes.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    auto opened = std::make_unique<TSdlSoundDevice>(device, driver != nullptr ? driver : "");
    SDL_PauseAudioDevice(device, 0);
    return opened;
}

} // namespace standin::detail
