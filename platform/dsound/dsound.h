// DirectSound as the engine calls it: the DirectSound object, a primary buffer that records the mix
// format, secondary buffers of 16-bit PCM mixed in software, position notifications, and the
// result, flag and record values of the original. Interfaces are plain classes with the original's
// method names; Release frees an object when its last reference goes. Any thread may call these.
#pragma once

#include "platform/win32/wintypes.h"

#include <atomic>
#include <memory>

// Results.
#define MAKE_DSHRESULT(code) (static_cast<HRESULT>(0x88780000u | static_cast<DWORD>(code)))
#ifndef E_NOINTERFACE
#define E_NOINTERFACE (static_cast<HRESULT>(0x80004002u))
#endif
#ifndef E_POINTER
#define E_POINTER (static_cast<HRESULT>(0x80004003u))
#endif
#define DS_OK S_OK
#define DSERR_GENERIC E_FAIL
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_UNSUPPORTED E_NOTIMPL
#define DSERR_NOINTERFACE E_NOINTERFACE
#define DSERR_NOAGGREGATION (static_cast<HRESULT>(0x80040110u))
#define DSERR_ALLOCATED MAKE_DSHRESULT(10)
#define DSERR_CONTROLUNAVAIL MAKE_DSHRESULT(30)
#define DSERR_INVALIDCALL MAKE_DSHRESULT(50)
#define DSERR_PRIOLEVELNEEDED MAKE_DSHRESULT(70)
#define DSERR_BADFORMAT MAKE_DSHRESULT(100)
#define DSERR_NODRIVER MAKE_DSHRESULT(120)
#define DSERR_ALREADYINITIALIZED MAKE_DSHRESULT(130)
#define DSERR_BUFFERLOST MAKE_DSHRESULT(150)
#define DSERR_OTHERAPPHASPRIO MAKE_DSHRESULT(160)
#define DSERR_UNINITIALIZED MAKE_DSHRESULT(170)

// Cooperative levels.
#define DSSCL_NORMAL 0x00000001u
#define DSSCL_PRIORITY 0x00000002u
#define DSSCL_EXCLUSIVE 0x00000003u
#define DSSCL_WRITEPRIMARY 0x00000004u

// Device capabilities.
#define DSCAPS_PRIMARYMONO 0x00000001u
#define DSCAPS_PRIMARYSTEREO 0x00000002u
#define DSCAPS_PRIMARY8BIT 0x00000004u
#define DSCAPS_PRIMARY16BIT 0x00000008u
#define DSCAPS_CONTINUOUSRATE 0x00000010u
#define DSCAPS_EMULDRIVER 0x00000020u
#define DSCAPS_CERTIFIED 0x00000040u
#define DSCAPS_SECONDARYMONO 0x00000100u
#define DSCAPS_SECONDARYSTEREO 0x00000200u
#define DSCAPS_SECONDARY8BIT 0x00000400u
#define DSCAPS_SECONDARY16BIT 0x00000800u

// Buffer capabilities.
#define DSBCAPS_PRIMARYBUFFER 0x00000001u
#define DSBCAPS_STATIC 0x00000002u
#define DSBCAPS_LOCHARDWARE 0x00000004u
#define DSBCAPS_LOCSOFTWARE 0x00000008u
#define DSBCAPS_CTRL3D 0x00000010u
#define DSBCAPS_CTRLFREQUENCY 0x00000020u
#define DSBCAPS_CTRLPAN 0x00000040u
#define DSBCAPS_CTRLVOLUME 0x00000080u
#define DSBCAPS_CTRLPOSITIONNOTIFY 0x00000100u
#define DSBCAPS_STICKYFOCUS 0x00004000u
#define DSBCAPS_GLOBALFOCUS 0x00008000u
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000u
#define DSBCAPS_MUTE3DATMAXDISTANCE 0x00020000u

#define DSBPLAY_LOOPING 0x00000001u

#define DSBSTATUS_PLAYING 0x00000001u
#define DSBSTATUS_BUFFERLOST 0x00000002u
#define DSBSTATUS_LOOPING 0x00000004u

#define DSBLOCK_FROMWRITECURSOR 0x00000001u
#define DSBLOCK_ENTIREBUFFER 0x00000002u

#define DSBVOLUME_MIN (-10000)
#define DSBVOLUME_MAX 0

