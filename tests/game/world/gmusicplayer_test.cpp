// The music player on the null sound device with the demo's tracks and the fake clock: cross-fades
// stepped by its timer in the platform's main task list, plays it refuses, plays without a fade,
// the player and its timer going in either order, and the release at platform shutdown.
#include "game/world/GMusicPlayer.h"

#include "engine/media/sound.h"
#include "engine/media/soundmanager.h"
#include "game/world/GSoundEffects.h"
#include "platform/dsound/standin_dsound.h"
#include "tests/assets/assets_fixture.h"

#include <gtest/gtest.h>

#include <boost/weak_ptr.hpp>

#include <memory>
#include <string>
#include <vector>

namespace {

using assets_test::Text;

// Full volume and silence of a buffer, in hundredths of a decibel.
constexpr LONG kFull = 0;
constexpr LONG kSilent = DSBVOLUME_MIN;

std::string Track(int index) {
    const char* const files[] = {"gamemusic01", "gamemusic02", "gamemusic03",
                                 "gamemusic04", "gamemusic05", "interface"};
    return std::string("audio/music/") + files[index] + ".ogg";
}

class GMusicPlayerTest : public assets_test::TDemoSoundDeviceTest {
protected:
    // One period of the fade timer.
    void Tick() {
        standin::AdvanceTime(100);
        mPlatform->GetTaskList()->Run(0);
    }

    // The volumes of the playing tracks, oldest first.
    static std::vector<LONG> Volumes() {
        std::vector<LONG> volumes;
        for (const standin::TSoundBufferInfo& buffer : standin::SoundBuffers()) {
            volumes.push_back(buffer.volume);
        }
        return volumes;
    }

