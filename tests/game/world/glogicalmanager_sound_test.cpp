// The sounds of the logical manager's input: a refused click plays "click_empty" (the power
// meter's row: refused while disabled, taken silently when enabled), and "CPP_PlaySound" plays the
// effect of the short name.
#include "game/world/GLogicalManager.h"

#include "engine/media/sound.h"
#include "game/world/GGameObject.h"
#include "game/world/GMarivellPowerMeter.h"
#include "tests/assets/assets_fixture.h"

#include <gtest/gtest.h>

namespace {

class LogicalManagerSoundTest : public assets_test::TDemoSoundDeviceTest {
protected:
    void TearDown() override {
        GLogicalManager::Instance().SetGameState(0);
        TDemoSoundDeviceTest::TearDown();
    }

    // Stopping a sound answers whether it was playing.
    static bool WasPlaying(const char* name) {
        const TSoundPtr sound =
            TSound::Find((std::string("audio/sfx/") + name + ".ogg;1;1000").c_str());
        return sound && sound->Stop();
    }
};

TEST_F(LogicalManagerSoundTest, ARefusedClickPlaysClickEmptyOnlyInPlay) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GGameObject object;
    manager.SetGameState(0);
    EXPECT_EQ(manager.OnObjectClick(&object, false), 0);
    EXPECT_FALSE(WasPlaying("click_empty")) << "silent before a level";
    manager.SetGameState(2);
    EXPECT_EQ(manager.OnObjectClick(&object, false), 0);
    EXPECT_TRUE(WasPlaying("click_empty"));
    EXPECT_FALSE(WasPlaying("click"));
}

TEST_F(LogicalManagerSoundTest, APowerMeterClickIsRefusedWhileDisabledAndTakenSilently) {
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.SetGameState(2);
    GMarivellPowerMeter meter;
    meter.SetActive(true);
    EXPECT_EQ(manager.OnObjectClick(&meter, true), 0);
    EXPECT_TRUE(WasPlaying("click_empty"));
    EXPECT_TRUE(meter.IsActive());

    meter.CPP_SetEnabled(1);
    EXPECT_EQ(manager.OnObjectClick(&meter, true), 1);
    EXPECT_FALSE(meter.IsActive()) << "the click was checked";
    EXPECT_FALSE(WasPlaying("click_empty"));
    EXPECT_FALSE(WasPlaying("click"));
}

TEST_F(LogicalManagerSoundTest, PlaySoundPlaysTheShortName) {
    GLogicalManager::Instance().CPP_PlaySound("grab");
    EXPECT_TRUE(WasPlaying("grab"));
}

} // namespace
