// The DirectSound object: opening the device, cooperative levels and making buffers.
#include "platform/dsound/soundstate.h"
#include "platform/win32/winuser.h"

#include <algorithm>
#include <new>

using namespace standin::detail;

namespace {

bool IsSecondaryFormat(const WAVEFORMATEX& format) {
    const bool channels = format.nChannels == 1 || format.nChannels == 2;
    const DWORD align = format.nChannels * 2u;
    return format.wFormatTag == WAVE_FORMAT_PCM && channels && format.wBitsPerSample == 16 &&
           format.nSamplesPerSec >= DSBFREQUENCY_MIN && format.nSamplesPerSec <= DSBFREQUENCY_MAX &&
           format.nBlockAlign == align && format.nAvgBytesPerSec == format.nSamplesPerSec * align;
}

} // namespace

HRESULT DirectSoundCreate(const GUID* device, IDirectSound** directSound, IUnknown* outer) {
    if (directSound == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *directSound = nullptr;
    if (outer != nullptr) {
        return DSERR_NOAGGREGATION;
    }
    if (auto fault = TakeSoundFault(nullptr, "DirectSoundCreate")) {
        return *fault;
    }
    if (device != nullptr) {
        return DSERR_NODRIVER;
    }
    TSoundSystem& system = SoundSystem();
    std::lock_guard<std::mutex> hold(system.mutex);
    if (system.objects == 0) {
        system.device = OpenSoundDevice(system.mixer, system.useNull);
        if (!system.device) {
            return DSERR_NODRIVER;
        }
    }
    ++system.objects;
    *directSound = new IDirectSound(std::make_shared<TDirectSound>());
    return DS_OK;
}

IDirectSound::IDirectSound(std::shared_ptr<TDirectSound> state) : mState(std::move(state)) {}

IDirectSound::~IDirectSound() {
    TSoundSystem& system = SoundSystem();
    std::lock_guard<std::mutex> hold(system.mutex);
    {
        std::lock_guard<std::mutex> mixing(system.mixer.Mutex());
        for (const auto& weak : mState->voices) {
            if (auto voice = weak.lock()) {
                voice->attached = false;
                voice->playing = false;
                system.mixer.RemoveLocked(voice.get());
            }
        }
    }
    delete mState->primary;
    mState->primary = nullptr;
    if (--system.objects == 0) {
        system.device.reset();
    }
}

ULONG IDirectSound::AddRef() {
    return ++mRefs;
}

ULONG IDirectSound::Release() {
    const ULONG left = --mRefs;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT IDirectSound::GetCaps(LPDSCAPS caps) {
    if (caps == nullptr || caps->dwSize != sizeof(DSCAPS)) {
        return DSERR_INVALIDPARAM;
    }
    if (auto fault = TakeSoundFault(this, "IDirectSound::GetCaps")) {
        return *fault;
    }
    *caps = DSCAPS{};
    caps->dwSize = sizeof(DSCAPS);
    caps->dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT |
                    DSCAPS_PRIMARY16BIT | DSCAPS_CONTINUOUSRATE | DSCAPS_EMULDRIVER |
                    DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY16BIT;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    return DS_OK;
}

HRESULT IDirectSound::SetCooperativeLevel(HWND window, DWORD level) {
    if (auto fault = TakeSoundFault(this, "IDirectSound::SetCooperativeLevel")) {
        return *fault;
    }
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY || window == nullptr ||
        !IsWindow(window)) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::mutex> hold(SoundSystem().mutex);
    mState->window = window;
    mState->level = level;
    return DS_OK;
}

HRESULT IDirectSound::CreateSoundBuffer(LPCDSBUFFERDESC desc, IDirectSoundBuffer** buffer,
                                        IUnknown* outer) {
    if (desc == nullptr || buffer == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *buffer = nullptr;
    if (outer != nullptr) {
        return DSERR_NOAGGREGATION;
    }
    if (auto fault = TakeSoundFault(this, "IDirectSound::CreateSoundBuffer")) {
        return *fault;
    }
    if (desc->dwSize != sizeof(DSBUFFERDESC)) {
        return DSERR_INVALIDPARAM;
    }
    TSoundSystem& system = SoundSystem();
    std::lock_guard<std::mutex> hold(system.mutex);
    if (mState->level == 0) {
        return DSERR_PRIOLEVELNEEDED;
    }
    if ((desc->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0) {
        if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr) {
            return DSERR_INVALIDPARAM;
        }
        if (mState->primary == nullptr) {
            mState->primary = new IDirectSoundBuffer(mState, nullptr);
        } else {
            mState->primary->AddRef();
        }
        *buffer = mState->primary;
        return DS_OK;
    }
    if (desc->lpwfxFormat == nullptr || !IsSecondaryFormat(*desc->lpwfxFormat) ||
        desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) {
        return DSERR_INVALIDPARAM;
    }
    auto voice = std::make_shared<TVoice>();
    voice->format = *desc->lpwfxFormat;
    voice->bytes = desc->dwBufferBytes;
    voice->flags = desc->dwFlags;
    const DWORD align = voice->format.nBlockAlign;
    voice->frames = voice->bytes / align;
    voice->lead = std::max(align, voice->format.nSamplesPerSec / 100 * align);
    try {
        voice->samples.assign((static_cast<std::size_t>(voice->bytes) + 1) / 2, 0);
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    auto* made = new IDirectSoundBuffer(mState, voice);
    voice->object = made;
    auto& voices = mState->voices;
    voices.erase(std::remove_if(voices.begin(), voices.end(),
                                [](const auto& weak) { return weak.expired(); }),
                 voices.end());
    voices.push_back(voice);
    {
        std::lock_guard<std::mutex> mixing(system.mixer.Mutex());
        system.mixer.AddLocked(voice);
    }
    *buffer = made;
    return DS_OK;
}
