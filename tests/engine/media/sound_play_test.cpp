#include "tests/engine/media/sound_asset_fixture.h"

#include <cmath>

namespace sound_asset_test {
namespace {

// Sounds played on the stand-in's null device; the mix it captured is compared with the samples
// vorbisfile decodes from the same file.
class SoundPlayTest : public TSoundAssetTest {
protected:
    TSoundPtr Load(const std::string& name, double seconds) {
        Serve(name, ToneFile(seconds));
        TSoundPtr sound = TSound::Get(name.c_str(), true, 0);
        EXPECT_TRUE(sound) << name;
        return sound;
    }

    static std::size_t Copies(const TSoundPtr& sound) {
        return sound->GetData()->GetInstances().size();
    }

    static double Gain(LONG volume) { return std::pow(10.0, volume / 2000.0); }

    // Frame `frame` of `samples` (left then right), silence outside them.
    static std::pair<double, double> Frame(const TSamples& samples, long frame) {
        if (frame < 0 || static_cast<std::size_t>(frame) * 2 + 1 >= samples.size()) {
            return {0.0, 0.0};
        }
        return {samples[2 * static_cast<std::size_t>(frame)],
                samples[2 * static_cast<std::size_t>(frame) + 1]};
    }
};

TEST_F(SoundPlayTest, AOneShotThatFitsPlaysOnceFromItsBuffer) {
    TSoundManager& manager = StartSound();
    manager.SetVolume(-1, 0.8f);
    const TSoundPtr sound = Load("fit.ogg", 1.5);
    const TSoundInstancePtr copy = sound->Play(false);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->GetStream(), nullptr);
    EXPECT_EQ(copy->GetSound(), sound);
    EXPECT_EQ(Copies(sound), 1u);
    const auto buffers = standin::SoundBuffers();
    ASSERT_EQ(buffers.size(), 1u);
    EXPECT_EQ(buffers[0].bytes, 352800u);
    EXPECT_EQ(buffers[0].status, DSBSTATUS_PLAYING) << "once, not as a ring";
    const double gain = Gain(buffers[0].volume);

    // 0.5 s: the second half gets the tail; 1.5 s: the silent half; 2.0 s: the end.
    for (int step = 0; step < 4; ++step) {
        Step(500);
        EXPECT_EQ(Copies(sound), 1u) << "step " << step << ": retired streams wait for Update";
    }
    manager.Update();
    EXPECT_EQ(Copies(sound), 0u);
    EXPECT_EQ(copy->GetStream(), nullptr);
    EXPECT_TRUE(standin::SoundBuffers().empty());

