#include "platform/dsound/dsound.h"
#include "platform/dsound/standin_dsound.h"
#include "platform/win32/synchapi.h"
#include "platform/win32/winuser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kControls = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY |
                            DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;

WAVEFORMATEX Pcm(DWORD rate, WORD channels, WORD bits = 16) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = bits;
    format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    return format;
}

// Samples from the whole 16-bit range, odd and even.
std::vector<std::int16_t> Ramp(std::size_t count, int start = -32000, int step = 61) {
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        samples[i] =
            static_cast<std::int16_t>((start + static_cast<int>(i) * step + 32768) % 65536 - 32768);
    }
    return samples;
}

bool IsSignalled(HANDLE event) {
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

// A DirectSound object at priority level on the null device, with a window for it, and the
// buffers a test makes; all released after the test.
class TDirectSoundTest : public testing::Test {
protected:
    void SetUp() override {
        standin::UseNullSoundDevice(true);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "DirectSoundTest";
        RegisterClassA(&windowClass);
        mWindow = CreateWindowExA(0, "DirectSoundTest", "sound", WS_POPUP, 0, 0, 64, 64, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(mWindow, nullptr);
        ASSERT_EQ(DirectSoundCreate(nullptr, &mSound, nullptr), DS_OK);
        ASSERT_EQ(mSound->SetCooperativeLevel(mWindow, DSSCL_PRIORITY), DS_OK);
    }

    void TearDown() override {
        for (IDirectSoundBuffer* buffer : mBuffers) {
            buffer->Release();
        }
        if (mSound != nullptr) {
            mSound->Release();
        }
        DestroyWindow(mWindow);
        standin::ClearSoundFaults();
        standin::TakeSoundCapture();
        standin::UseNullSoundDevice(false);
    }

    // A secondary buffer, released after the test.
    IDirectSoundBuffer* Make(DWORD rate, WORD channels, DWORD bytes, DWORD flags = kControls) {
        WAVEFORMATEX format = Pcm(rate, channels);
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = flags;
        desc.dwBufferBytes = bytes;
        desc.lpwfxFormat = &format;
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(mSound->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
        if (buffer != nullptr) {
            mBuffers.push_back(buffer);
        }
        return buffer;
    }

    // A buffer holding exactly `samples`.
    IDirectSoundBuffer* Holding(DWORD rate, WORD channels, const std::vector<std::int16_t>& samples,
                                DWORD flags = kControls) {
        IDirectSoundBuffer* buffer =
            Make(rate, channels, static_cast<DWORD>(samples.size() * 2), flags);
        if (buffer != nullptr) {
            Write(buffer, 0, samples);
        }
        return buffer;
    }

    static void Write(IDirectSoundBuffer* buffer, DWORD offset,
                      const std::vector<std::int16_t>& samples) {
        void* audio = nullptr;
        DWORD bytes = 0;
        const auto size = static_cast<DWORD>(samples.size() * 2);
        ASSERT_EQ(buffer->Lock(offset, size, &audio, &bytes, nullptr, nullptr, 0), DS_OK);
        ASSERT_EQ(bytes, size);
        std::memcpy(audio, samples.data(), size);
        ASSERT_EQ(buffer->Unlock(audio, bytes, nullptr, 0), DS_OK);
    }

    static std::vector<std::int16_t> Mix(DWORD frames) {
        EXPECT_TRUE(standin::AdvanceSoundDevice(frames));
        return standin::TakeSoundCapture();
    }

    HWND mWindow = nullptr;
    IDirectSound* mSound = nullptr;
    std::vector<IDirectSoundBuffer*> mBuffers;
};

TEST(DirectSoundCreate, OpensTheOneDeviceWhileObjectsLive) {
    standin::UseNullSoundDevice(true);
    IDirectSound* first = nullptr;
    IDirectSound* second = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &first, nullptr), DS_OK);
    ASSERT_EQ(DirectSoundCreate(nullptr, &second, nullptr), DS_OK);
    EXPECT_EQ(standin::SoundDeviceName(), "null");
    first->Release();
    EXPECT_EQ(standin::SoundDeviceName(), "null");
    second->Release();
    EXPECT_EQ(standin::SoundDeviceName(), "");
    EXPECT_FALSE(standin::AdvanceSoundDevice(100));

    struct TCase {
        const char* name;
        const GUID* device;
        bool aggregated;
        bool scripted;
        HRESULT result;
    };
    const TCase cases[] = {
        {"another device", &IID_IDirectSound, false, false, DSERR_NODRIVER},
        {"aggregation", nullptr, true, false, DSERR_NOAGGREGATION},
        {"scripted", nullptr, false, true, DSERR_ALLOCATED},
    };
    for (const TCase& item : cases) {
        if (item.scripted) {
            standin::SetSoundFault(nullptr, "DirectSoundCreate", item.result);
        }
        IDirectSound* sound = nullptr;
        auto* outer = reinterpret_cast<IUnknown*>(&sound);
        EXPECT_EQ(DirectSoundCreate(item.device, &sound, item.aggregated ? outer : nullptr),
                  item.result)
            << item.name;
        EXPECT_EQ(sound, nullptr) << item.name;
        EXPECT_EQ(standin::SoundDeviceName(), "") << item.name;
    }
    EXPECT_EQ(DirectSoundCreate(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
    standin::UseNullSoundDevice(false);
}

TEST_F(TDirectSoundTest, CooperativeLevelAndCaps) {
    EXPECT_EQ(mSound->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DSERR_INVALIDPARAM);
    EXPECT_EQ(mSound->SetCooperativeLevel(mWindow, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(mSound->SetCooperativeLevel(mWindow, 5), DSERR_INVALIDPARAM);

    DSCAPS caps{};
    EXPECT_EQ(mSound->GetCaps(&caps), DSERR_INVALIDPARAM) << "dwSize not set";
    caps.dwSize = sizeof caps;
    ASSERT_EQ(mSound->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwMinSecondarySampleRate, 100u);
    EXPECT_EQ(caps.dwMaxSecondarySampleRate, 200000u);
    EXPECT_NE(caps.dwFlags & DSCAPS_SECONDARY16BIT, 0u);
    EXPECT_EQ(caps.dwFlags & DSCAPS_SECONDARY8BIT, 0u);

    IDirectSound* fresh = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &fresh, nullptr), DS_OK);
    WAVEFORMATEX format = Pcm(44100, 2);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), kControls, 4096, 0, &format, {}};
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(fresh->CreateSoundBuffer(&desc, &buffer, nullptr), DSERR_PRIOLEVELNEEDED);
    EXPECT_EQ(buffer, nullptr);
    fresh->Release();
}

TEST_F(TDirectSoundTest, PrimaryBufferRecordsTheMixFormat) {
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(mSound->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    IDirectSoundBuffer* again = nullptr;
    ASSERT_EQ(mSound->CreateSoundBuffer(&desc, &again, nullptr), DS_OK);
    EXPECT_EQ(again, primary) << "one primary per DirectSound object";
    again->Release();

    const WAVEFORMATEX format = Pcm(22050, 1, 8);
    ASSERT_EQ(primary->SetFormat(&format), DS_OK);
    const WAVEFORMATEX recorded = standin::SoundMixFormat();
    EXPECT_EQ(std::memcmp(&format, &recorded, sizeof format), 0);
    WAVEFORMATEX odd = Pcm(44100, 2);
    odd.nBlockAlign = 3;
    EXPECT_EQ(primary->SetFormat(&odd), DSERR_BADFORMAT);
    EXPECT_EQ(standin::SoundMixFormat().nSamplesPerSec, 22050u);

    void* audio = nullptr;
    DWORD bytes = 0;
    EXPECT_EQ(primary->Lock(0, 4, &audio, &bytes, nullptr, nullptr, 0), DSERR_INVALIDCALL);
    EXPECT_EQ(primary->Play(0, 0, DSBPLAY_LOOPING), DSERR_INVALIDCALL);

    ASSERT_EQ(mSound->SetCooperativeLevel(mWindow, DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(primary->SetFormat(&format), DSERR_PRIOLEVELNEEDED);

    desc.dwBufferBytes = 4096;
    EXPECT_EQ(mSound->CreateSoundBuffer(&desc, &again, nullptr), DSERR_INVALIDPARAM);
    // Freed with the DirectSound object.
}

TEST_F(TDirectSoundTest, SecondaryBuffersAreSixteenBitPcm) {
    struct TCase {
        const char* name;
        WAVEFORMATEX format;
        DWORD bytes;
        HRESULT result;
    };
    WAVEFORMATEX wrongAlign = Pcm(44100, 2);
    wrongAlign.nBlockAlign = 2;
    WAVEFORMATEX wrongRate = Pcm(44100, 2);
    wrongRate.nAvgBytesPerSec = 44100;
    WAVEFORMATEX notPcm = Pcm(44100, 2);
    notPcm.wFormatTag = 3;
    const TCase cases[] = {
        {"mono at the lowest rate", Pcm(100, 1), 400, DS_OK},
        {"stereo at the highest rate", Pcm(200000, 2), 800000, DS_OK},
        {"smallest size", Pcm(44100, 2), DSBSIZE_MIN, DS_OK},
        {"below the lowest rate", Pcm(99, 1), 400, DSERR_INVALIDPARAM},
        {"above the highest rate", Pcm(200001, 2), 800000, DSERR_INVALIDPARAM},
        {"8-bit", Pcm(44100, 2, 8), 4096, DSERR_INVALIDPARAM},
        {"3 channels", Pcm(44100, 3), 4096, DSERR_INVALIDPARAM},
        {"not PCM", notPcm, 4096, DSERR_INVALIDPARAM},
        {"block align", wrongAlign, 4096, DSERR_INVALIDPARAM},
        {"bytes per second", wrongRate, 4096, DSERR_INVALIDPARAM},
        {"too small", Pcm(44100, 2), 3, DSERR_INVALIDPARAM},
        {"too large", Pcm(44100, 2), DSBSIZE_MAX + 1, DSERR_INVALIDPARAM},
    };
    for (const TCase& item : cases) {
        WAVEFORMATEX format = item.format;
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), kControls, item.bytes, 0, &format, {}};
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(mSound->CreateSoundBuffer(&desc, &buffer, nullptr), item.result) << item.name;
        EXPECT_EQ(buffer != nullptr, item.result == DS_OK) << item.name;
        if (buffer != nullptr) {
            buffer->Release();
        }
    }
    WAVEFORMATEX format = Pcm(44100, 2);
    DSBUFFERDESC shortDesc{sizeof(DSBUFFERDESC) - 1, kControls, 4096, 0, &format, {}};
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(mSound->CreateSoundBuffer(&shortDesc, &buffer, nullptr), DSERR_INVALIDPARAM);
    DSBUFFERDESC noFormat{sizeof(DSBUFFERDESC), kControls, 4096, 0, nullptr, {}};
    EXPECT_EQ(mSound->CreateSoundBuffer(&noFormat, &buffer, nullptr), DSERR_INVALIDPARAM);
}

TEST_F(TDirectSoundTest, LockGivesTwoRegionsWhenTheRangeWraps) {
    IDirectSoundBuffer* buffer = Holding(44100, 1, Ramp(8)); // 16 bytes
    void* audio1 = nullptr;
    void* audio2 = nullptr;
    DWORD bytes1 = 0;
    DWORD bytes2 = 0;
    ASSERT_EQ(buffer->Lock(12, 8, &audio1, &bytes1, &audio2, &bytes2, 0), DS_OK);
    EXPECT_EQ(bytes1, 4u);
    EXPECT_EQ(bytes2, 4u);
    const std::vector<std::int16_t> held = Ramp(8);
    EXPECT_EQ(std::memcmp(audio1, held.data() + 6, 4), 0) << "a region shows what the buffer holds";
    EXPECT_EQ(std::memcmp(audio2, held.data(), 4), 0);
    const std::int16_t written[4] = {1, 2, 3, 4};
    std::memcpy(audio1, written, 4);
    std::memcpy(audio2, written + 2, 4);
    EXPECT_EQ(buffer->Unlock(audio2, bytes2, audio1, bytes1), DSERR_INVALIDPARAM)
        << "the regions in the order Lock gave them";
    ASSERT_EQ(buffer->Unlock(audio1, bytes1, audio2, bytes2), DS_OK);
    EXPECT_EQ(buffer->Unlock(audio1, bytes1, audio2, bytes2), DSERR_INVALIDPARAM) << "unlocked";

    ASSERT_EQ(buffer->Lock(0, 0, &audio1, &bytes1, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    ASSERT_EQ(bytes1, 16u);
    std::int16_t whole[8];
    std::memcpy(whole, audio1, 16);
    EXPECT_EQ(whole[0], 3);
    EXPECT_EQ(whole[1], 4);
    EXPECT_EQ(whole[6], 1);
    EXPECT_EQ(whole[7], 2);
    EXPECT_EQ(whole[2], held[2]);
    ASSERT_EQ(buffer->Unlock(audio1, 0, nullptr, 0), DS_OK) << "nothing written back";

    ASSERT_EQ(buffer->Lock(12, 8, &audio1, &bytes1, nullptr, nullptr, 0), DS_OK);
    EXPECT_EQ(bytes1, 4u) << "without a second region the lock ends at the buffer's end";
    ASSERT_EQ(buffer->Unlock(audio1, bytes1, nullptr, 0), DS_OK);

    for (const auto& [offset, bytes] : {std::pair<DWORD, DWORD>{16, 4}, {0, 0}, {0, 17}}) {
        EXPECT_EQ(buffer->Lock(offset, bytes, &audio1, &bytes1, &audio2, &bytes2, 0),
                  DSERR_INVALIDPARAM)
            << offset << "+" << bytes;
    }
}

TEST_F(TDirectSoundTest, OneShotStopsAtItsEndAndLoopingWraps) {
    const std::vector<std::int16_t> samples = Ramp(2 * 1000);
    IDirectSoundBuffer* buffer = Holding(44100, 2, samples);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    DWORD status = 0;
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING);
    std::vector<std::int16_t> mix = Mix(1500);
    ASSERT_EQ(mix.size(), 3000u);
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), mix.begin()));
    EXPECT_TRUE(std::all_of(mix.begin() + 2000, mix.end(), [](auto s) { return s == 0; }));
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    DWORD play = 1;
    DWORD write = 1;
    ASSERT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 0u) << "back at the start";
    EXPECT_EQ(write, 0u);

    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    mix = Mix(2500);
    for (std::size_t i = 0; i < mix.size(); ++i) {
        ASSERT_EQ(mix[i], samples[i % samples.size()]) << i;
    }
    ASSERT_EQ(buffer->GetCurrentPosition(&play, nullptr), DS_OK);
    EXPECT_EQ(play, 2000u);
    EXPECT_EQ(buffer->Play(1, 0, 0), DSERR_INVALIDPARAM) << "reserved must be 0";
}

