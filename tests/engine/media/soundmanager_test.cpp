#include "tests/engine/media/sound_fixture.h"

#include "engine/media/dxerror.h"
#include "engine/system/gamestate.h"
#include "platform/directx/ddraw.h"
#include "platform/win32/processthreadsapi.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace sound_test {
namespace {

using TSoundManagerTest = TSoundTest;

std::size_t ThreadCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& task :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}

std::vector<DWORD> Statuses() {
    std::vector<DWORD> statuses;
    for (const standin::TSoundBufferInfo& buffer : standin::SoundBuffers()) {
        statuses.push_back(buffer.status);
    }
    return statuses;
}

TEST_F(TSoundManagerTest, VolumeIsTheMasterTimesTheCategorys) {
    TSoundManager& manager = StartSound();
    EXPECT_FLOAT_EQ(manager.GetVolume(1001), 1.0f);
    manager.SetVolume(-1, 0.8f);
    EXPECT_FLOAT_EQ(manager.GetVolume(-1), 0.8f);
    EXPECT_FLOAT_EQ(manager.GetVolume(1001), 0.8f) << "no volume of its own: the master's";
    manager.SetCategoryVolume(1001, 0.5f);
    EXPECT_FLOAT_EQ(manager.GetVolume(1001), 0.4f);
    manager.SetVolume(1001, 0.25f);
    EXPECT_FLOAT_EQ(manager.GetVolume(1001), 0.2f) << "any category but -1 is a category";
    EXPECT_FLOAT_EQ(manager.GetVolume(7), 0.8f);

    // Live streams take the new volumes at once.
    TSoundStream* music = Stream(Spooler(Pattern(1000)), true, 1001, nullptr);
    TSoundStream* effect = Stream(Spooler(Pattern(1000)), true, 7, nullptr);
    ASSERT_TRUE(music->CreateBuffer(44100, 2, 16, 2.0f));
    ASSERT_TRUE(effect->CreateBuffer(44100, 2, 16, 2.0f));
    manager.SetVolume(-1, 0.5f);
    manager.SetCategoryVolume(1001, 0.5f);
    const auto buffers = standin::SoundBuffers();
    ASSERT_EQ(buffers.size(), 2u);
    EXPECT_EQ(buffers[0].volume, -3750);
    EXPECT_EQ(buffers[1].volume, -2500);
}

TEST_F(TSoundManagerTest, InitOpensDirectSoundOnceAndSetsTheMixFormat) {
    TSoundManager& manager = StartSound();
    EXPECT_EQ(standin::SoundDeviceName(), "null");
    const WAVEFORMATEX format = standin::SoundMixFormat();
    EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format.nChannels, 2);
    EXPECT_EQ(format.nSamplesPerSec, 44100u);
    EXPECT_EQ(format.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(format.nBlockAlign, 4);
    EXPECT_EQ(format.wBitsPerSample, 16);

    standin::SetSoundFault(nullptr, "DirectSoundCreate", DSERR_NODRIVER, false);
    EXPECT_TRUE(manager.Init()) << "initialised already: DirectSound is not asked again";
}

struct TInitFailure {
    const char* step;
    const char* method;
    HRESULT result;
    const char* line;
};

class TSoundInitFailureTest : public TSoundTest,
                              public testing::WithParamInterface<TInitFailure> {};

TEST_P(TSoundInitFailureTest, IsReportedAndALaterCallTriesAgain) {
    standin::SetSoundFault(nullptr, GetParam().method, GetParam().result);
    TSoundManager& manager = StartSound(false);
    EXPECT_NE(LogText().find(GetParam().line), std::string::npos) << LogText();
    EXPECT_EQ(standin::SoundDeviceName(), "") << "nothing of the failed attempt is kept";
    EXPECT_TRUE(manager.Init());
    EXPECT_EQ(standin::SoundDeviceName(), "null");
}

INSTANTIATE_TEST_SUITE_P(
    Steps, TSoundInitFailureTest,
    testing::Values(TInitFailure{"Create", "DirectSoundCreate", DSERR_NODRIVER,
                                 "DX Error:  (0x88780078), File .\\soundmanager, Line 163"},
                    TInitFailure{"CooperativeLevel", "IDirectSound::SetCooperativeLevel",
                                 DSERR_ALLOCATED,
                                 "DX Error:  (0x8878000a), File .\\soundmanager, Line 178"},
                    TInitFailure{"PrimaryBuffer", "IDirectSound::CreateSoundBuffer",
                                 DSERR_OUTOFMEMORY,
                                 "DX Error:  (0x8007000e), File .\\soundmanager, Line 183"}),
    [](const testing::TestParamInfo<TInitFailure>& info) { return info.param.step; });

