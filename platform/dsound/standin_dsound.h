// Test controls of the DirectSound stand-in: which device plays, the null device's clock and
// capture, scripted failures, lost buffers and a read-out of the buffers. The program never calls
// these; tests do.
#pragma once

#include "platform/dsound/dsound.h"

#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// The device the next DirectSound object opens when none is open: the null device (true), which
// plays only when AdvanceSoundDevice moves its clock and keeps what it mixed, or SDL audio (false,
// the program's choice). A device open now stays until the last DirectSound object goes.
void UseNullSoundDevice(bool useNull);
// "null", "sdl:" and SDL's driver name, or "" while no device is open.
std::string SoundDeviceName();
// The null device mixes `frames` frames of 44.1 kHz stereo output and adds them to its capture;
// false when the null device is not the one open.
bool AdvanceSoundDevice(DWORD frames);
// What the null device mixed since the last call (interleaved stereo samples), and forgets it.
std::vector<std::int16_t> TakeSoundCapture();

// Scripted failures: `method` named as "DirectSoundCreate" or "IDirectSoundBuffer::Lock";
// `object` the interface pointer it applies to, or null for every object. The call returns
// `result` without doing anything, once or until ClearSoundFaults.
void SetSoundFault(const void* object, const std::string& method, HRESULT result, bool once = true);
void ClearSoundFaults();

// Every secondary buffer is lost, as when another program takes the device: it stops, its data is
// gone (silence), GetStatus answers DSBSTATUS_BUFFERLOST, and Lock and Play answer
// DSERR_BUFFERLOST until Restore.
void LoseSoundBuffers();

struct TSoundBufferInfo {
    const IDirectSoundBuffer* buffer = nullptr;
    DWORD bytes = 0;
    WAVEFORMATEX format{};
    LONG volume = 0;
    DWORD status = 0; // as GetStatus answers
    DWORD playCursor = 0;
};
// The secondary buffers not yet released whose DirectSound object lives, oldest first.
std::vector<TSoundBufferInfo> SoundBuffers();
// The format last given to a primary buffer's SetFormat; all zero before the first.
WAVEFORMATEX SoundMixFormat();

} // namespace standin