TEST_F(TDirectSoundTest, WriteCursorLeadsTheTenMillisecondsOfData) {
    IDirectSoundBuffer* buffer = Make(44100, 2, 176400);
    DWORD play = 1;
    DWORD write = 1;
    ASSERT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 0u);
    EXPECT_EQ(write, 0u) << "stopped: the cursors meet";
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    Mix(100);
    ASSERT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 400u);
    EXPECT_EQ(write, 400u + 1764u);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    ASSERT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 400u) << "Stop keeps the position";
    EXPECT_EQ(write, 400u);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    Mix(43900);
    ASSERT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 176000u);
    EXPECT_EQ(write, 1364u) << "the write cursor wraps first";

    void* audio1 = nullptr;
    void* audio2 = nullptr;
    DWORD bytes1 = 0;
    DWORD bytes2 = 0;
    ASSERT_EQ(buffer->Lock(0, 1000, &audio1, &bytes1, &audio2, &bytes2, DSBLOCK_FROMWRITECURSOR),
              DS_OK);
    EXPECT_EQ(bytes1, 1000u) << "from 1364";
    EXPECT_EQ(bytes2, 0u);
    ASSERT_EQ(buffer->Unlock(audio1, bytes1, audio2, bytes2), DS_OK);
    EXPECT_EQ(buffer->GetCurrentPosition(nullptr, nullptr), DSERR_INVALIDPARAM);
}