    static std::vector<std::string> Files(const GMusicPlayer& player) {
        return {Text(player.GetChannelFile(0)), Text(player.GetChannelFile(1))};
    }
};

// From a track at the music volume to the next: each 100 ms the old one is 0.05 of full volume
// quieter and the new one 0.05 louder. The old one stops when the step reaches the music volume,
// the fade ends one step later.
TEST_F(GMusicPlayerTest, CrossFadeStopsTheOldTrackAtTheMusicVolumeAndEndsOneStepLater) {
    struct TCase {
        float volume;
        int stopTick;
        // Of the old and the new track after the first tick: 0.95 and 0.05 of full volume (-2.5
        // and -47.5 dB), or 0.45 and 0.05 (-27.5 and -47.5 dB).
        LONG oldAfterOne;
        LONG newAfterOne;
        LONG full;
    };
    const TCase cases[] = {{1.0f, 20, -250, -4750, kFull}, {0.5f, 10, -2750, -4750, -2500}};
    for (const TCase& item : cases) {
        SCOPED_TRACE(item.volume);
        mManager->SetCategoryVolume(1001, item.volume);
        GMusicPlayer player;
        ASSERT_TRUE(player.Play(0, false, true));
        EXPECT_FALSE(player.IsFading());
        EXPECT_EQ(Volumes(), std::vector<LONG>{item.full});
        ASSERT_TRUE(player.Play(1, true, true));
        EXPECT_TRUE(player.IsFading());
        EXPECT_EQ(player.GetCurrentTrack(), 1);
        EXPECT_EQ(Files(player), (std::vector<std::string>{Track(0), Track(1)}));
        EXPECT_EQ(Volumes(), (std::vector<LONG>{item.full, kSilent}));

        Tick();
        std::vector<LONG> volumes = Volumes();
        ASSERT_EQ(volumes.size(), 2u);
        // Truncated to whole hundredths of a decibel from float volumes.
        EXPECT_NEAR(volumes[0], item.oldAfterOne, 1);
        EXPECT_NEAR(volumes[1], item.newAfterOne, 1);
        for (int tick = 2; tick < item.stopTick; ++tick) {
            Tick();
        }
        EXPECT_EQ(Volumes().size(), 2u);
        EXPECT_EQ(Files(player), (std::vector<std::string>{Track(0), Track(1)}));

        Tick();
        mManager->Update();
        EXPECT_EQ(Volumes(), std::vector<LONG>{item.full});
        EXPECT_EQ(Files(player), (std::vector<std::string>{"", Track(1)}));
        EXPECT_TRUE(player.IsFading());

        Tick();
        EXPECT_FALSE(player.IsFading());
        EXPECT_EQ(Volumes(), std::vector<LONG>{item.full});
        player.Stop();
        mManager->Update();
    }
}

// The first track fades in with nothing to fade out; a new track during the fade stops the track
// fading out at once and takes its channel, and the track that was fading in fades out from the
// music volume.
TEST_F(GMusicPlayerTest, ANewTrackDuringAFadeTakesTheChannelOfTheOneFadingOut) {
    GMusicPlayer player;
    ASSERT_TRUE(player.Play(5, true, true));
    EXPECT_EQ(Volumes(), std::vector<LONG>{kSilent});
    Tick();
    ASSERT_EQ(Volumes().size(), 1u);
    EXPECT_NEAR(Volumes()[0], -4750, 1);
    ASSERT_TRUE(player.Play(0, true, true));
    for (int tick = 0; tick < 5; ++tick) {
        Tick();
    }
    // 0.75 and 0.25 of full volume.
    ASSERT_EQ(Volumes().size(), 2u);
    EXPECT_NEAR(Volumes()[0], -1250, 1);
    EXPECT_NEAR(Volumes()[1], -3750, 1);

    ASSERT_TRUE(player.Play(2, true, true));
    mManager->Update();
    EXPECT_EQ(Files(player), (std::vector<std::string>{Track(2), Track(0)}));
    ASSERT_EQ(Volumes().size(), 2u);
    EXPECT_NEAR(Volumes()[0], -3750, 1);
    EXPECT_EQ(Volumes()[1], kSilent);
    Tick();
    ASSERT_EQ(Volumes().size(), 2u);
    EXPECT_NEAR(Volumes()[0], -250, 1);
    EXPECT_NEAR(Volumes()[1], -4750, 1);
}

TEST_F(GMusicPlayerTest, PlaysItRefusesChangeNothing) {
    GMusicPlayer player;
    ASSERT_TRUE(player.Play(3, true, true));
    Tick();
    const std::vector<LONG> volumes = Volumes();
    const std::vector<std::string> files = Files(player);

    EXPECT_FALSE(player.Play(3, true, true));
    EXPECT_FALSE(player.Play(3, false, true));
    EXPECT_FALSE(player.Play(-1, true, true));
    EXPECT_FALSE(player.Play(6, false, true));
    EXPECT_EQ(player.GetCurrentTrack(), 3);
    EXPECT_EQ(Files(player), files);
    EXPECT_EQ(Volumes(), volumes);

    // A file the other channel plays already, with the next channel holding a sound.
    ASSERT_TRUE(player.Play(4, true, true));
    EXPECT_FALSE(player.StartChannel(Track(4).c_str(), true, true));
    EXPECT_EQ(Files(player), (std::vector<std::string>{Track(3), Track(4)}));
}

TEST_F(GMusicPlayerTest, APlayWithoutCrossFadeStopsBothChannelsAndStartsAtTheMusicVolume) {
    mManager->SetCategoryVolume(1001, 0.5f);
    GMusicPlayer player;
    ASSERT_TRUE(player.Play(0, false, true));
    ASSERT_TRUE(player.Play(1, true, true));
    Tick();
    Tick();
    ASSERT_EQ(Volumes().size(), 2u);

    ASSERT_TRUE(player.Play(2, false, true));
    mManager->Update();
    EXPECT_FALSE(player.IsFading());
    EXPECT_EQ(Files(player), (std::vector<std::string>{Track(2), ""}));
    EXPECT_EQ(Volumes(), std::vector<LONG>{-2500});
    Tick();
    EXPECT_EQ(Volumes(), std::vector<LONG>{-2500});

    player.Stop();
    mManager->Update();
    EXPECT_EQ(player.GetCurrentTrack(), -1);
    EXPECT_EQ(Files(player), (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(Volumes().empty());
    // Nothing is current any more: the same track plays again.
    EXPECT_TRUE(player.Play(2, false, true));
}

TEST_F(GMusicPlayerTest, AFileThatCannotBeLoadedPlaysNothingAndKeepsItsChannelForTheNext) {
    GMusicPlayer player;
    EXPECT_FALSE(player.StartChannel("audio/music/missing.ogg", true, true));
    EXPECT_TRUE(Volumes().empty());
    EXPECT_EQ(Files(player), (std::vector<std::string>{"", ""}));
    ASSERT_TRUE(player.Play(1, true, true));
    EXPECT_EQ(Files(player), (std::vector<std::string>{Track(1), ""}));
}

TEST_F(GMusicPlayerTest, APlayerGoneFirstLeavesItsTimerToEndAtItsNextRun) {
    auto player = std::make_unique<GMusicPlayer>();
    GMusicTimer* timer = player->GetTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->GetOwner(), player.get());
    ASSERT_TRUE(player->Play(0, true, true));
    Tick();

    player.reset();
    EXPECT_EQ(timer->GetOwner(), nullptr);
    // The timer answers false without reaching the player, and the list deletes it.
    Tick();
    EXPECT_FALSE(mPlatform->GetTaskList()->Remove(timer));
}

TEST_F(GMusicPlayerTest, ATimerGoneFirstIsForgottenByItsPlayer) {
    GMusicPlayer player;
    GMusicTimer* timer = player.GetTimer();
    ASSERT_TRUE(player.Play(0, true, true));
    ASSERT_TRUE(mPlatform->GetTaskList()->Remove(timer));
    delete timer;
    EXPECT_EQ(player.GetTimer(), nullptr);
    // Only a direct step moves the fade now; the player goes without touching its old timer.
    Tick();
    EXPECT_EQ(Volumes(), std::vector<LONG>{kSilent});
    player.FadeStep();
    ASSERT_EQ(Volumes().size(), 1u);
    EXPECT_NEAR(Volumes()[0], -4750, 1);
}

// The effects and the music hold their sounds until the platform goes, and let them go while the
// sound manager and the asset manager are still there.
TEST_F(GMusicPlayerTest, ThePlatformShutdownReleasesTheEffectsAndTheMusic) {
    ASSERT_TRUE(GSoundEffects::Instance()->Play("click"));
    ASSERT_TRUE(GMusicPlayer::Instance()->Play(0, true, true));
    ASSERT_TRUE(GMusicPlayer::Instance()->Play(1, true, true));
    EXPECT_EQ(GMusicPlayer::Instance(), GMusicPlayer::Instance());
    const boost::weak_ptr<TSound> effect = TSound::Find("audio/sfx/click.ogg;1;1000");
    const boost::weak_ptr<TSound> music = TSound::Find(str(Track(1).c_str()) + ";0;1001");
    ASSERT_FALSE(effect.expired());
    ASSERT_FALSE(music.expired());

    delete mPlatform;
    mPlatform = nullptr;
    EXPECT_TRUE(effect.expired());
    EXPECT_TRUE(music.expired());
}

} // namespace
