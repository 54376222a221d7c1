// The software mixer: plays every secondary buffer that is playing into 44.1 kHz stereo 16-bit
// output, resampling each linearly from its own rate, scaled by its gain, summed with saturation.
// It guards the buffers' playing state with a lock of its own, so that the device's callback
// thread and a thread that writes buffers meet only there.
//
// Rounding: the sum of gain x sample over the playing buffers (after interpolation) is formed in
// double precision and rounded once to the nearest integer, halves away from zero, then clamped to
// -32768..32767. A lone buffer at 44.1 kHz with sample s and gain g therefore gives exactly
// lround(s x g), within half a unit of s x g.
#pragma once

#include "platform/win32/wintypes.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace standin::detail {

struct TVoice;

class TMixer {
public:
    static constexpr DWORD kRate = 44100;
    static constexpr DWORD kChannels = 2;

    std::mutex& Mutex() { return mMutex; }

    // Mixes `frames` frames of interleaved stereo into `out`, moves the cursors of the buffers
    // that play, stops one-shot buffers at their ends and sets the events whose positions were
    // passed. Takes the lock.
    void Mix(std::int16_t* out, DWORD frames);

    // The buffers that may play, oldest first. Need the lock.
    void AddLocked(std::shared_ptr<TVoice> voice);
    void RemoveLocked(const TVoice* voice);
    const std::vector<std::shared_ptr<TVoice>>& VoicesLocked() const { return mVoices; }

private:
    void MixVoiceLocked(TVoice& voice, DWORD frames);

    std::mutex mMutex;
    std::vector<std::shared_ptr<TVoice>> mVoices;
    std::vector<double> mSum;
};

// 10^(volume / 2000); exactly 0 at DSBVOLUME_MIN.
double GainFor(LONG volume);
// Sets the events of the voice's DSBPN_OFFSETSTOP positions. Needs the mixer's lock.
void SignalStopLocked(TVoice& voice);

} // namespace standin::detail
