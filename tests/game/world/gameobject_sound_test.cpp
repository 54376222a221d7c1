// A placed object's "CPP_PlaySound" plays the game's sound effect of that short name.
#include "game/world/GGameObject.h"

#include "engine/media/sound.h"
#include "engine/media/soundinstance.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "game/world/GSoundEffects.h"
#include "tests/assets/assets_fixture.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using GameObjectSoundTest = assets_test::TDemoSoundDeviceTest;

TEST_F(GameObjectSoundTest, PlaySoundPlaysTheEffectOfTheShortName) {
    TScript level;
    level.DoLuaString("return { class_name = 'GGameObject' }", -1, 1);
    TLuaTable type(level.GetState());
    GGameObject object;
    ASSERT_TRUE(object.InitFromTable(&type, nullptr));
    ASSERT_TRUE(object.InitInLevel(nullptr, nullptr, "", nullptr));

    object.GetScript().DoLuaString("CPP_PlaySound('click'); CPP_PlaySound('no such sound')");
    const TSoundPtr click = TSound::Find("audio/sfx/click.ogg;1;1000");
    ASSERT_TRUE(click);
    EXPECT_TRUE(click->Stop()) << "it was playing";
}

} // namespace