    const TSamples mix = standin::TakeSoundCapture();
    const TSamples& samples = Decoded(ToneFile(1.5));
    ASSERT_EQ(mix.size(), 4u * 44100u);
    for (std::size_t i = 0; i < mix.size(); ++i) {
        const double expected = i < samples.size() ? samples[i] * gain : 0.0;
        ASSERT_NEAR(mix[i], expected, 0.51) << "sample " << i;
    }
}

TEST_F(SoundPlayTest, ATwoSecondOneShotPlaysThroughTheRing) {
    TSoundManager& manager = StartSound();
    const TSoundPtr sound = Load("ring.ogg", 2.0);
    ASSERT_NE(sound->GetData()->GetPcm(), nullptr) << "decoded at load";
    const TSoundInstancePtr copy = sound->Play(false);
    ASSERT_TRUE(copy);
    EXPECT_EQ(standin::SoundBuffers().at(0).status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);

    // The data ends at 2 s: the halves refilled at 1.5 s and 2.0 s are silent, and the pass at
    // 3.5 s ends the stream.
    for (int step = 0; step < 6; ++step) {
        Step(500);
        manager.Update();
        ASSERT_EQ(Copies(sound), 1u) << "step " << step;
    }
    Step(500);
    manager.Update();
    EXPECT_EQ(Copies(sound), 0u);

    const TSamples mix = standin::TakeSoundCapture();
    const TSamples& samples = Decoded(ToneFile(2.0));
    ASSERT_EQ(samples.size(), 4u * 44100u);
    ASSERT_EQ(mix.size(), 7u * 44100u);
    for (std::size_t i = 0; i < mix.size(); ++i) {
        ASSERT_EQ(mix[i], i < samples.size() ? samples[i] : 0) << "sample " << i;
    }
}

TEST_F(SoundPlayTest, ALoopWrapsWithoutSilenceUntilStopped) {
    TSoundManager& manager = StartSound();
    const TSoundPtr sound = Load("loop.ogg", 0.5);
    const TSoundInstancePtr copy = sound->Play(true);
    ASSERT_TRUE(copy);
    for (int step = 0; step < 8; ++step) {
        Step(500);
    }
    manager.Update();
    EXPECT_EQ(Copies(sound), 1u) << "a loop never ends by itself";
    const TSamples mix = standin::TakeSoundCapture();
    const TSamples& samples = Decoded(ToneFile(0.5));
    ASSERT_EQ(mix.size(), 8u * 44100u);
    for (std::size_t i = 0; i < mix.size(); ++i) {
        ASSERT_EQ(mix[i], samples[i % samples.size()]) << "sample " << i;
    }
    EXPECT_TRUE(sound->StopInstance(copy));
    EXPECT_EQ(copy->GetStream(), nullptr);
    EXPECT_TRUE(standin::SoundBuffers().empty());
}

TEST_F(SoundPlayTest, TwoCopiesOfALongSoundShareOneDecoderAtTheirOwnPositions) {
    TSoundManager& manager = StartSound();
    // About half the level each, so that the two together never clip.
    manager.SetVolume(-1, 0.88f);
    const TSoundPtr sound = Load("long.ogg", 4.0);
    ASSERT_NE(sound->GetData()->GetDecoder(), nullptr) << "decoded while playing";
    const TSoundInstancePtr first = sound->Play(false);
    Step(500);
    Step(500);
    const TSoundInstancePtr second = sound->Play(false);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(Copies(sound), 2u);
    const auto buffers = standin::SoundBuffers();
    ASSERT_EQ(buffers.size(), 2u);
    EXPECT_EQ(buffers[1].status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    const double gain = Gain(buffers[0].volume);
    for (int step = 0; step < 6; ++step) {
        Step(500);
    }
    const TSamples mix = standin::TakeSoundCapture();
    const TSamples& samples = Decoded(ToneFile(4.0));
    ASSERT_EQ(mix.size(), 8u * 44100u);
    for (long frame = 0; frame < 4 * 44100; ++frame) {
        const auto [a0, a1] = Frame(samples, frame);
        const auto [b0, b1] = Frame(samples, frame - 44100);
        ASSERT_NEAR(mix[2 * static_cast<std::size_t>(frame)], (a0 + b0) * gain, 1.01)
            << "frame " << frame;
        ASSERT_NEAR(mix[2 * static_cast<std::size_t>(frame) + 1], (a1 + b1) * gain, 1.01)
            << "frame " << frame;
    }
    sound->Stop();
}

TEST_F(SoundPlayTest, StoppingOneCopyLeavesTheOthersPlaying) {
    StartSound();
    const TSoundPtr sound = Load("stop.ogg", 0.5);
    EXPECT_FALSE(sound->Stop()) << "no copies";
    EXPECT_FALSE(sound->Pause(true)) << "no copies";
    const TSoundInstancePtr copies[] = {sound->Play(true), sound->Play(true), sound->Play(true)};
    ASSERT_EQ(Copies(sound), 3u);
    EXPECT_FALSE(sound->StopInstance(TSoundInstancePtr()));

    EXPECT_TRUE(sound->StopInstance(copies[1]));
    EXPECT_EQ(Copies(sound), 2u);
    EXPECT_EQ(copies[1]->GetStream(), nullptr);
    auto buffers = standin::SoundBuffers();
    ASSERT_EQ(buffers.size(), 2u);
    for (const auto& buffer : buffers) {
        EXPECT_EQ(buffer.status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    }
    // A copy stopped already is no longer the sound's: nothing more happens to the others.
    EXPECT_TRUE(sound->StopInstance(copies[1]));
    EXPECT_EQ(standin::SoundBuffers().size(), 2u);

    EXPECT_TRUE(sound->Pause(true));
    for (const auto& buffer : standin::SoundBuffers()) {
        EXPECT_EQ(buffer.status, 0u);
    }
    EXPECT_TRUE(sound->Pause(false));
    for (const auto& buffer : standin::SoundBuffers()) {
        EXPECT_EQ(buffer.status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    }
    copies[0]->SetVolume(0.5f);
    EXPECT_EQ(standin::SoundBuffers().at(0).volume, -2500) << "the copy's own volume";
    copies[1]->SetVolume(0.5f);

    EXPECT_TRUE(sound->Stop());
    EXPECT_EQ(Copies(sound), 0u);
    EXPECT_TRUE(standin::SoundBuffers().empty());
    EXPECT_FALSE(sound->Stop());
}

TEST_F(SoundPlayTest, DestroyingASoundStopsItsCopies) {
    StartSound();
    TSoundPtr sound = Load("drop.ogg", 0.5);
    const TSoundInstancePtr looping = sound->Play(true);
    const TSoundInstancePtr once = sound->Play(false);
    ASSERT_EQ(standin::SoundBuffers().size(), 2u);
    sound.reset();
    EXPECT_TRUE(standin::SoundBuffers().empty());
    EXPECT_EQ(looping->GetStream(), nullptr);
    EXPECT_EQ(once->GetStream(), nullptr);
    EXPECT_FALSE(looping->GetSound());
    looping->SetVolume(0.3f);
}

TEST_F(SoundPlayTest, WithoutDirectSoundACopyRunsOnItsClockForItsLength) {
    standin::SetSoundFault(nullptr, "DirectSoundCreate", DSERR_NODRIVER, false);
    TSoundManager& manager = StartSound(false);
    const TSoundPtr sound = Load("quiet.ogg", 1.5);
    const TSoundInstancePtr copy = sound->Play(false);
    ASSERT_TRUE(copy);
    EXPECT_TRUE(standin::SoundBuffers().empty());
    standin::AdvanceTime(1001);
    manager.ServiceStreams(true);
    manager.Update();
    EXPECT_EQ(Copies(sound), 1u) << "1 s of 1.5 s";
    standin::AdvanceTime(1001);
    manager.ServiceStreams(true);
    manager.Update();
    EXPECT_EQ(Copies(sound), 0u);
    EXPECT_EQ(copy->GetStream(), nullptr);
}

TEST_F(SoundPlayTest, PlayNeedsASoundManager) {
    const TSoundPtr sound = Load("alone.ogg", 0.5);
    EXPECT_FALSE(sound->Play(false));
    EXPECT_TRUE(Logged("No Sound Manager")) << LogText();
    EXPECT_EQ(Copies(sound), 0u);
}

} // namespace
} // namespace sound_asset_test
