// A platform with its main window and a sound manager on the stand-in's null sound device, a
// spooler of known samples and a listener that records what it is told. The fake clock drives
// the manager's service passes and the null device's clock the play cursors.
#pragma once

#include "engine/core/log.h"
#include "engine/media/media.h"
#include "engine/media/soundmanager.h"
#include "engine/media/soundstream.h"
#include "platform/dsound/standin_dsound.h"
#include "tests/engine/system/platform_fixture.h"
#include "tests/fixtures/tempdir.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sound_test {

// Plays its samples as the memory spooler of the sound assets does: it ends only on a read it
// cannot fill, and with `loop` it starts over instead. Read by the sound thread; the counters may
// be read from any thread.
class TTestSpooler final : public TStreamSpooler {
public:
    TTestSpooler(std::vector<std::int16_t> samples, int rate, int channels)
        : mSamples(std::move(samples)), mRate(rate), mChannels(channels) {}

    bool Read(int bytes, void* buffer, int* bytesRead, bool loop) override {
        std::lock_guard<std::mutex> hold(mMutex);
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::memset(out, 0, static_cast<std::size_t>(bytes));
        const std::size_t size = mSamples.size() * sizeof(std::int16_t);
        std::size_t done = 0;
        bool more = true;
        while (done < static_cast<std::size_t>(bytes)) {
            const std::size_t now = std::min(static_cast<std::size_t>(bytes) - done, size - mAt);
            if (now > 0) {
                std::memcpy(out + done,
                            reinterpret_cast<const std::uint8_t*>(mSamples.data()) + mAt, now);
            }
            mAt += now;
            done += now;
            if (done < static_cast<std::size_t>(bytes)) {
                if (!loop || size == 0) {
                    more = false;
                    break;
                }
                mAt = 0;
            }
        }
        *bytesRead = static_cast<int>(done);
        ++mReads;
        return more;
    }
    void Seek(float /*seconds*/) override {}
    double GetLength() override { return static_cast<double>(mSamples.size()) / mChannels / mRate; }
    void Release() override { ++mReleases; }

    int Reads() const { return mReads; }
    int Releases() const { return mReleases; }
    const std::vector<std::int16_t>& Samples() const { return mSamples; }

private:
    std::mutex mMutex;
    const std::vector<std::int16_t> mSamples;
    const int mRate;
    const int mChannels;
    std::size_t mAt = 0;
    std::atomic<int> mReads{0};
    std::atomic<int> mReleases{0};
};

// Told on the main thread.
struct TRecordingListener final : TStreamNotify {
    std::vector<TSoundStream*> ended;
    std::function<void(TSoundStream*)> onEnd;

    void OnStreamEnd(TSoundStream* stream) override {
        ended.push_back(stream);
        if (onEnd) {
            onEnd(stream);
        }
    }
};

// `count` samples of a pattern that uses most of the 16-bit range and is never silent for long.
inline std::vector<std::int16_t> Pattern(std::size_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] = static_cast<std::int16_t>(static_cast<int>((i * 7919u) % 60001u) - 30000);
    }
    return samples;
}

class TSoundTest : public platform_test::TPlatformTest {
protected:
    void SetUp() override {
        TPlatformTest::SetUp();
        standin::UseNullSoundDevice(true);
        standin::ClearSoundFaults();
        SetLogFolder(mLogs.Path().string().c_str());
        RegisterMedia();
    }

    void TearDown() override {
        // Deletes the platform and with it the manager and every stream; the spoolers outlive it.
        TPlatformTest::TearDown();
        SetSoundManagerFactory(nullptr);
        standin::ClearSoundFaults();
        standin::TakeSoundCapture();
        standin::UseNullSoundDevice(false);
        SetLogFolder(nullptr);
    }

    // The platform, its main window and the sound manager, initialised as `initialised` says.
    TSoundManager& StartSound(bool initialised = true) {
        Open();
        EXPECT_EQ(mPlatform->InitSound(), initialised);
        mManager = TSoundManager::Get();
        EXPECT_NE(mManager, nullptr);
        return *mManager;
    }

    TTestSpooler& Spooler(std::vector<std::int16_t> samples, int rate = 44100, int channels = 2) {
        mSpoolers.push_back(std::make_unique<TTestSpooler>(std::move(samples), rate, channels));
        return *mSpoolers.back();
    }

    // A stream over `spooler`, told to `listener`.
    TSoundStream* Stream(TTestSpooler& spooler, bool loop, int category,
                         const boost::shared_ptr<TRecordingListener>& listener) {
        TSoundStream* stream = TSoundStream::Create(mManager, &spooler, loop, category, listener);
        EXPECT_NE(stream, nullptr);
        return stream;
    }

    // `ms` of output on the null device, then a millisecond more on the fake clock (a pass needs
    // more than 500 ms since the last), then a service pass. The sound thread may run that pass
    // first; either way exactly one runs.
    void Step(DWORD ms) {
        EXPECT_TRUE(standin::AdvanceSoundDevice(44100 * ms / 1000));
        standin::AdvanceTime(ms + 1);
        mManager->ServiceStreams(true);
    }

    std::string LogText() const { return mLogs.Read("logfile.txt"); }

    TSoundManager* mManager = nullptr;
    testing_fixtures::TempDir mLogs;
    std::deque<std::unique_ptr<TTestSpooler>> mSpoolers;
};

} // namespace sound_test
