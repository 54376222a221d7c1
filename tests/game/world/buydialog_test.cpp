// The buy dialog in the main window script: the text it runs for an object's offered upgrade, a
// base type with a quote in it, and the answer that buys, shows the money and saves, or not.
#include "game/world/GLogicalManager.h"
#include "tests/game/world/mousestrategy_fixture.h"
#include "tests/game/world/progress_fixture.h"

#include <gtest/gtest.h>

namespace world_test {
namespace {

class BuyDialog : public TProgressTest {
protected:
    void SetUp() override {
        TProgressTest::SetUp();
        CreateUserManager(mRandom);
        GetUserManager()->CreateNewUser("Ann");
        mInfo->Load();
        Run("gGlobalPlayerInfo.money = 500\n"
            "function DoModal(file) modal_calls = (modal_calls or 0) + 1; modal_file = file end");
        GLogicalManager::Instance().SetHooks(&mHooks);
        mTypes.Init();
    }

    void TearDown() override {
        GLogicalManager::Instance().CPP_EndBuyDialog(false);
        GLogicalManager::Instance().SetHooks(nullptr);
        TProgressTest::TearDown();
    }

    // An object of the base type offering upgrade level 0 for 120.
    std::unique_ptr<GGameObject> Offer(const char* baseType) {
        lua_State* state = mTypes.GetState();
        lua_newtable(state);
        lua_pushstring(state, "base_type");
        lua_pushstring(state, baseType);
        lua_settable(state, -3);
        TLuaTable type(state);
        auto object = std::make_unique<GGameObject>();
        EXPECT_TRUE(object->InitFromTable(&type, nullptr));
        GUpgradeData& data = object->GetUpgradeData();
        data.mPrice = 120;
        data.mOwnerName = "tub";
        return object;
    }

    bool Check(const char* expression) {
        Run((std::string("checked = ") + expression).c_str());
        return Bool("checked");
    }

    TScript mTypes;
    TRecordingHooks mHooks;
};

TEST_F(BuyDialog, TextNamesTheUpgradeAsLiterals) {
    EXPECT_STREQ(GLogicalManager::BuyDialogText(120, "X_0").CStr(),
                 "price = { cost = 120 };upgrade_description = 'X_0_descript';"
                 "upgrade_name = 'X_0_name';buy_image = 'selector/buy_preview/buy_X_0.png'"
                 "DoModal('scripts/buy.lua');");
    EXPECT_STREQ(
        GLogicalManager::BuyDialogText(-5, "it's_2").CStr(),
        "price = { cost = -5 };upgrade_description = 'it\\'s_2_descript';"
        "upgrade_name = 'it\\'s_2_name';buy_image = 'selector/buy_preview/buy_it\\'s_2.png'"
        "DoModal('scripts/buy.lua');");
}

TEST_F(BuyDialog, RunsTheBuyTextForTheOfferedUpgradeOnce) {
    GLogicalManager& manager = GLogicalManager::Instance();
    std::unique_ptr<GGameObject> object = Offer("X");
    manager.RunBuyDialog(object.get());
    EXPECT_EQ(manager.GetPendingUpgrade(), object.get());
    EXPECT_EQ(Number("modal_calls"), 1);
    EXPECT_TRUE(Check("price.cost == 120 and upgrade_description == 'X_0_descript' and "
                      "upgrade_name == 'X_0_name' and "
                      "buy_image == 'selector/buy_preview/buy_X_0.png' and "
                      "modal_file == 'scripts/buy.lua'"));

    // A quote stays inside the names.
    std::unique_ptr<GGameObject> quoted = Offer("O'Neil\\'); modal_calls = 10; --");
    manager.RunBuyDialog(quoted.get());
    EXPECT_EQ(manager.GetPendingUpgrade(), quoted.get());
    EXPECT_EQ(Number("modal_calls"), 2);
    EXPECT_TRUE(Check("upgrade_name == \"O'Neil\\\\'); modal_calls = 10; --_0_name\""));

    // Nothing for a link that is no game object.
    manager.RunBuyDialog(nullptr);
    EXPECT_EQ(manager.GetPendingUpgrade(), quoted.get());
    EXPECT_EQ(Number("modal_calls"), 2);
}

TEST_F(BuyDialog, AnswerBuysShowsTheMoneyAndSavesOrOnlyForgets) {
    GLogicalManager& manager = GLogicalManager::Instance();
    std::unique_ptr<GGameObject> object = Offer("X");
    manager.RunBuyDialog(object.get());
    manager.CPP_EndBuyDialog(false);
    EXPECT_EQ(manager.GetPendingUpgrade(), nullptr);
    EXPECT_EQ(object->GetUpgradeLevel(), 0);
    EXPECT_EQ(mHooks.mMoney, std::vector<int>{});

    // Without a current level the purchase is not booked, and the money stays as it is.
    EXPECT_EQ(Stored("gGlobalPlayerInfo", 0).find("money=500"), std::string::npos);
    manager.RunBuyDialog(object.get());
    manager.CPP_EndBuyDialog(true);
    EXPECT_EQ(manager.GetPendingUpgrade(), nullptr);
    EXPECT_EQ(object->GetUpgradeLevel(), 1);
    EXPECT_EQ(mHooks.mMoney, std::vector<int>{500});
    EXPECT_NE(Stored("gGlobalPlayerInfo", 0).find("money=500"), std::string::npos) << "saved";

    // With none pending an answer changes nothing.
    manager.CPP_EndBuyDialog(true);
    EXPECT_EQ(object->GetUpgradeLevel(), 1);
    EXPECT_EQ(mHooks.mMoney, std::vector<int>{500});
}

TEST_F(BuyDialog, AnObjectThatLeavesPlayIsBoughtNothingWhenTheDialogEnds) {
    GLogicalManager& manager = GLogicalManager::Instance();
    std::unique_ptr<GGameObject> object = Offer("X");
    manager.RunBuyDialog(object.get());
    manager.UnregisterObject(object.get());
    EXPECT_EQ(manager.GetPendingUpgrade(), nullptr);
    object.reset();
    // The answer reaches no freed object (ASan).
    manager.CPP_EndBuyDialog(true);
    EXPECT_EQ(mHooks.mMoney, std::vector<int>{});
}

} // namespace
} // namespace world_test
