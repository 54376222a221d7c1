// The power meter: what it reads from its type table, how the score fills it and what its script
// is told, its Lua functions, its placement rule and where a click goes.
#include "game/world/GMarivellPowerMeter.h"

#include "game/world/GMStr_Edit.h"
#include "game/world/GStratMousePikUp.h"
#include "tests/game/world/world_object_fixture.h"

#include <gtest/gtest.h>

namespace {

using world_test::TWorldObjectTest;

// A strategy that counts the presses it is given.
class TPressProbe : public GStratMousePikUp {
public:
    bool OnMouseDown(TPoint /*point*/) override {
        ++mPresses;
        return true;
    }
    int mPresses = 0;
};

class PowerMeterTest : public TWorldObjectTest {
protected:
    // A meter from the factory, as the level has it before placing; owned by the fixture.
    GMarivellPowerMeter* Make(const std::string& extra = "") {
        std::unique_ptr<TLuaTable> type =
            Table("{ class_name = 'GMarivellPowerMeter', power_max_score = 100, "
                  "power_segments_num = 4, power_to_add = 30, reset_time = 0, "
                  "point_approach = { x = 5, y = -3, z = 1 }" +
                  extra + " }");
        std::unique_ptr<TLuaTable> object = Table("{}");
        auto* meter = dynamic_cast<GMarivellPowerMeter*>(
            GObjectFactory::Instance().CreateObject("meter", type.get(), object.get()));
        if (meter != nullptr) {
            mObjects.emplace_back(meter);
            // What the type script shows, recorded.
            Run(meter, "shown = '' function powerSetProgress(p, m, s) shown = shown .. p .. ',' .. "
                       "m .. ',' .. s .. ';' end");
        }
        return meter;
    }
};

TEST_F(PowerMeterTest, TheFactoryReadsTheTypeTableAndClonesTheDefinition) {
    GMarivellPowerMeter* meter = Make();
    ASSERT_NE(meter, nullptr);
    EXPECT_STREQ(meter->GetClassName(), "GMarivellPowerMeter");
    EXPECT_TRUE(meter->IsKindOf(GMarivellPowerMeter::sClassId));
    EXPECT_TRUE(meter->IsKindOf(GGameObject::sClassId));
    EXPECT_FALSE(GGameObject().IsKindOf(GMarivellPowerMeter::sClassId));
    EXPECT_TRUE(meter->IsEditable());
    EXPECT_FALSE(meter->HasPendingTask(true));
    EXPECT_TRUE(meter->IsLoaded());
    EXPECT_EQ(meter->GetMaxScore(), 100);
    EXPECT_EQ(meter->GetSegments(), 4);
    EXPECT_EQ(meter->GetPowerToAdd(), 30);
    meter->SetPosition(10, 20);
    const TVec2 approach = meter->GetApproachPoint(nullptr);
    EXPECT_FLOAT_EQ(approach.x, 15.0f);
    EXPECT_FLOAT_EQ(approach.y, 17.0f);

    std::unique_ptr<GGameObject> copy(meter->Clone());
    auto* clone = dynamic_cast<GMarivellPowerMeter*>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetMaxScore(), 100);
    EXPECT_EQ(clone->GetPowerToAdd(), 30);
    EXPECT_TRUE(clone->IsLoaded());
    EXPECT_EQ(clone->GetProgress(), 0) << "the progress belongs to the placed meter";
}

