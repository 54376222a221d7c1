// The DirectSound stand-in's mixer: 32 looping 44.1 kHz stereo buffers of two seconds, playing
// at different volumes, mixed into one second of output on the null device. The time is per
// second of output, in milliseconds.
#include <benchmark/benchmark.h>

#include "platform/dsound/dsound.h"
#include "platform/dsound/standin_dsound.h"
#include "platform/win32/winuser.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

constexpr DWORD kRate = 44100;
constexpr int kBuffers = 32;

void Check(HRESULT result) {
    if (FAILED(result)) {
        throw std::runtime_error("DirectSound call failed");
    }
}

struct TMixScene {
    HWND window = nullptr;
    IDirectSound* sound = nullptr;
    std::vector<IDirectSoundBuffer*> buffers;

    TMixScene() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        standin::UseNullSoundDevice(true);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "MixerBench";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "MixerBench", "bench", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                 nullptr, nullptr);
        Check(DirectSoundCreate(nullptr, &sound, nullptr));
        Check(sound->SetCooperativeLevel(window, DSSCL_PRIORITY));
        WAVEFORMATEX format{};
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 2;
        format.nSamplesPerSec = kRate;
        format.wBitsPerSample = 16;
        format.nBlockAlign = 4;
        format.nAvgBytesPerSec = kRate * 4;
        for (int i = 0; i < kBuffers; ++i) {
            DSBUFFERDESC desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY |
                           DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
            desc.dwBufferBytes = 2 * format.nAvgBytesPerSec;
            desc.lpwfxFormat = &format;
            IDirectSoundBuffer* buffer = nullptr;
            Check(sound->CreateSoundBuffer(&desc, &buffer, nullptr));
            buffers.push_back(buffer);
            void* audio = nullptr;
            DWORD bytes = 0;
            Check(buffer->Lock(0, 0, &audio, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER));
            auto* samples = static_cast<std::int16_t*>(audio);
            for (DWORD s = 0; s < bytes / 2; ++s) {
                samples[s] = static_cast<std::int16_t>((s * (97 + i)) % 20000) - 10000;
            }
            Check(buffer->Unlock(audio, bytes, nullptr, 0));
            Check(buffer->SetVolume(-100 * i));
            Check(buffer->Play(0, 0, DSBPLAY_LOOPING));
        }
    }

    ~TMixScene() {
        for (IDirectSoundBuffer* buffer : buffers) {
            buffer->Release();
        }
        sound->Release();
        DestroyWindow(window);
        standin::UseNullSoundDevice(false);
    }
};

void BM_MixOneSecondOf32Streams(benchmark::State& state) {
    TMixScene scene;
    for (auto _ : state) {
        standin::AdvanceSoundDevice(kRate);
        std::vector<std::int16_t> mix = standin::TakeSoundCapture();
        benchmark::DoNotOptimize(mix.data());
    }
    state.counters["streams"] = kBuffers;
}
BENCHMARK(BM_MixOneSecondOf32Streams)->Unit(benchmark::kMillisecond);

} // namespace