TEST_F(TSoundManagerTest, WithoutDirectSoundStreamsEndOnTheirClocksOnTheOneThread) {
    standin::SetSoundFault(nullptr, "DirectSoundCreate", DSERR_NODRIVER, false);
    TSoundManager& manager = StartSound(false);
    EXPECT_NE(LogText().find("DX Error:  (0x88780078), File .\\soundmanager, Line 163"),
              std::string::npos);
    const std::size_t threads = ThreadCount();
    EXPECT_FALSE(manager.Init());
    EXPECT_LE(ThreadCount(), threads) << "a second Init starts no second sound thread";

    auto listener = boost::make_shared<TRecordingListener>();
    TSoundStream* stream = Stream(Spooler(Pattern(44100 * 2)), false, 0, listener); // 1 s
    EXPECT_FALSE(stream->CreateBuffer(44100, 2, 16, 2.0f));
    stream->Play(true);
    standin::AdvanceTime(900);
    manager.ServiceStreams(true);
    manager.Update();
    EXPECT_TRUE(listener->ended.empty()) << "0.9 s of a 1 s sound";

    // The sound thread alone ends it once its length has passed.
    standin::AdvanceTime(600);
    EXPECT_TRUE(WaitUntil([&] {
        manager.Update();
        return !listener->ended.empty();
    }));
    EXPECT_EQ(listener->ended, std::vector<TSoundStream*>{stream});
}

TEST_F(TSoundManagerTest, UpdateTakesRetiredStreamsOutBeforeFreeingThem) {
    TSoundManager& manager = StartSound();
    auto olderListener = boost::make_shared<TRecordingListener>();
    auto newerListener = boost::make_shared<TRecordingListener>();
    // Without buffers: both end on their clocks, in the same pass, the newer one first.
    TSoundStream* older = Stream(Spooler(Pattern(2000)), false, 0, olderListener);
    TSoundStream* newer = Stream(Spooler(Pattern(2000)), false, 0, newerListener);
    older->Play(true);
    newer->Play(true);
    // Told of the newer one, the listener stops the older, retired as well.
    newerListener->onEnd = [older](TSoundStream*) { older->Stop(false); };
    standin::AdvanceTime(600);
    manager.ServiceStreams(true);
    EXPECT_TRUE(newerListener->ended.empty());

    manager.Update();
    EXPECT_EQ(newerListener->ended, std::vector<TSoundStream*>{newer});
    EXPECT_EQ(olderListener->ended, std::vector<TSoundStream*>{older});
}

TEST_F(TSoundManagerTest, CategoriesPauseAndStopOnlyTheirStreams) {
    TSoundManager& manager = StartSound();
    auto listener = boost::make_shared<TRecordingListener>();
    for (int category : {1, 2, 2}) {
        TSoundStream* stream = Stream(Spooler(Pattern(44100)), true, category, listener);
        ASSERT_TRUE(stream->CreateBuffer(44100, 2, 16, 2.0f));
        stream->Play(false);
    }
    const DWORD looping = DSBSTATUS_PLAYING | DSBSTATUS_LOOPING;
    manager.PauseCategory(true, 2);
    EXPECT_EQ(Statuses(), (std::vector<DWORD>{looping, 0, 0}));
    manager.PauseCategory(false, 2);
    EXPECT_EQ(Statuses(), (std::vector<DWORD>{looping, looping, looping}));
    manager.PauseCategory(true, -1);
    EXPECT_EQ(Statuses(), (std::vector<DWORD>{0, 0, 0}));
    manager.PauseCategory(false, -1);

    manager.StopCategory(2);
    EXPECT_EQ(listener->ended.size(), 2u);
    EXPECT_EQ(Statuses(), std::vector<DWORD>{looping});
}

TEST_F(TSoundManagerTest, SoundThreadRetiresAndTheEventSourceFrees) {
    StartSound();
    TTestSpooler& spooler = Spooler(Pattern(8820 * 2)); // 0.2 s
    auto listener = boost::make_shared<TRecordingListener>();
    TSoundStream* stream = Stream(spooler, false, 0, listener);
    ASSERT_TRUE(stream->CreateBuffer(44100, 2, 16, 2.0f));
    stream->Play(true);

    // 0.6 s: the thread writes the second half, silence after the data.
    ASSERT_TRUE(standin::AdvanceSoundDevice(26460));
    standin::AdvanceTime(600);
    ASSERT_TRUE(WaitUntil([&] { return spooler.Reads() == 2; }));
    // 1.2 s: past the middle, after the data and a silent half, the thread retires the stream.
    ASSERT_TRUE(standin::AdvanceSoundDevice(26460));
    standin::AdvanceTime(600);
    ASSERT_TRUE(WaitUntil([&] { return spooler.Releases() == 1; }));
    EXPECT_TRUE(listener->ended.empty());

    UntilIdle();
    EXPECT_EQ(listener->ended, std::vector<TSoundStream*>{stream});
}