TEST_F(PowerMeterTest, ScoreFillsPastTheMaximumOnceAndTheScriptIsTold) {
    GMarivellPowerMeter* meter = Make();
    ASSERT_NE(meter, nullptr);
    meter->AddScore(90);
    meter->AddScore(30);
    EXPECT_EQ(meter->GetProgress(), 120);
    meter->AddScore(30);
    meter->CPP_AddPowerScore();
    EXPECT_EQ(meter->GetProgress(), 120) << "full: further points are ignored";
    EXPECT_EQ(Text(meter, "shown"), "90,100,4;120,100,4;");

    meter->CPP_Reset();
    EXPECT_EQ(meter->GetProgress(), 0);
    meter->CPP_AddPowerScore();
    EXPECT_EQ(meter->GetProgress(), 30);

    // The text the script runs, as the log quotes it when the script lacks the function.
    meter->CPP_Reset();
    Run(meter, "powerSetProgress = nil");
    meter->AddScore(90);
    meter->AddScore(30);
    EXPECT_NE(LogText().find("[string \"powerSetProgress(120, 100, 4);\"]"), std::string::npos)
        << LogText();

    // Points past the int range fill it to the top, not round.
    meter->CPP_Reset();
    meter->AddScore(90);
    meter->AddScore(INT32_MAX);
    EXPECT_EQ(meter->GetProgress(), INT32_MAX);
}

TEST_F(PowerMeterTest, EnablingClickingAndResetting) {
    GMarivellPowerMeter* meter = Make();
    ASSERT_NE(meter, nullptr);
    EXPECT_EQ(meter->CPP_UnChecked(), 0) << "a fresh meter";
    EXPECT_EQ(meter->CheckClick(), 0) << "disabled";
    meter->StartGame();
    meter->CPP_SetEnabled(7);
    EXPECT_TRUE(meter->IsEnabled());
    EXPECT_EQ(meter->CheckClick(), 1);
    EXPECT_FALSE(meter->IsActive());
    meter->StartGame();
    EXPECT_FALSE(meter->IsEnabled()) << "play starts disabled";
    meter->CPP_SetEnabled(1);
    meter->CPP_Reset();
    EXPECT_FALSE(meter->IsEnabled());
}

TEST_F(PowerMeterTest, ItIsNotPlacedWhileTheGameDataDoesNotEnableIt) {
    std::unique_ptr<TLuaTable> type = Table("{ class_name = 'GMarivellPowerMeter' }");
    std::unique_ptr<TLuaTable> object = Table("{}");
    std::unique_ptr<GGameObject> meter(
        GObjectFactory::Instance().CreateObject("meter", type.get(), object.get()));
    ASSERT_NE(meter, nullptr);
    EXPECT_FALSE(meter->InitInLevel(object.get(), nullptr, "", nullptr));
    EXPECT_EQ(Number(meter.get(), "ToInt"), 0) << "its functions are not published either";
}

TEST_F(PowerMeterTest, EditModeGivesTheEditorStrategyWhichThenHasThePress) {
    GMarivellPowerMeter* meter = Make();
    ASSERT_NE(meter, nullptr);
    meter->SetEditMode(true, 1);
    EXPECT_NE(dynamic_cast<GMStr_Edit*>(meter->GetStrategy()), nullptr);
    EXPECT_EQ(meter->GetStrategy()->GetTarget(), meter);
    EXPECT_TRUE(meter->IsMouseEnabled());
    EXPECT_TRUE(meter->OnMouseDown(TPoint{1, 1}));
    meter->SetEditMode(false, 1);
    EXPECT_EQ(meter->GetStrategy(), nullptr);
    meter->CPP_SetEnabled(1);
    EXPECT_TRUE(meter->OnMouseDown(TPoint{1, 1})) << "no visual to hit: nothing happens";
}

TEST_F(PowerMeterTest, APressGoesToTheStrategyWhileDisabledOrWhileItHasOne) {
    GMarivellPowerMeter* meter = Make();
    ASSERT_NE(meter, nullptr);
    GLogicalManager::Instance().SetGameState(2);
    auto* probe = new TPressProbe;
    meter->SetStrategy(probe);
    meter->SetActive(true);
    for (const bool enabled : {false, true}) {
        meter->CPP_SetEnabled(enabled ? 1 : 0);
        EXPECT_TRUE(meter->OnMouseDown(TPoint{1, 1}));
        EXPECT_TRUE(meter->IsActive()) << "the manager did not check a click";
    }
    EXPECT_EQ(probe->mPresses, 2);
    GLogicalManager::Instance().SetGameState(0);
}

} // namespace
