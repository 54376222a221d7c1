// The stand-in's process-wide sound state and its test controls.
#include "platform/dsound/soundstate.h"
#include "platform/dsound/standin_dsound.h"

#include <algorithm>

namespace standin::detail {

TSoundSystem& SoundSystem() {
    // Never destroyed: an audio thread may still mix while the process exits.
    static auto* system = new TSoundSystem;
    return *system;
}

std::optional<HRESULT> TakeSoundFault(const void* object, const char* method) {
    return SoundSystem().faults.Take(object, method);
}

} // namespace standin::detail

namespace standin {

using namespace standin::detail;

void UseNullSoundDevice(bool useNull) {
    TSoundSystem& system = SoundSystem();
    std::lock_guard<std::mutex> hold(system.mutex);
    system.useNull = useNull;
}

std::string SoundDeviceName() {
    TSoundSystem& system = SoundSystem();
    std::lock_guard<std::mutex> hold(system.mutex);
    return system.device ? system.device->Name() : std::string();
}

bool AdvanceSoundDevice(DWORD frames) {
    TSoundSystem& system = SoundSystem();
    std::lock_guard<std::mutex> hold(system.mutex);
    return system.device && system.device->Advance(frames);
}

std::vector<std::int16_t> TakeSoundCapture() {
    TSoundSystem& system = SoundSystem();
    std::lock_guard<std::mutex> hold(system.mutex);
    return system.device ? system.device->TakeCapture() : std::vector<std::int16_t>();
}

void SetSoundFault(const void* object, const std::string& method, HRESULT result, bool once) {
    SoundSystem().faults.Set(object, method, result, once);
}

void ClearSoundFaults() {
    SoundSystem().faults.Clear();
}

void LoseSoundBuffers() {
    TMixer& mixer = SoundSystem().mixer;
    std::lock_guard<std::mutex> hold(mixer.Mutex());
    for (const auto& voice : mixer.VoicesLocked()) {
        voice->lost = true;
        voice->playing = false;
        voice->looping = false;
        std::fill(voice->samples.begin(), voice->samples.end(), std::int16_t{0});
    }
}

std::vector<TSoundBufferInfo> SoundBuffers() {
    TMixer& mixer = SoundSystem().mixer;
    std::lock_guard<std::mutex> hold(mixer.Mutex());
    std::vector<TSoundBufferInfo> buffers;
    for (const auto& voice : mixer.VoicesLocked()) {
        TSoundBufferInfo info;
        info.buffer = voice->object;
        info.bytes = voice->bytes;
        info.format = voice->format;
        info.volume = voice->volume;
        info.status = voice->Status();
        info.playCursor = voice->PlayCursor();
        buffers.push_back(info);
    }
    return buffers;
}

WAVEFORMATEX SoundMixFormat() {
    TSoundSystem& system = SoundSystem();
    std::lock_guard<std::mutex> hold(system.mutex);
    return system.mixFormat;
}

} // namespace standin