TEST_F(TSoundManagerTest, GameStateMutesThroughTheMasterVolume) {
    TSoundManager& manager = StartSound();
    manager.SetVolume(-1, 0.5f);
    TSoundStream* stream = Stream(Spooler(Pattern(1000)), true, 0, nullptr);
    ASSERT_TRUE(stream->CreateBuffer(44100, 2, 16, 2.0f));
    stream->Play(false);

    TGameState::Get()->SetState("mute", "1");
    EXPECT_EQ(manager.GetVolume(-1), 0.0f);
    EXPECT_EQ(standin::SoundBuffers().at(0).volume, DSBVOLUME_MIN);
    TGameState::Get()->SetState("mute", "0");
    EXPECT_EQ(manager.GetVolume(-1), 0.5f);
    EXPECT_EQ(standin::SoundBuffers().at(0).volume, -2500);
}

TEST_F(TSoundManagerTest, SoundMutexIsTheNamedMutexAndReentrant) {
    // Without a platform there is no mutex to take.
    LockSoundMutex();
    UnlockSoundMutex();

    StartSound();
    LockSoundMutex();
    LockSoundMutex();
    UnlockSoundMutex();
    std::atomic<DWORD> whileHeld{0};
    std::atomic<DWORD> afterRelease{0};
    std::thread other([&] {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, "TSoundManagerMutex");
        whileHeld = WaitForSingleObject(mutex, 0);
        afterRelease = WaitForSingleObject(mutex, INFINITE);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    });
    ASSERT_TRUE(WaitUntil([&] { return whileHeld != 0; }));
    EXPECT_EQ(whileHeld, WAIT_TIMEOUT) << "held once more than released";
    UnlockSoundMutex();
    other.join();
    EXPECT_EQ(afterRelease, WAIT_OBJECT_0);
}

TEST_F(TSoundManagerTest, SdlAudioPlaysAStreamWithoutASoundCard) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    standin::UseNullSoundDevice(false);
    standin::UseRealTime();
    TSoundManager& manager = StartSound();
    EXPECT_EQ(standin::SoundDeviceName().rfind("sdl:", 0), 0u) << standin::SoundDeviceName();
    TTestSpooler& spooler = Spooler(Pattern(4410 * 2)); // 0.1 s
    auto listener = boost::make_shared<TRecordingListener>();
    TSoundStream* stream = Stream(spooler, false, 0, listener);
    ASSERT_TRUE(stream->CreateBuffer(44100, 2, 16, 0.5f));
    stream->Play(true);
    // Ends only once SDL has pulled the buffer to its end.
    EXPECT_TRUE(WaitUntil([&] {
        manager.Update();
        return !listener->ended.empty();
    }));
    EXPECT_EQ(spooler.Releases(), 1);
}

// A display link that counts the video-memory shortages handed to it.
struct TShortageDisplay final : TDisplayLink {
    int shortages = 0;
    void OnOutOfVideoMemory() override { ++shortages; }
};

TEST_F(TSoundManagerTest, DxErrorsAreLoggedAndShortagesGoToTheDisplay) {
    // Without a platform the shortage is only logged.
    ReportDxError(DDERR_OUTOFVIDEOMEMORY, ".\\directx", 7);
    TShortageDisplay display;
    SetDisplayLink(&display);
    MakePlatform();
    ReportDxError(DDERR_OUTOFVIDEOMEMORY, ".\\dxtexturedata", 1234);
    ReportDxError(DSERR_BUFFERLOST, ".\\soundstream", 637);
    EXPECT_EQ(display.shortages, 1);
    const std::string log = LogText();
    EXPECT_NE(log.find("DX Error:  (0x8876017c), File .\\directx, Line 7"), std::string::npos);
    EXPECT_NE(log.find("DX Error:  (0x8876017c), File .\\dxtexturedata, Line 1234"),
              std::string::npos);
    EXPECT_NE(log.find("DX Error:  (0x88780096), File .\\soundstream, Line 637"),
              std::string::npos);
    SetDisplayLink(nullptr);
}

} // namespace
} // namespace sound_test