#define DSBSIZE_MIN 4u
#define DSBSIZE_MAX 0x0FFFFFFFu
#define DSBFREQUENCY_MIN 100u
#define DSBFREQUENCY_MAX 200000u

#define DSBPN_OFFSETSTOP 0xFFFFFFFFu

#define WAVE_FORMAT_PCM 1

// The packed 18-byte record of the wave file format.
#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
using LPWAVEFORMATEX = WAVEFORMATEX*;
using LPCWAVEFORMATEX = const WAVEFORMATEX*;

// 96 bytes, as the engine sizes it.
struct DSCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMinSecondarySampleRate;
    DWORD dwMaxSecondarySampleRate;
    DWORD dwPrimaryBuffers;
    DWORD dwMaxHwMixingAllBuffers;
    DWORD dwMaxHwMixingStaticBuffers;
    DWORD dwMaxHwMixingStreamingBuffers;
    DWORD dwFreeHwMixingAllBuffers;
    DWORD dwFreeHwMixingStaticBuffers;
    DWORD dwFreeHwMixingStreamingBuffers;
    DWORD dwMaxHw3DAllBuffers;
    DWORD dwMaxHw3DStaticBuffers;
    DWORD dwMaxHw3DStreamingBuffers;
    DWORD dwFreeHw3DAllBuffers;
    DWORD dwFreeHw3DStaticBuffers;
    DWORD dwFreeHw3DStreamingBuffers;
    DWORD dwTotalHwMemBytes;
    DWORD dwFreeHwMemBytes;
    DWORD dwMaxContigFreeHwMemBytes;
    DWORD dwUnlockTransferRateHwBuffers;
    DWORD dwPlayCpuOverheadSwBuffers;
    DWORD dwReserved1;
    DWORD dwReserved2;
};
static_assert(sizeof(DSCAPS) == 96);
using LPDSCAPS = DSCAPS*;

// dwSize is sizeof(DSBUFFERDESC) on this host (36 bytes on the 32-bit original).
struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat;
    GUID guid3DAlgorithm;
};
using LPCDSBUFFERDESC = const DSBUFFERDESC*;

struct DSBPOSITIONNOTIFY {
    DWORD dwOffset;
    HANDLE hEventNotify;
};
using LPCDSBPOSITIONNOTIFY = const DSBPOSITIONNOTIFY*;

inline constexpr GUID IID_IDirectSound = {
    0x279afa83, 0x4981, 0x11ce, {0xa5, 0x21, 0x00, 0x20, 0xaf, 0x0b, 0xe5, 0x60}};
inline constexpr GUID IID_IDirectSoundBuffer = {
    0x279afa85, 0x4981, 0x11ce, {0xa5, 0x21, 0x00, 0x20, 0xaf, 0x0b, 0xe5, 0x60}};
inline constexpr GUID IID_IDirectSoundNotify = {
    0xb0210783, 0x89cd, 0x11d0, {0xaf, 0x08, 0x00, 0xa0, 0xc9, 0x25, 0xcd, 0x16}};

namespace standin::detail {
struct TDirectSound;
struct TVoice;
} // namespace standin::detail

class IUnknown;
class IDirectSound;

// Signals events as the play cursor of a secondary buffer passes given offsets. Made by
// IDirectSoundBuffer::QueryInterface of a buffer with DSBCAPS_CTRLPOSITIONNOTIFY.
class IDirectSoundNotify {
public:
    ULONG AddRef();
    ULONG Release();
    // Replaces the positions; only while the buffer is stopped. An offset is below the buffer
    // size or DSBPN_OFFSETSTOP (signalled when the buffer stops). An event is set when the cursor
    // moves onto or past its offset, and again on each later lap.
    HRESULT SetNotificationPositions(DWORD count, LPCDSBPOSITIONNOTIFY positions);

    // The stand-in's own: made by IDirectSoundBuffer::QueryInterface, freed by Release.
    explicit IDirectSoundNotify(std::shared_ptr<standin::detail::TVoice> voice);

private:
    ~IDirectSoundNotify();
    std::shared_ptr<standin::detail::TVoice> mVoice;
    std::atomic<ULONG> mRefs{1};
};
using LPDIRECTSOUNDNOTIFY = IDirectSoundNotify*;

