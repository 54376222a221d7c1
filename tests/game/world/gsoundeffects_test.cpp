// The sound-effect registry on the null sound device with the demo's files: what it loads when it
// is built, which file and volume each name plays, names and files that fail, and the stop of
// every effect.
#include "game/world/GSoundEffects.h"

#include "engine/media/sound.h"
#include "engine/media/soundinstance.h"
#include "engine/media/soundmanager.h"
#include "platform/dsound/standin_dsound.h"
#include "tests/assets/assets_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using assets_test::Text;

// The game's names and the files under "audio/sfx/" they play.
const std::pair<const char*, const char*> kEffects[] = {
    {"typing", "typing"},
    {"click", "click"},
    {"click_empty", "click_empty"},
    {"selection", "sliding"},
    {"done", "action_done"},
    {"grab", "grab"},
    {"door_open", "door_open"},
    {"cry", "cry"},
    {"fight", "fight"},
    {"sad", "judging_bad"},
    {"neutral", "judging_ok"},
    {"happy", "judging_great"},
    {"happy_xl", "judging_great"},
    {"drums", "drums"},
    {"winner", "winner"},
    {"slider_relief", "slider_relief"},
    {"girl_happy", "girl_happy"},
    {"girl_neutral", "girl_neutral"},
    {"girl_sad", "girl_sad"},
    {"bottle_open", "bottle_open"},
    {"speed_power", "speed_power"},
    {"hair_power", "hair_power"},
    {"makeup_power", "makeup_power"},
    {"poise_power", "poise_power"},
    {"goal_r", "goal_achieved"},
    {"expert_r", "expert_achieved"},
};

// The media's loaders, noting every sound file asked for.
struct TCountingLoaders final : TAssetLoaderLink {
    TAssetLoaderLink* inner = nullptr;
    std::vector<std::string> sounds;

    TAssetPtr LoadSound(const str& path) override {
        sounds.push_back(Text(path));
        return inner->LoadSound(path);
    }
    TSound* AsSound(TAsset* asset) override { return inner->AsSound(asset); }
};

// The effect file as the registry loads it: whole into memory, in volume category 1000.
TSoundPtr LoadedEffect(const char* file) {
    return TSound::Find(str::FromFormat("audio/sfx/%s.ogg;1;1000", file));
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class GSoundEffectsTest : public assets_test::TDemoSoundDeviceTest {
protected:
    void SetUp() override {
        TDemoSoundDeviceTest::SetUp();
        mLoaders.inner = &AssetLoaders();
        SetAssetLoaderLink(&mLoaders);
    }

    TCountingLoaders mLoaders;
};

TEST_F(GSoundEffectsTest, BuildingLoadsEachFileOnceAndEveryNamePlaysItsOwn) {
    GSoundEffects effects;

    // Asked for in the names' order, the file of "happy" and "happy_xl" twice; the second time
    // it is found loaded.
    std::vector<std::pair<std::string, std::string>> byName(std::begin(kEffects),
                                                            std::end(kEffects));
    std::sort(byName.begin(), byName.end());
    std::vector<std::string> asked;
    for (const auto& [name, file] : byName) {
        asked.push_back("audio/sfx/" + file + ".ogg?group=1000");
    }
    EXPECT_EQ(mLoaders.sounds, asked);
    std::set<TSound*> loaded;
    for (const auto& [name, file] : kEffects) {
        const TSoundPtr sound = LoadedEffect(file);
        ASSERT_TRUE(sound) << file;
        loaded.insert(sound.get());
    }
    EXPECT_EQ(loaded.size(), 25u);

    mLoaders.sounds.clear();
    for (const auto& [name, file] : kEffects) {
        EXPECT_TRUE(effects.Play(name)) << name;
        // A copy of that very file was playing.
        EXPECT_TRUE(LoadedEffect(file)->Stop()) << name;
    }
    EXPECT_TRUE(mLoaders.sounds.empty());
    EXPECT_EQ(LogText().find("TSound"), std::string::npos) << LogText();
    EXPECT_EQ(LogText().find("TAssetMap"), std::string::npos) << LogText();
}

TEST_F(GSoundEffectsTest, SelectionPlaysTheSlidingSoundAtTheEffectsVolume) {
    GSoundEffects effects;
    mManager->SetCategoryVolume(1000, 0.5f);
    mManager->SetCategoryVolume(1001, 0.25f);
    const size_t before = standin::SoundBuffers().size();

    ASSERT_TRUE(effects.Play("selection"));
    const std::vector<standin::TSoundBufferInfo> buffers = standin::SoundBuffers();
    ASSERT_EQ(buffers.size(), before + 1);
    // Half of full volume is -25 dB, in hundredths of a decibel.
    EXPECT_EQ(buffers.back().volume, -2500);
    EXPECT_TRUE(LoadedEffect("sliding")->Stop());
}

TEST_F(GSoundEffectsTest, UnknownNamesAndFilesThatFailPlayNothing) {
    GSoundEffects effects;
    EXPECT_EQ(effects.Register(nullptr, "audio/sfx/click.ogg"), 0);
    EXPECT_EQ(effects.Register("clack", nullptr), 0);
    EXPECT_EQ(effects.Register("broken", "audio/sfx/broken.ogg?group=1000"), 1);
    mLoaders.sounds.clear();
    const size_t before = standin::SoundBuffers().size();

    EXPECT_FALSE(effects.Play("applause"));
    EXPECT_FALSE(effects.Play("clack"));
    EXPECT_TRUE(mLoaders.sounds.empty());

    EXPECT_FALSE(effects.Play("broken"));
    const size_t complaints = Count(LogText(), "broken.ogg");
    EXPECT_GT(complaints, 0u) << LogText();
    // Not looked for again.
    EXPECT_FALSE(effects.Play("broken"));
    EXPECT_EQ(Count(LogText(), "broken.ogg"), complaints) << LogText();
    EXPECT_EQ(standin::SoundBuffers().size(), before);
}

TEST_F(GSoundEffectsTest, StopAllStopsTheEffectsAndLeavesTheMusic) {
    GSoundEffects effects;
    const TSoundPtr music = TSound::Get("audio/music/interface.ogg", false, 1001);
    ASSERT_TRUE(music);
    const TSoundInstancePtr tune = music->Play(true);
    ASSERT_TRUE(tune);
    ASSERT_TRUE(effects.Play("click"));
    ASSERT_TRUE(effects.Play(str(), "drums", true));
    const size_t before = standin::SoundBuffers().size();

    effects.StopAll();
    mManager->Update();
    EXPECT_EQ(standin::SoundBuffers().size(), before - 2);
    EXPECT_NE(tune->GetStream(), nullptr);
    EXPECT_FALSE(LoadedEffect("click")->Stop());
    EXPECT_FALSE(LoadedEffect("drums")->Stop());
    EXPECT_TRUE(music->Stop());
}

} // namespace
