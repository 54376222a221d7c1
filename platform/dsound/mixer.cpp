#include "platform/dsound/mixer.h"

#include "platform/dsound/soundstate.h"
#include "platform/win32/synchapi.h"

#include <algorithm>
#include <cmath>

namespace standin::detail {

namespace {

constexpr double kFraction = 1.0 / 4294967296.0;

std::int16_t ToSample(double sum) {
    if (sum >= 32767.0) {
        return 32767;
    }
    if (sum <= -32768.0) {
        return -32768;
    }
    return static_cast<std::int16_t>(std::lround(sum));
}

// Sets the events of the positions the cursor reached moving `advanced` bytes on from `start`:
// those after `start`, up to and with the new cursor.
void SignalPassedLocked(const TVoice& voice, DWORD start, std::uint64_t advanced) {
    for (const DSBPOSITIONNOTIFY& position : voice.notifications) {
        if (position.dwOffset == DSBPN_OFFSETSTOP) {
            continue;
        }
        DWORD distance = (position.dwOffset + voice.bytes - start) % voice.bytes;
        if (distance == 0) {
            distance = voice.bytes;
        }
        if (advanced >= distance) {
            SetEvent(position.hEventNotify);
        }
    }
}

} // namespace

double GainFor(LONG volume) {
    if (volume <= DSBVOLUME_MIN) {
        return 0.0;
    }
    return std::pow(10.0, static_cast<double>(volume) / 2000.0);
}

void SignalStopLocked(TVoice& voice) {
    for (const DSBPOSITIONNOTIFY& position : voice.notifications) {
        if (position.dwOffset == DSBPN_OFFSETSTOP) {
            SetEvent(position.hEventNotify);
        }
    }
}

void TMixer::AddLocked(std::shared_ptr<TVoice> voice) {
    mVoices.push_back(std::move(voice));
}

void TMixer::RemoveLocked(const TVoice* voice) {
    mVoices.erase(std::remove_if(mVoices.begin(), mVoices.end(),
                                 [voice](const auto& held) { return held.get() == voice; }),
                  mVoices.end());
}

void TMixer::Mix(std::int16_t* out, DWORD frames) {
    // The events are set under the lock: a buffer's owner closes them only after Release, which
    // takes this lock, so no event is set after it was closed.
    std::lock_guard<std::mutex> hold(mMutex);
    mSum.assign(static_cast<std::size_t>(frames) * kChannels, 0.0);
    for (const auto& voice : mVoices) {
        MixVoiceLocked(*voice, frames);
    }
    for (std::size_t i = 0; i < mSum.size(); ++i) {
        out[i] = ToSample(mSum[i]);
    }
}

void TMixer::MixVoiceLocked(TVoice& voice, DWORD frames) {
    if (!voice.playing || voice.frames == 0) {
        return;
    }
    const std::uint64_t step =
        (static_cast<std::uint64_t>(voice.format.nSamplesPerSec) << 32) / kRate;
    const std::uint64_t end = static_cast<std::uint64_t>(voice.frames) << 32;
    const bool stereo = voice.format.nChannels == 2;
    const std::int16_t* samples = voice.samples.data();
    const double gain = voice.gain;
    const DWORD startCursor = voice.PlayCursor();
    const std::uint64_t startFrame = voice.position >> 32;
    std::uint64_t position = voice.position;
    // The cursor as if the buffer never wrapped: how far it moved, for the notifications.
    std::uint64_t unwrapped = voice.position;
    bool ended = false;
    double* sum = mSum.data();
    for (DWORD i = 0; i < frames; ++i) {
        const auto index = static_cast<DWORD>(position >> 32);
        const double t = static_cast<double>(static_cast<std::uint32_t>(position)) * kFraction;
        DWORD next = index + 1;
        if (next == voice.frames) {
            next = voice.looping ? 0 : index;
        }
        double left = 0.0;
        double right = 0.0;
        if (stereo) {
            const double left0 = samples[2 * index];
            const double right0 = samples[2 * index + 1];
            left = left0 + (samples[2 * next] - left0) * t;
            right = right0 + (samples[2 * next + 1] - right0) * t;
        } else {
            const double mono0 = samples[index];
            left = mono0 + (samples[next] - mono0) * t;
            right = left;
        }
        sum[2 * i] += left * gain;
        sum[2 * i + 1] += right * gain;
        position += step;
        unwrapped += step;
        if (position >= end) {
            if (!voice.looping) {
                ended = true;
                break;
            }
            position %= end;
        }
    }
    const std::uint64_t travelled =
        ended ? voice.frames - startFrame : (unwrapped >> 32) - startFrame;
    if (ended) {
        position = 0;
    }
    voice.position = position;
    SignalPassedLocked(voice, startCursor, travelled * voice.format.nBlockAlign);
    if (ended) {
        voice.playing = false;
        voice.looping = false;
        SignalStopLocked(voice);
    }
}

} // namespace standin::detail
