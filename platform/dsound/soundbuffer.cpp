// Sound buffers and their position notifications.
#include "platform/dsound/soundstate.h"

#include <algorithm>
#include <cstring>

using namespace standin::detail;

namespace {

bool IsSameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

bool IsPcmFormat(const WAVEFORMATEX& format) {
    const bool channels = format.nChannels == 1 || format.nChannels == 2;
    const bool bits = format.wBitsPerSample == 8 || format.wBitsPerSample == 16;
    const DWORD align = format.nChannels * (format.wBitsPerSample / 8u);
    return format.wFormatTag == WAVE_FORMAT_PCM && channels && bits &&
           format.nSamplesPerSec >= DSBFREQUENCY_MIN && format.nSamplesPerSec <= DSBFREQUENCY_MAX &&
           format.nBlockAlign == align && format.nAvgBytesPerSec == format.nSamplesPerSec * align;
}

std::mutex& MixerMutex() {
    return SoundSystem().mixer.Mutex();
}

} // namespace

IDirectSoundBuffer::IDirectSoundBuffer(std::shared_ptr<TDirectSound> owner,
                                       std::shared_ptr<TVoice> voice)
    : mOwner(std::move(owner)), mVoice(std::move(voice)) {}

IDirectSoundBuffer::~IDirectSoundBuffer() = default;

ULONG IDirectSoundBuffer::AddRef() {
    return ++mRefs;
}

ULONG IDirectSoundBuffer::Release() {
    if (!mVoice) {
        // The primary belongs to its DirectSound object.
        ULONG refs = mRefs.load();
        while (refs > 0 && !mRefs.compare_exchange_weak(refs, refs - 1)) {
        }
        return refs > 0 ? refs - 1 : 0;
    }
    const ULONG left = --mRefs;
    if (left == 0) {
        {
            TMixer& mixer = SoundSystem().mixer;
            std::lock_guard<std::mutex> hold(mixer.Mutex());
            mVoice->playing = false;
            mixer.RemoveLocked(mVoice.get());
        }
        delete this;
    }
    return left;
}

HRESULT IDirectSoundBuffer::QueryInterface(const GUID& iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (auto fault = TakeSoundFault(this, "IDirectSoundBuffer::QueryInterface")) {
        return *fault;
    }
    if (IsSameGuid(iid, IID_IDirectSoundBuffer)) {
        AddRef();
        *out = this;
        return DS_OK;
    }
    if (IsSameGuid(iid, IID_IDirectSoundNotify) && mVoice &&
        (mVoice->flags & DSBCAPS_CTRLPOSITIONNOTIFY) != 0) {
        *out = new IDirectSoundNotify(mVoice);
        return DS_OK;
    }
    return E_NOINTERFACE;
}