// A sound buffer. The primary buffer stands for the device's output: it records the mix format
// (SetFormat); its other methods answer DSERR_INVALIDCALL. The device always plays 44.1 kHz
// stereo 16-bit, the format the engine sets, whatever the format recorded. The primary lives as
// long as its DirectSound object, whose Release frees it; its own Release only counts. A secondary
// buffer holds 16-bit PCM, mono or stereo, at 100 to 200 000 Hz, that the mixer plays.
class IDirectSoundBuffer {
public:
    ULONG AddRef();
    ULONG Release();
    // IID_IDirectSoundBuffer, or IID_IDirectSoundNotify for a secondary buffer made with
    // DSBCAPS_CTRLPOSITIONNOTIFY.
    HRESULT QueryInterface(const GUID& iid, void** out);
    // The play cursor, and the write cursor a fixed lead (10 ms of the buffer's data) ahead of it
    // while the buffer plays; both equal while it is stopped. Either pointer may be null.
    HRESULT GetCurrentPosition(LPDWORD play, LPDWORD write);
    HRESULT GetStatus(LPDWORD status);
    // Up to two regions: the second, from the start of the buffer, when the range wraps (and
    // `audio2` is given). What is written reaches the buffer at Unlock.
    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* audio1, LPDWORD bytes1, LPVOID* audio2,
                 LPDWORD bytes2, DWORD flags);
    HRESULT Unlock(LPVOID audio1, DWORD bytes1, LPVOID audio2, DWORD bytes2);
    // From the play cursor; looping, or once to the end, where the buffer stops and its cursor
    // goes back to 0.
    HRESULT Play(DWORD reserved, DWORD priority, DWORD flags);
    HRESULT Stop();
    HRESULT Restore();
    // Primary buffer only; needs DSSCL_PRIORITY.
    HRESULT SetFormat(LPCWAVEFORMATEX format);
    // Hundredths of a decibel, DSBVOLUME_MIN (silence) to DSBVOLUME_MAX; the gain is 10^(v/2000).
    HRESULT SetVolume(LONG volume);

    // The stand-in's own: made by IDirectSound::CreateSoundBuffer. A secondary buffer is freed
    // by Release; the primary (null `voice`) by its DirectSound object.
    IDirectSoundBuffer(std::shared_ptr<standin::detail::TDirectSound> owner,
                       std::shared_ptr<standin::detail::TVoice> voice);
    const std::shared_ptr<standin::detail::TVoice>& Voice() const { return mVoice; }

private:
    friend class IDirectSound;
    ~IDirectSoundBuffer();
    std::shared_ptr<standin::detail::TDirectSound> mOwner;
    std::shared_ptr<standin::detail::TVoice> mVoice;
    std::atomic<ULONG> mRefs{1};
};
using LPDIRECTSOUNDBUFFER = IDirectSoundBuffer*;

// The DirectSound object of the default device. The first one opens the device, the last one
// released closes it; releasing one frees its primary buffer and silences its secondary buffers,
// whose methods then answer DSERR_UNINITIALIZED until they are released.
class IDirectSound {
public:
    ULONG AddRef();
    ULONG Release();
    HRESULT GetCaps(LPDSCAPS caps);
    // `window` must be a window.
    HRESULT SetCooperativeLevel(HWND window, DWORD level);
    // Needs a cooperative level. The primary buffer (DSBCAPS_PRIMARYBUFFER, no size, no format)
    // is one object per DirectSound object; secondary buffers need 16-bit PCM with 1 or 2
    // channels at DSBFREQUENCY_MIN to DSBFREQUENCY_MAX and DSBSIZE_MIN to DSBSIZE_MAX bytes.
    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, IDirectSoundBuffer** buffer, IUnknown* outer);

    // The stand-in's own: made by DirectSoundCreate, freed by Release.
    explicit IDirectSound(std::shared_ptr<standin::detail::TDirectSound> state);

private:
    ~IDirectSound();
    std::shared_ptr<standin::detail::TDirectSound> mState;
    std::atomic<ULONG> mRefs{1};
};
using LPDIRECTSOUND = IDirectSound*;

// `device` null for the default device, the only one there is; DSERR_NODRIVER when the device
// cannot be opened.
HRESULT DirectSoundCreate(const GUID* device, IDirectSound** directSound, IUnknown* outer);
