// Inner state of the DirectSound stand-in. Not part of the DirectSound surface.
//
// Locks: the system lock (SoundSystem().mutex) guards the device and every
// TDirectSound field; the mixer's lock guards every TVoice field that is not fixed at creation.
// The system lock may be held while the mixer's is taken, never the other way round, so the audio
// callback (mixer lock only) and a thread that opens or closes the device cannot deadlock. Neither
// is held while waiting for a lock of a caller's, so callers may hold their own (the engine's
// sound mutex) around any call here.
#pragma once

#include "platform/dsound/dsound.h"
#include "platform/dsound/mixer.h"
#include "platform/dsound/sounddevice.h"
#include "platform/win32/faulttable.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace standin::detail {

// One secondary buffer: its data and what the mixer needs to play it.
struct TVoice {
    // Fixed at creation.
    const IDirectSoundBuffer* object = nullptr;
    WAVEFORMATEX format{};
    DWORD bytes = 0;
    DWORD flags = 0;
    DWORD frames = 0; // whole sample frames in the buffer
    DWORD lead = 0;   // write cursor ahead of the play cursor, in bytes

    // Guarded by the mixer's lock.
    std::vector<std::int16_t> samples; // `bytes` bytes, rounded up to whole samples
    bool attached = true;              // false once its DirectSound object is gone
    bool playing = false;
    bool looping = false;
    bool lost = false;
    std::uint64_t position = 0; // sample frames in the upper 32 bits, the fraction below
    LONG volume = DSBVOLUME_MAX;
    double gain = 1.0;
    std::vector<DSBPOSITIONNOTIFY> notifications;
    struct TLocked {
        DWORD offset;
        DWORD bytes1;
        DWORD bytes2;
        std::unique_ptr<std::uint8_t[]> copy; // both regions, back to back
    };
    std::vector<TLocked> locks;

    std::uint8_t* Bytes() { return reinterpret_cast<std::uint8_t*>(samples.data()); }
    DWORD PlayCursor() const { return static_cast<DWORD>(position >> 32) * format.nBlockAlign; }
    // As GetStatus answers it.
    DWORD Status() const {
        return (playing ? DSBSTATUS_PLAYING : 0u) | (playing && looping ? DSBSTATUS_LOOPING : 0u) |
               (lost ? DSBSTATUS_BUFFERLOST : 0u);
    }
};

struct TDirectSound {
    // Guarded by the system lock.
    HWND window = nullptr;
    DWORD level = 0;
    IDirectSoundBuffer* primary = nullptr; // owned
    std::vector<std::weak_ptr<TVoice>> voices;
};

struct TSoundSystem {
    std::mutex mutex;
    TMixer mixer;
    bool useNull = false;
    int objects = 0; // live DirectSound objects; the device is open while there are any
    std::unique_ptr<TSoundDevice> device;
    TFaultTable faults;
    WAVEFORMATEX mixFormat{};
};

TSoundSystem& SoundSystem();

// The scripted result for `method` of `object`, if a fault is set.
std::optional<HRESULT> TakeSoundFault(const void* object, const char* method);

} // namespace standin::detail