TEST_F(TDirectSoundTest, VolumeScalesTheMixAndTheSumIsRoundedOnce) {
    const std::vector<std::int16_t> samples = Ramp(2 * 600, -32768, 109);
    IDirectSoundBuffer* buffer = Holding(44100, 2, samples);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    for (LONG volume : {0, -600, -2000, -2500, -9999, -10000}) {
        ASSERT_EQ(buffer->SetVolume(volume), DS_OK);
        const std::vector<std::int16_t> mix = Mix(600);
        const double gain = volume == -10000 ? 0.0 : std::pow(10.0, volume / 2000.0);
        for (std::size_t i = 0; i < mix.size(); ++i) {
            ASSERT_EQ(mix[i], std::lround(samples[i] * gain)) << volume << " at " << i;
        }
    }
    EXPECT_EQ(buffer->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetVolume(-10001), DSERR_INVALIDPARAM);
    IDirectSoundBuffer* fixed = Make(44100, 2, 4096, DSBCAPS_CTRLPOSITIONNOTIFY);
    EXPECT_EQ(fixed->SetVolume(-100), DSERR_CONTROLUNAVAIL);
}

TEST_F(TDirectSoundTest, OtherRatesAreResampledLinearlyAndMonoGoesToBothSides) {
    // 22050 Hz mono: every other output frame lies halfway between two samples.
    IDirectSoundBuffer* mono = Holding(22050, 1, {0, 1000, 2001, 3001, -3000});
    ASSERT_EQ(mono->Play(0, 0, 0), DS_OK);
    std::vector<std::int16_t> mix = Mix(12);
    const std::vector<std::int16_t> expected = {0,     0,     500,   500,   1000, 1000, 1501, 1501,
                                                2001,  2001,  2501,  2501,  3001, 3001, 1,    1,
                                                -3000, -3000, -3000, -3000, 0,    0,    0,    0};
    EXPECT_EQ(mix, expected) << "halves away from zero; the last sample held to the end";

    // 88200 Hz stereo: every other frame is skipped.
    IDirectSoundBuffer* fast = Holding(88200, 2, {1, -1, 2, -2, 3, -3, 4, -4, 5, -5, 6, -6});
    ASSERT_EQ(fast->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    mix = Mix(4);
    EXPECT_EQ(mix, (std::vector<std::int16_t>{1, -1, 3, -3, 5, -5, 1, -1}));
}

TEST_F(TDirectSoundTest, BuffersAreSummedWithSaturation) {
    struct TCase {
        std::int16_t a;
        std::int16_t b;
        std::int16_t sum;
    };
    const TCase cases[] = {
        {30000, 30000, 32767}, {-30000, -30000, -32768}, {10000, -4000, 6000}, {32767, 1, 32767}};
    for (const TCase& item : cases) {
        IDirectSoundBuffer* a = Holding(44100, 1, {item.a, item.a});
        IDirectSoundBuffer* b = Holding(44100, 1, {item.b, item.b});
        ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
        ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
        const std::vector<std::int16_t> mix = Mix(2);
        EXPECT_EQ(mix, (std::vector<std::int16_t>(4, item.sum))) << item.a << " + " << item.b;
    }
}

TEST_F(TDirectSoundTest, NotificationsFollowThePlayCursor) {
    IDirectSoundBuffer* plain = Make(44100, 2, 4000, DSBCAPS_CTRLVOLUME);
    void* object = nullptr;
    EXPECT_EQ(plain->QueryInterface(IID_IDirectSoundNotify, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    IDirectSoundBuffer* buffer = Make(44100, 2, 4000); // 1000 frames
    ASSERT_EQ(buffer->QueryInterface(IID_IDirectSoundNotify, &object), DS_OK);
    auto* notify = static_cast<IDirectSoundNotify*>(object);
    HANDLE start = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE middle = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE stop = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    const DSBPOSITIONNOTIFY outside[] = {{4000, start}};
    EXPECT_EQ(notify->SetNotificationPositions(1, outside), DSERR_INVALIDPARAM);
    const DSBPOSITIONNOTIFY noEvent[] = {{0, nullptr}};
    EXPECT_EQ(notify->SetNotificationPositions(1, noEvent), DSERR_INVALIDPARAM);
    const DSBPOSITIONNOTIFY positions[] = {{0, start}, {2000, middle}, {DSBPN_OFFSETSTOP, stop}};
    ASSERT_EQ(notify->SetNotificationPositions(3, positions), DS_OK);

    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(notify->SetNotificationPositions(3, positions), DSERR_INVALIDCALL) << "playing";
    Mix(499);
    EXPECT_FALSE(IsSignalled(start)) << "the cursor set out from there";
    EXPECT_FALSE(IsSignalled(middle));
    Mix(1);
    EXPECT_TRUE(IsSignalled(middle)) << "reached";
    Mix(499);
    EXPECT_FALSE(IsSignalled(start));
    Mix(2);
    EXPECT_TRUE(IsSignalled(start)) << "wrapped past it";
    EXPECT_FALSE(IsSignalled(stop));
    ASSERT_EQ(buffer->Stop(), DS_OK);
    EXPECT_TRUE(IsSignalled(stop));

    notify->Release();
    for (HANDLE event : {start, middle, stop}) {
        CloseHandle(event);
    }
}

TEST_F(TDirectSoundTest, LostBuffersRefuseUntilRestored) {
    IDirectSoundBuffer* buffer = Holding(44100, 2, Ramp(2 * 100, 1000, 7));
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    standin::LoseSoundBuffers();
    DWORD status = 0;
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DSERR_BUFFERLOST);
    void* audio = nullptr;
    DWORD bytes = 0;
    EXPECT_EQ(buffer->Lock(0, 4, &audio, &bytes, nullptr, nullptr, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(buffer->SetVolume(-100), DS_OK);

    ASSERT_EQ(buffer->Restore(), DS_OK);
    ASSERT_EQ(buffer->GetStatus(&status), DS_OK);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    const std::vector<std::int16_t> mix = Mix(100);
    EXPECT_TRUE(std::all_of(mix.begin(), mix.end(), [](auto s) { return s == 0; }))
        << "the data went with the loss";
}

TEST_F(TDirectSoundTest, ScriptedFaultsAnswerOnceOrUntilCleared) {
    IDirectSoundBuffer* first = Make(44100, 2, 4096);
    IDirectSoundBuffer* second = Make(44100, 2, 4096);
    standin::SetSoundFault(first, "IDirectSoundBuffer::Play", DSERR_GENERIC);
    EXPECT_EQ(second->Play(0, 0, 0), DS_OK) << "another buffer";
    EXPECT_EQ(first->Play(0, 0, 0), DSERR_GENERIC);
    EXPECT_EQ(first->Play(0, 0, 0), DS_OK) << "once";

    standin::SetSoundFault(nullptr, "IDirectSoundBuffer::GetStatus", DSERR_GENERIC, false);
    DWORD status = 0;
    EXPECT_EQ(first->GetStatus(&status), DSERR_GENERIC);
    EXPECT_EQ(second->GetStatus(&status), DSERR_GENERIC);
    standin::ClearSoundFaults();
    EXPECT_EQ(second->GetStatus(&status), DS_OK);
}

TEST_F(TDirectSoundTest, ReleasingTheDirectSoundObjectSilencesItsBuffers) {
    IDirectSoundBuffer* buffer = Holding(44100, 2, Ramp(2 * 100));
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    ASSERT_EQ(standin::SoundBuffers().size(), 1u);
    EXPECT_EQ(standin::SoundBuffers().front().buffer, buffer);
    mSound->Release();
    mSound = nullptr;
    EXPECT_EQ(standin::SoundDeviceName(), "");
    EXPECT_TRUE(standin::SoundBuffers().empty());
    DWORD status = 0;
    EXPECT_EQ(buffer->GetStatus(&status), DSERR_UNINITIALIZED);
    EXPECT_EQ(buffer->Play(0, 0, 0), DSERR_UNINITIALIZED);
    // Released by the fixture, after its DirectSound object.
}

// SDL's audio thread mixes while this thread writes the buffer it plays.
TEST_F(TDirectSoundTest, SdlDeviceMixesOnItsOwnThread) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    mSound->Release();
    standin::UseNullSoundDevice(false);
    ASSERT_EQ(DirectSoundCreate(nullptr, &mSound, nullptr), DS_OK);
    ASSERT_EQ(mSound->SetCooperativeLevel(mWindow, DSSCL_PRIORITY), DS_OK);
    EXPECT_EQ(standin::SoundDeviceName().rfind("sdl:", 0), 0u) << standin::SoundDeviceName();
    EXPECT_FALSE(standin::AdvanceSoundDevice(100)) << "a real device keeps its own time";

    IDirectSoundBuffer* buffer = Holding(44100, 2, Ramp(2 * 4410));
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    DWORD play = 0;
    int writes = 0;
    while (play == 0 && std::chrono::steady_clock::now() < end) {
        Write(buffer, static_cast<DWORD>(writes % 10) * 1764, Ramp(882, writes));
        ++writes;
        ASSERT_EQ(buffer->GetCurrentPosition(&play, nullptr), DS_OK);
    }
    EXPECT_NE(play, 0u) << "SDL pulled frames";
}

} // namespace