HRESULT IDirectSoundBuffer::GetCurrentPosition(LPDWORD play, LPDWORD write) {
    if (play == nullptr && write == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    if (auto fault = TakeSoundFault(this, "IDirectSoundBuffer::GetCurrentPosition")) {
        return *fault;
    }
    if (!mVoice) {
        return DSERR_INVALIDCALL;
    }
    std::lock_guard<std::mutex> hold(MixerMutex());
    if (!mVoice->attached) {
        return DSERR_UNINITIALIZED;
    }
    const DWORD cursor = mVoice->PlayCursor();
    if (play != nullptr) {
        *play = cursor;
    }
    if (write != nullptr) {
        *write = mVoice->playing ? (cursor + mVoice->lead) % mVoice->bytes : cursor;
    }
    return DS_OK;
}

HRESULT IDirectSoundBuffer::GetStatus(LPDWORD status) {
    if (status == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *status = 0;
    if (auto fault = TakeSoundFault(this, "IDirectSoundBuffer::GetStatus")) {
        return *fault;
    }
    if (!mVoice) {
        return DSERR_INVALIDCALL;
    }
    std::lock_guard<std::mutex> hold(MixerMutex());
    if (!mVoice->attached) {
        return DSERR_UNINITIALIZED;
    }
    *status = mVoice->Status();
    return DS_OK;
}

HRESULT IDirectSoundBuffer::Lock(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD bytes1,
                                 LPVOID* audio2, LPDWORD bytes2, DWORD flags) {
    if (audio1 == nullptr || bytes1 == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    *audio1 = nullptr;
    *bytes1 = 0;
    if (audio2 != nullptr) {
        *audio2 = nullptr;
    }
    if (bytes2 != nullptr) {
        *bytes2 = 0;
    }
    if (auto fault = TakeSoundFault(this, "IDirectSoundBuffer::Lock")) {
        return *fault;
    }
    if (!mVoice) {
        return DSERR_INVALIDCALL;
    }
    TVoice& voice = *mVoice;
    std::lock_guard<std::mutex> hold(MixerMutex());
    if (!voice.attached) {
        return DSERR_UNINITIALIZED;
    }
    if (voice.lost) {
        return DSERR_BUFFERLOST;
    }
    if ((flags & DSBLOCK_FROMWRITECURSOR) != 0) {
        const DWORD cursor = voice.PlayCursor();
        offset = voice.playing ? (cursor + voice.lead) % voice.bytes : cursor;
    }
    if ((flags & DSBLOCK_ENTIREBUFFER) != 0) {
        bytes = voice.bytes;
    }
    if (offset >= voice.bytes || bytes == 0 || bytes > voice.bytes) {
        return DSERR_INVALIDPARAM;
    }
    const DWORD first = std::min(bytes, voice.bytes - offset);
    const DWORD second = audio2 != nullptr && bytes2 != nullptr ? bytes - first : 0;
    // The caller writes into a copy, which Unlock puts into the buffer under the mixer's lock:
    // the mixer never reads memory another thread is writing.
    TVoice::TLocked locked{offset, first, second,
                           std::make_unique<std::uint8_t[]>(std::size_t{first} + second)};
    std::memcpy(locked.copy.get(), voice.Bytes() + offset, first);
    std::memcpy(locked.copy.get() + first, voice.Bytes(), second);
    *audio1 = locked.copy.get();
    *bytes1 = first;
    if (second > 0) {
        *audio2 = locked.copy.get() + first;
        *bytes2 = second;
    }
    voice.locks.push_back(std::move(locked));
    return DS_OK;
}

HRESULT IDirectSoundBuffer::Unlock(LPVOID audio1, DWORD bytes1, LPVOID audio2, DWORD bytes2) {
    if (auto fault = TakeSoundFault(this, "IDirectSoundBuffer::Unlock")) {
        return *fault;
    }
    if (!mVoice) {
        return DSERR_INVALIDCALL;
    }
    TVoice& voice = *mVoice;
    std::lock_guard<std::mutex> hold(MixerMutex());
    auto found = std::find_if(voice.locks.begin(), voice.locks.end(), [audio1](const auto& held) {
        return audio1 != nullptr && held.copy.get() == audio1;
    });
    if (found == voice.locks.end() || bytes1 > found->bytes1 || bytes2 > found->bytes2 ||
        (bytes2 > 0 && audio2 != found->copy.get() + found->bytes1)) {
        return DSERR_INVALIDPARAM;
    }
    if (!voice.lost) {
        std::memcpy(voice.Bytes() + found->offset, found->copy.get(), bytes1);
        std::memcpy(voice.Bytes(), found->copy.get() + found->bytes1, bytes2);
    }
    voice.locks.erase(found);
    return DS_OK;
}

HRESULT IDirectSoundBuffer::Play(DWORD reserved, DWORD /*priority*/, DWORD flags) {
    if (reserved != 0) {
        return DSERR_INVALIDPARAM;
    }
    if (auto fault = TakeSoundFault(this, "IDirectSoundBuffer::Play")) {
        return *fault;
    }
    if (!mVoice) {
        return DSERR_INVALIDCALL;
    }
    std::lock_guard<std::mutex> hold(MixerMutex());
    if (!mVoice->attached) {
        return DSERR_UNINITIALIZED;
    }
    if (mVoice->lost) {
        return DSERR_BUFFERLOST;
    }
    mVoice->playing = true;
    mVoice->looping = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT IDirectSoundBuffer::Stop() {
    if (auto fault = TakeSoundFault(this, "IDirectSoundBuffer::Stop")) {
        return *fault;
    }
    if (!mVoice) {
        return DSERR_INVALIDCALL;
    }
    std::lock_guard<std::mutex> hold(MixerMutex());
    if (!mVoice->attached) {
        return DSERR_UNINITIALIZED;
    }
    if (mVoice->playing) {
        mVoice->playing = false;
        SignalStopLocked(*mVoice);
    }
    return DS_OK;
}

HRESULT IDirectSoundBuffer::Restore() {
    if (auto fault = TakeSoundFault(this, "IDirectSoundBuffer::Restore")) {
        return *fault;
    }
    if (!mVoice) {
        return DSERR_INVALIDCALL;
    }
    std::lock_guard<std::mutex> hold(MixerMutex());
    if (!mVoice->attached) {
        return DSERR_UNINITIALIZED;
    }
    mVoice->lost = false;
    return DS_OK;
}

HRESULT IDirectSoundBuffer::SetFormat(LPCWAVEFORMATEX format) {
    if (auto fault = TakeSoundFault(this, "IDirectSoundBuffer::SetFormat")) {
        return *fault;
    }
    if (mVoice) {
        return DSERR_INVALIDCALL;
    }
    if (format == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    if (!IsPcmFormat(*format)) {
        return DSERR_BADFORMAT;
    }
    TSoundSystem& system = SoundSystem();
    std::lock_guard<std::mutex> hold(system.mutex);
    if (mOwner->level < DSSCL_PRIORITY) {
        return DSERR_PRIOLEVELNEEDED;
    }
    system.mixFormat = *format;
    return DS_OK;
}

HRESULT IDirectSoundBuffer::SetVolume(LONG volume) {
    if (auto fault = TakeSoundFault(this, "IDirectSoundBuffer::SetVolume")) {
        return *fault;
    }
    if (!mVoice) {
        return DSERR_INVALIDCALL;
    }
    if ((mVoice->flags & DSBCAPS_CTRLVOLUME) == 0) {
        return DSERR_CONTROLUNAVAIL;
    }
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::mutex> hold(MixerMutex());
    if (!mVoice->attached) {
        return DSERR_UNINITIALIZED;
    }
    mVoice->volume = volume;
    mVoice->gain = GainFor(volume);
    return DS_OK;
}

IDirectSoundNotify::IDirectSoundNotify(std::shared_ptr<TVoice> voice) : mVoice(std::move(voice)) {}

IDirectSoundNotify::~IDirectSoundNotify() = default;

ULONG IDirectSoundNotify::AddRef() {
    return ++mRefs;
}

ULONG IDirectSoundNotify::Release() {
    const ULONG left = --mRefs;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT IDirectSoundNotify::SetNotificationPositions(DWORD count, LPCDSBPOSITIONNOTIFY positions) {
    if (auto fault = TakeSoundFault(this, "IDirectSoundNotify::SetNotificationPositions")) {
        return *fault;
    }
    if (count > 0 && positions == nullptr) {
        return DSERR_INVALIDPARAM;
    }
    std::lock_guard<std::mutex> hold(MixerMutex());
    if (!mVoice->attached) {
        return DSERR_UNINITIALIZED;
    }
    if (mVoice->playing) {
        return DSERR_INVALIDCALL;
    }
    for (DWORD i = 0; i < count; ++i) {
        const DWORD offset = positions[i].dwOffset;
        if ((offset >= mVoice->bytes && offset != DSBPN_OFFSETSTOP) ||
            positions[i].hEventNotify == nullptr) {
            return DSERR_INVALIDPARAM;
        }
    }
    mVoice->notifications.assign(positions, positions + count);
    return DS_OK;
}
