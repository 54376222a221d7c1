#include "tests/engine/media/sound_fixture.h"

#include <cmath>

namespace sound_test {
namespace {

using TSoundStreamTest = TSoundTest;

// The one secondary buffer there is.
standin::TSoundBufferInfo OnlyBuffer() {
    const auto buffers = standin::SoundBuffers();
    EXPECT_EQ(buffers.size(), 1u);
    return buffers.empty() ? standin::TSoundBufferInfo{} : buffers.front();
}

TEST_F(TSoundStreamTest, OneShotPlaysOnceFromItsBufferAndEndsAfterOneSilentHalf) {
    TSoundManager& manager = StartSound();
    manager.SetVolume(-1, 0.8f);
    TTestSpooler& spooler = Spooler(Pattern(44100 * 2)); // one second
    auto listener = boost::make_shared<TRecordingListener>();
    TSoundStream* stream = Stream(spooler, false, 0, listener);
    ASSERT_TRUE(stream->CreateBuffer(44100, 2, 16, 2.0f));
    EXPECT_FLOAT_EQ(stream->GetBufferSeconds(), 2.0f);
    stream->Play(true);
    const standin::TSoundBufferInfo buffer = OnlyBuffer();
    EXPECT_EQ(buffer.status, DSBSTATUS_PLAYING) << "once, not looping";
    // 0.8f lies a little above 0.8, and the level is truncated.
    EXPECT_EQ(buffer.volume, -999);

    // 0.5 s: the silent second half is written; 1.0 s: the cursors straddle the middle;
    // 1.5 s: the first half, played, is the silent half; 2.0 s: the buffer has stopped at its end.
    for (int step = 0; step < 3; ++step) {
        Step(500);
        EXPECT_EQ(spooler.Releases(), 0) << "step " << step;
    }
    EXPECT_EQ(spooler.Reads(), 3);
    Step(500);
    EXPECT_EQ(spooler.Releases(), 1) << "the data is given up when the stream ends";
    EXPECT_EQ(OnlyBuffer().status, 0u);
    EXPECT_TRUE(listener->ended.empty()) << "retired, not yet freed";

    manager.Update();
    ASSERT_EQ(listener->ended.size(), 1u);
    EXPECT_EQ(listener->ended.front(), stream);
    EXPECT_TRUE(standin::SoundBuffers().empty());
    EXPECT_EQ(spooler.Releases(), 1);

    const std::vector<std::int16_t> mix = standin::TakeSoundCapture();
    ASSERT_EQ(mix.size(), 2u * 88200u);
    const double gain = std::pow(10.0, buffer.volume / 2000.0);
    const std::vector<std::int16_t>& samples = spooler.Samples();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        ASSERT_NEAR(mix[i], samples[i] * gain, 0.5) << "sample " << i;
    }
    EXPECT_TRUE(std::all_of(mix.begin() + 88200, mix.end(), [](std::int16_t s) { return s == 0; }));
}

TEST_F(TSoundStreamTest, LoopingStreamPlaysWithoutGapsUntilStopped) {
    TSoundManager& manager = StartSound();
    TTestSpooler& spooler = Spooler(Pattern(22050 * 2)); // half a second
    auto listener = boost::make_shared<TRecordingListener>();
    TSoundStream* stream = Stream(spooler, true, 1000, listener);
    ASSERT_TRUE(stream->CreateBuffer(44100, 2, 16, 2.0f));
    stream->Play(false);
    EXPECT_EQ(OnlyBuffer().status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);

    for (int step = 0; step < 8; ++step) {
        Step(500);
    }
    manager.Update();
    EXPECT_TRUE(listener->ended.empty());
    const std::vector<std::int16_t> mix = standin::TakeSoundCapture();
    ASSERT_EQ(mix.size(), 8u * 44100u);
    const std::vector<std::int16_t>& samples = spooler.Samples();
    for (std::size_t i = 0; i < mix.size(); ++i) {
        ASSERT_EQ(mix[i], samples[i % samples.size()]) << "sample " << i;
    }

    manager.StopCategory(-1);
    ASSERT_EQ(listener->ended.size(), 1u) << "stopped and freed at once";
    EXPECT_EQ(spooler.Releases(), 1);
    EXPECT_TRUE(standin::SoundBuffers().empty());
}

TEST_F(TSoundStreamTest, StreamsWaitForTheApplicationAndKeepTheGamesPause) {
    TSoundManager& manager = StartSound();
    auto listener = boost::make_shared<TRecordingListener>();
    TSoundStream* paused = Stream(Spooler(Pattern(44100)), true, 0, listener);
    TSoundStream* playing = Stream(Spooler(Pattern(44100)), true, 0, listener);
    ASSERT_TRUE(paused->CreateBuffer(44100, 2, 16, 2.0f));
    ASSERT_TRUE(playing->CreateBuffer(44100, 2, 16, 2.0f));
    paused->Play(false);
    playing->Play(false);
    paused->Pause(true);

    manager.SetActive(false);
    TSoundStream* started = Stream(Spooler(Pattern(44100)), false, 0, listener);
    ASSERT_TRUE(started->CreateBuffer(44100, 2, 16, 2.0f));
    started->Play(true);
    auto status = [](std::size_t index) { return standin::SoundBuffers().at(index).status; };
    EXPECT_EQ(status(0), 0u);
    EXPECT_EQ(status(1), 0u);
    EXPECT_EQ(status(2), 0u) << "a stream started while inactive waits";

    manager.SetActive(true);
    EXPECT_EQ(status(0), 0u) << "the game's pause outlasts the activation";
    EXPECT_EQ(status(1), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    EXPECT_EQ(status(2), DSBSTATUS_PLAYING);
    paused->Pause(false);
    EXPECT_EQ(status(0), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
}

TEST_F(TSoundStreamTest, BufferSizeIsRoundedUpToEightBytesWithinDirectSoundsLimits) {
    StartSound();
    struct TCase {
        int rate;
        int channels;
        float seconds;
        DWORD bytes;
    };
    const TCase cases[] = {
        {44100, 2, 2.0f, 352800}, {22050, 1, 2.0f, 88200}, {11025, 1, 0.1f, 2208},
        {8000, 2, 0.0f, 4},       {8000, 2, -1.0f, 4},
    };
    for (const TCase& item : cases) {
        TSoundStream* stream = Stream(Spooler({}, item.rate, item.channels), false, 0, nullptr);
        ASSERT_TRUE(stream->CreateBuffer(item.rate, item.channels, 16, item.seconds));
        const standin::TSoundBufferInfo buffer = standin::SoundBuffers().back();
        EXPECT_EQ(buffer.bytes, item.bytes) << item.rate << " Hz, " << item.seconds << " s";
        EXPECT_FLOAT_EQ(stream->GetBufferSeconds(),
                        static_cast<float>(item.bytes) / (item.rate * item.channels * 2));
        stream->Stop(false);
    }
}

TEST_F(TSoundStreamTest, VolumeMapsToHundredthsOfADecibel) {
    StartSound();
    TSoundStream* stream = Stream(Spooler(Pattern(1000)), false, 0, nullptr);
    ASSERT_TRUE(stream->CreateBuffer(44100, 2, 16, 2.0f));
    const std::pair<float, LONG> cases[] = {{0.0f, -10000}, {0.5f, -2500},  {1.0f, 0},
                                            {1.3f, 0},      {0.25f, -3750}, {-0.5f, -10000}};
    for (const auto& [volume, level] : cases) {
        stream->SetVolume(volume);
        EXPECT_EQ(OnlyBuffer().volume, level) << volume;
    }
}

TEST_F(TSoundStreamTest, LostBufferIsRestoredByTheNextVolumeChange) {
    TSoundManager& manager = StartSound();
    TSoundStream* stream = Stream(Spooler(Pattern(44100)), true, 0, nullptr);
    ASSERT_TRUE(stream->CreateBuffer(44100, 2, 16, 2.0f));
    stream->Play(false);
    standin::LoseSoundBuffers();
    EXPECT_EQ(OnlyBuffer().status, DSBSTATUS_BUFFERLOST);

    manager.SetVolume(-1, 0.5f);
    EXPECT_EQ(OnlyBuffer().status, 0u);
    EXPECT_EQ(OnlyBuffer().volume, -2500);
    EXPECT_EQ(LogText().find("DX Error"), std::string::npos);
}

TEST_F(TSoundStreamTest, DirectSoundFailuresAreReportedWithTheirLines) {
    StartSound();
    auto listener = boost::make_shared<TRecordingListener>();

    // A format DirectSound refuses: no buffer, so the stream lives on its clock.
    TSoundStream* refused = Stream(Spooler(Pattern(100), 50, 1), false, 0, listener);
    EXPECT_FALSE(refused->CreateBuffer(50, 1, 16, 2.0f));
    EXPECT_NE(LogText().find("DX Error:  (0x80070057), File .\\soundstream, Line 232"),
              std::string::npos);

    // A buffer that cannot be locked ends its stream at the next refill.
    TSoundStream* locked = Stream(Spooler(Pattern(88200)), true, 0, listener);
    ASSERT_TRUE(locked->CreateBuffer(44100, 2, 16, 2.0f));
    locked->Play(false);
    const standin::TSoundBufferInfo buffer = standin::SoundBuffers().back();
    standin::SetSoundFault(buffer.buffer, "IDirectSoundBuffer::Lock", DSERR_GENERIC);
    Step(500);
    mManager->Update();
    ASSERT_EQ(listener->ended.size(), 1u);
    EXPECT_EQ(listener->ended.front(), locked);
    EXPECT_NE(LogText().find("DX Error:  (0x80004005), File .\\soundstream, Line 408"),
              std::string::npos);
}

} // namespace
} // namespace sound_test
