// The audio output the mixer plays into. One implementation is chosen in one place
// (OpenSoundDevice): SDL audio, which pulls mixed frames on its own thread, or the null device,
// which mixes only when a test moves its virtual clock and keeps what it mixed. Opened and closed
// under the DirectSound stand-in's system lock.
#pragma once

#include "platform/win32/wintypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace standin::detail {

class TMixer;

class TSoundDevice {
public:
    // Once it returns, the device no longer calls the mixer.
    virtual ~TSoundDevice() = default;
    virtual std::string Name() const = 0;
    // A device on a virtual clock mixes `frames` frames now and keeps them; one on a real clock
    // answers false.
    virtual bool Advance(DWORD frames) = 0;
    // What Advance mixed since the last call.
    virtual std::vector<std::int16_t> TakeCapture() = 0;
};

// Null when the device cannot be opened.
std::unique_ptr<TSoundDevice> OpenSoundDevice(TMixer& mixer, bool useNull);

std::unique_ptr<TSoundDevice> OpenSdlSoundDevice(TMixer& mixer);
std::unique_ptr<TSoundDevice> OpenNullSoundDevice(TMixer& mixer);

} // namespace standin::detail
