// The contestant girl on fixture levels: her type data, her appearance, the requests of her life
// cycle, the next scene on the same seat, clicks and check marks, the score of scenes and judges
// with its pop-ups, the poise hearts, the numbers, her look and her task times.
#include "game/world/GStudent.h"

#include "game/world/GInDoor.h"
#include "game/world/GMStr_StudentUpgrButton.h"
#include "game/world/GMStr_TargetDrag.h"
#include "game/world/GStudentUpgrade.h"
#include "tests/game/world/girl_fixture.h"

#include <gtest/gtest.h>

namespace {

using world_test::kGirlStage;
using world_test::TFixtureQueue;
using world_test::TGirlTest;

TEST_F(TGirlTest, TypeLoadingReadsTheLifeCycleBaseValuesAndScriptGlobals) {
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    EXPECT_STREQ(anna->GetClassName(), "GStudent");
    EXPECT_TRUE(anna->IsKindOf(GStudent::sClassId));
    EXPECT_TRUE(anna->IsKindOf(GGameObject::sClassId));
    EXPECT_FALSE(anna->IsKindOf(GStudentUpgrade::sClassId));
    EXPECT_TRUE(anna->IsStudent());

    // Only the strings of the life cycle, in order; "judging_a" is a judging scene, the bare
    // prefix "judging_" is not.
    EXPECT_EQ(anna->GetLifeCycle(), (std::vector<str>{"makeup", "hair", "judging_a", "judging_"}));
    EXPECT_EQ(anna->GetJudgingSceneCount(), 1);
    EXPECT_EQ(Girl("bella")->GetJudgingSceneCount(), 0);
    EXPECT_EQ(Level()->GetJudgingsPending(), 1) << "the level adds every girl's judging scenes";
    EXPECT_STREQ(anna->GetCname().CStr(), "Anna");
    EXPECT_STREQ(Girl("bella")->GetCname().CStr(), "");

    // The level's extension: the start poise is capped by the maximum; only positive base times
    // time their tasks.
    EXPECT_EQ(anna->GetPoiseMaximum(), 10);
    EXPECT_EQ(anna->GetStartPoise(), 10);
    EXPECT_EQ(anna->GetRequestTime(), 300);
    EXPECT_EQ(anna->GetTaskTime("makeup"), 500);
    EXPECT_EQ(anna->GetTaskTime("podium"), 700);
    EXPECT_EQ(anna->GetTaskTime("hairstyle"), 100) << "a negative base time leaves the task";
    const struct {
        const char* key;
        double value;
    } base[] = {
        {"base_request_time", 300}, {"base_hairstyle_time", -1}, {"base_accessories_time", 0},
        {"base_change_time", 0},    {"base_judging_time", 700},  {"base_makeup_time", 500},
        {"base_mask_time", 0},      {"base_manicure_time", 0},   {"base_stat_poise", 3},
        {"base_poise", 10},         {"base_restore_poise", 2},   {"base_start_poise", 10}};
    for (const auto& entry : base) {
        Run(anna, std::string("probe = BaseType.") + entry.key);
        EXPECT_EQ(Number(anna, "probe"), entry.value) << entry.key;
    }
    EXPECT_EQ(Log(anna), "after_load 10;") << "the scene scores went in before OnAfterLoad";

    // The countdowns: never negative.
    EXPECT_TRUE(anna->IsFirstAppearance());
    EXPECT_FALSE(anna->HasAppeared());
    EXPECT_EQ(anna->GetPoiseLevel(), -1);

    // The look of her type, and the level's copy of it.
    const GLookNumbers& look = anna->GetLookNumbers();
    EXPECT_EQ(look.mHead, 2);
    EXPECT_EQ(look.mHair, 3);
    EXPECT_EQ(look.mHairBase, 3);
    EXPECT_EQ(look.mDress, 4);
    EXPECT_EQ(look.mMakeup, 100) << "the default of the style numbers";
    EXPECT_EQ(look.mMask, 100);
    EXPECT_EQ(look.mBody, 0);
    const GGirlLook& stored = Level()->GetGirlLooks().at("anna");
    EXPECT_EQ(stored.mNumbers.mHair, 3);
    EXPECT_STREQ(stored.mType.CStr(), "girl");
    EXPECT_STREQ(stored.mName.CStr(), "anna");

    // A clone keeps the type's values and starts without a cry lock.
    anna->SetCryLock(1);
    std::unique_ptr<GGameObject> copy(anna->Clone());
    auto* clone = dynamic_cast<GStudent*>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetPoiseMaximum(), 10);
    EXPECT_EQ(clone->GetLookNumbers().mHair, 3);
    EXPECT_EQ(clone->GetCryLock(), 0);
}

TEST_F(TGirlTest, TheFirstAppearanceWaitsTakesTheFirstFreeQueueAndOpensTheDoorOnce) {
    ASSERT_TRUE(StartGirls());
    GLogicalManager& manager = GLogicalManager::Instance();
    TFixtureQueue taken;
    TFixtureQueue first;
    TFixtureQueue second;
    GGameObject other;
    taken.mOccupant = &other;
    for (TFixtureQueue* queue : {&taken, &first, &second}) {
        manager.RegisterObject(queue);
    }
    GInDoor door;
    manager.RegisterObject(&door);
    GStudent* anna = Girl("anna");
    ASSERT_NE(anna, nullptr);

    // 250 ms in ticks of 100.
    EXPECT_EQ(anna->CPP_CheckTimeAppearence(), 0);
    EXPECT_EQ(anna->CPP_CheckTimeAppearence(), 0);
    EXPECT_EQ(first.GetOccupant(), nullptr);
    EXPECT_EQ(anna->CPP_CheckTimeAppearence(), 1);
    EXPECT_EQ(first.GetOccupant(), anna) << "the first queue without an occupant";
    EXPECT_EQ(anna->GetHolder(), &first);
    EXPECT_EQ(Number(anna, "check_request"), 1.0);
    EXPECT_TRUE(anna->HasAppeared());
    EXPECT_FALSE(anna->IsFirstAppearance());
    EXPECT_EQ(anna->CPP_CheckTimeAppearence(), 2) << "already in play";
    EXPECT_EQ(anna->ChangePoisePower(2), 1);
    EXPECT_NE(Log(anna).find("power 2;"), std::string::npos);
    EXPECT_EQ(mGirlHooks.calls, std::vector<std::string>{"appeared anna"});

    // Back through the pre-queue, a later appearance neither tells the tutorial nor opens.
    mGirlHooks.calls.clear();
    anna->SetHolder(nullptr);
    first.mOccupant = nullptr;
    EXPECT_EQ(anna->ReturnToPreQueue(), 1);
    EXPECT_EQ(anna->CPP_CheckTimeAppearence(), 1) << "the negative countdown was read as 0";
    EXPECT_EQ(mGirlHooks.calls, std::vector<std::string>{"forget anna"});
    manager.ResetLevel();
}

TEST_F(TGirlTest, NoFreeQueueKeepsHerWaiting) {
    GStudent* bella = Placed("bella");
    ASSERT_NE(bella, nullptr);
    EXPECT_EQ(bella->CPP_CheckTimeAppearence(), 0) << "no queue at all";
    EXPECT_FALSE(bella->HasAppeared());
    EXPECT_TRUE(bella->IsFirstAppearance());
}

TEST_F(TGirlTest, RequestsFollowTheLifeCycleAndTheDesireShowsTheFirstScene) {
    GStudent* anna = Playing("anna");
    ASSERT_NE(anna, nullptr);
    EXPECT_EQ(Log(anna), "after_load 10;start;");
    EXPECT_EQ(anna->GetLifeIndex(), 0);

    // The countdown runs from 0: the first tick asks for the first scene.
    EXPECT_EQ(anna->CPP_CheckTimeRequest(), 0);
    EXPECT_EQ(anna->GetScenes(), std::vector<str>{"makeup"});
    EXPECT_EQ(Shown(anna->GetVisual()), "makeup_icon");
    EXPECT_EQ(Number(anna, "poise_on"), 1.0);
    EXPECT_EQ(mGirlHooks.calls, std::vector<std::string>{"wish anna makeup"});
    EXPECT_EQ(anna->RequestScene("makeup", true), 0) << "already asked";
    EXPECT_EQ(anna->RequestScene("podium", true), -1) << "not a scene of hers";

    // The scene ends: the next request waits the request time (300 ms, three ticks).
    anna->RemoveScene("makeup", false);
    EXPECT_EQ(Shown(anna->GetVisual()), "desire_hide");
    anna->Unblock("makeup");
    EXPECT_EQ(anna->GetLifeIndex(), 1);
    EXPECT_EQ(anna->GetRequestCountdown(), 300);
    EXPECT_EQ(Number(anna, "check_request"), 1.0);
    EXPECT_EQ(anna->CPP_CheckTimeRequest(), 1);
    EXPECT_EQ(anna->CPP_CheckTimeRequest(), 1);
    EXPECT_EQ(anna->CPP_CheckTimeRequest(), 0);
    EXPECT_EQ(anna->GetScenes(), std::vector<str>{"hair"});
    EXPECT_EQ(Shown(anna->GetVisual()), "hair_icon");

    // Unblocking for an empty or unknown scene does not advance.
    anna->Unblock("");
    anna->Unblock("podium");
    EXPECT_EQ(anna->GetLifeIndex(), 1);

    // Leaving the level, she asks for nothing more.
    anna->CPP_WantDestroy();
    EXPECT_EQ(anna->RequestScene("judging_a", true), 0);
}

TEST_F(TGirlTest, ARequestTimeShorterThanATickAsksAtOnce) {
    GStudent* anna = StartAnnaWith("base_request_time = 300", "base_request_time = -40");
    ASSERT_NE(anna, nullptr);
    EXPECT_EQ(anna->GetRequestTime(), 0) << "a negative request time is 0";
    anna->StartGame();
    anna->Unblock("makeup");
    EXPECT_EQ(anna->GetScenes(), std::vector<str>{"hair"});
    EXPECT_EQ(anna->GetRequestCountdown(), 0);
}

TEST_F(TGirlTest, ReturnToPreQueueInsideAndPastTheLifeCycle) {
    GStudent* bella = Playing("bella");
    ASSERT_NE(bella, nullptr);
    EXPECT_EQ(bella->ReturnToPreQueue(), 0) << "her life cycle has one entry";
    EXPECT_EQ(bella->GetLifeIndex(), 1);
    EXPECT_EQ(Number(bella, "check_appearence"), 0.0);
    EXPECT_FALSE(bella->HasAppeared());

    GStudent* anna = Girl("anna");
    anna->StartGame();
    EXPECT_EQ(anna->ReturnToPreQueue(), 1);
    EXPECT_EQ(anna->GetLifeIndex(), 1);
    EXPECT_EQ(anna->GetRequestCountdown(), 300);
    EXPECT_EQ(Number(anna, "check_appearence"), 1.0);
    EXPECT_NE(Log(anna).find("prequeue;"), std::string::npos);
    EXPECT_EQ(mGirlHooks.calls, (std::vector<std::string>{"forget bella", "forget anna"}));
}

TEST_F(TGirlTest, CheckClickMarksHerOnceAndTheCryLockAnswers) {
    GStudent* anna = Playing("anna");
    ASSERT_NE(anna, nullptr);
    GVObject* check = Part(anna, "check_obj");

    // Not allowed to be touched up (no heroine on this level) and no cry lock: refused.
    anna->CPP_SetCanTouchUp(1);
    EXPECT_EQ(anna->CheckClick(), -1);
    EXPECT_TRUE(anna->IsActive());
    EXPECT_EQ(anna->GetCheckCounter(), 0);

    // Crying, she may be clicked: 0 (no touch-up), with the check mark.
    anna->SetCryLock(1);
    EXPECT_EQ(Number(anna, "cry_lock"), 1.0);
    EXPECT_EQ(anna->CheckClick(), 0);
    EXPECT_FALSE(anna->IsActive());
    EXPECT_EQ(anna->GetCheckCounter(), 1);
    EXPECT_EQ(anna->GetTouchUpAllowed(), 0);
    EXPECT_EQ(Shown(check), "check_on");

    // With a check mark every click is refused and changes nothing.
    anna->SetActive(true);
    EXPECT_EQ(anna->CheckClick(), -1);
    EXPECT_TRUE(anna->IsActive());
    EXPECT_EQ(anna->GetCheckCounter(), 1);

    // On a holder her script names the check state from the holder's base type ("girl" here);
    // at 0 it hides; never below 0.
    anna->SetHolder(Girl("bella"));
    EXPECT_EQ(anna->ModifyCheck(1), 2);
    EXPECT_EQ(Shown(check), "check_girl");
    EXPECT_EQ(anna->ModifyCheck(-5), 0);
    EXPECT_EQ(Shown(check), "check_hide");
    anna->SetCryLock(0);
    EXPECT_EQ(Number(anna, "cry_lock"), 0.0);
    anna->SetHolder(nullptr);
}

TEST_F(TGirlTest, AnUndoneClickGivesBackWhatTheClickTook) {
    GStudent* anna = Playing("anna");
    ASSERT_NE(anna, nullptr);
    anna->SetCryLock(1);
    ASSERT_EQ(anna->CheckClick(), 0);
    anna->UndoClick();
    EXPECT_EQ(anna->GetCheckCounter(), 0);
    EXPECT_TRUE(anna->IsActive());
    EXPECT_EQ(Shown(Part(anna, "check_obj")), "check_hide");
    EXPECT_EQ(anna->CheckClick(), 0) << "she can be clicked again";
}

TEST_F(TGirlTest, TheNextSceneOnTheSameSeatBeforeAndAfterTheTriggerSceneEnds) {
    GStudent* anna = Playing("anna");
    ASSERT_NE(anna, nullptr);
    EXPECT_EQ(anna->CPP_CheckNextSceneOnThisSeat(), 0) << "no holder";
    EXPECT_EQ(anna->CPP_IsNextSceneSeat(), 0);

    // A holder that does not know her next scene ("hair") sets no trigger; one that knows it
    // (another girl of her type will do) makes her current life-cycle entry the trigger.
    TFixtureQueue seat;
    anna->SetHolder(&seat);
    EXPECT_EQ(anna->CPP_CheckNextSceneOnThisSeat(), 1);
    EXPECT_EQ(anna->CPP_IsNextSceneSeat(), 0);
    anna->SetHolder(Girl("bella"));
    EXPECT_EQ(anna->CPP_CheckNextSceneOnThisSeat(), 1);
    EXPECT_EQ(anna->CPP_IsNextSceneSeat(), 1);
    EXPECT_STREQ(anna->GetNextSceneTrigger().CStr(), "makeup");
    // While a trigger is set she may not be touched up.
    anna->CPP_SetCanTouchUp(1);
    EXPECT_EQ(anna->GetTouchUpAllowed(), 0);

    // Request first, then the trigger scene ends: no scene "hair" exists, so she stays, and the
    // record is cleared.
    EXPECT_EQ(anna->RequestScene("hair", false), 1);
    EXPECT_STREQ(anna->GetNextSceneTarget().CStr(), "hair");
    anna->OnSceneEnd("makeup");
    EXPECT_STREQ(anna->GetNextSceneTrigger().CStr(), "");
    EXPECT_STREQ(anna->GetNextSceneTarget().CStr(), "");

    // Trigger scene ends first: the request then goes at once and clears the record.
    anna->RemoveScene("hair", false);
    EXPECT_EQ(anna->CPP_CheckNextSceneOnThisSeat(), 1);
    anna->OnSceneEnd("makeup");
    EXPECT_EQ(anna->GetTriggerEnded(), 1);
    EXPECT_EQ(anna->RequestScene("hair", false), 1);
    EXPECT_EQ(anna->GetTriggerEnded(), 0);
    EXPECT_STREQ(anna->GetNextSceneTrigger().CStr(), "");
    anna->SetHolder(nullptr);
}

TEST_F(TGirlTest, ASceneScoreWithACombo) {
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    Run(anna, "scores = { makeup = 10, hair = -4 }");
    mGirlHooks.calls.clear();
    anna->SetCombo(2, "pair");
    anna->OnSceneEnd("makeup");
    EXPECT_EQ(Level()->GetScore(), 30) << "10 and the combo bonus of 10 x 2";
    EXPECT_EQ(Level()->GetComboBonus(), 20);
    EXPECT_EQ(anna->GetScoreTotal(), 30);
    EXPECT_EQ(anna->GetComboCount(), 0);
    EXPECT_EQ(Level()->GetGirlLooks().at("anna").mScore, 30);
    // Her position (100, 200), her score delta (5, -10), the anchor (0, 0) raised by 20.
    ASSERT_EQ(mGirlHooks.calls.size(), 1U);
    EXPECT_EQ(mGirlHooks.calls[0],
              "label '<font size= \"20\"><b>##### x 3</b></font><br>30' 2 105,170 30")
        << "the combo label through the string table, which has no such text here";

    // Without a combo; a negative score lowers the level's score.
    mGirlHooks.calls.clear();
    anna->OnSceneEnd("hair");
    EXPECT_EQ(Level()->GetScore(), 26);
    EXPECT_EQ(anna->GetScoreTotal(), 26);
    EXPECT_EQ(mGirlHooks.calls, std::vector<std::string>{"label '-4' 1 105,150 -4"});

    // No score: nothing at all.
    mGirlHooks.calls.clear();
    anna->OnSceneEnd("judging_a");
    EXPECT_EQ(Level()->GetScore(), 26);
    EXPECT_TRUE(mGirlHooks.calls.empty());
}

TEST_F(TGirlTest, HugeScoresHoldAtTheLargestInt) {
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    Run(anna, "scores = { makeup = 2000000000 }");
    anna->SetCombo(3, "pair");
    anna->OnSceneEnd("makeup");
    EXPECT_EQ(anna->GetScoreTotal(), INT32_MAX);
    EXPECT_EQ(Level()->GetComboBonus(), INT32_MAX);
    anna->OnSceneEnd("makeup");
    EXPECT_EQ(anna->GetScoreTotal(), INT32_MAX);
    EXPECT_EQ(Level()->GetScore(), INT32_MAX);
    EXPECT_EQ(anna->ModifyCheck(INT32_MAX), INT32_MAX);
    EXPECT_EQ(anna->ModifyCheck(1), INT32_MAX);
}

TEST_F(TGirlTest, JudgesPointsFlyTheWhiteScoreText) {
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    Run(anna, "offset_X = 7");
    mGirlHooks.calls.clear();
    // A negative judges' flag: the white score text without the judges' reaction (no judging
    // scene here).
    anna->CPP_AddFlyScore(12, -1);
    EXPECT_EQ(Level()->GetScore(), 12);
    EXPECT_EQ(anna->GetScoreTotal(), 12);
    // (100 + 5 + 0 - 25, 200 - 10 + 0 - 107): the offsets were read when she was placed.
    EXPECT_EQ(mGirlHooks.calls, std::vector<std::string>{"white ': 12' 80,83 0"});

    mGirlHooks.calls.clear();
    anna->CPP_AddFlyScore(-5, 0);
    EXPECT_EQ(Level()->GetScore(), 7);
    EXPECT_EQ(mGirlHooks.calls, std::vector<std::string>{"label '-5' 1 105,150 -5"});
    mGirlHooks.calls.clear();
    anna->CPP_AddFlyScore(0, 1);
    EXPECT_TRUE(mGirlHooks.calls.empty());
}

TEST_F(TGirlTest, PoiseHeartsByLevel) {
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    struct Case {
        int poise;
        int level;
        std::vector<std::string> hearts;
    };
    // Maximum 10: level = poise + 1, clamped to 1 .. 11.
    const Case cases[] = {
        {0, 1, {"poise_0_1_l_b", "poise_1_0", "poise_2_0", "poise_3_0", "poise_4_0"}},
        {3, 4, {"poise_0_2", "poise_1_2_l_b", "poise_2_0", "poise_3_0", "poise_4_0"}},
        {4, 5, {"poise_0_2", "poise_1_2", "poise_2_1_l", "poise_3_0", "poise_4_0"}},
        {9, 10, {"poise_0_2", "poise_1_2", "poise_2_2", "poise_3_2", "poise_4_2_l"}},
        {10, 11, {"poise_0_2", "poise_1_2", "poise_2_2", "poise_3_2", "poise_4_2"}},
        {99, 11, {"poise_0_2", "poise_1_2", "poise_2_2", "poise_3_2", "poise_4_2"}},
        {-3, 1, {"poise_0_1_l_b", "poise_1_0", "poise_2_0", "poise_3_0", "poise_4_0"}},
    };
    for (const Case& c : cases) {
        anna->CPP_SetPoiseOn(0);
        Run(anna, "current_poise = " + std::to_string(c.poise));
        anna->CPP_SetPoiseOn(1);
        EXPECT_EQ(anna->GetPoiseLevel(), c.level) << c.poise;
        for (int i = 0; i < 5; ++i) {
            const std::string heart = "heart" + std::to_string(i);
            EXPECT_EQ(Queued(Part(anna, heart.c_str())), c.hearts[static_cast<size_t>(i)])
                << "poise " << c.poise << ", " << heart;
        }
    }
}

TEST_F(TGirlTest, PoiseChangesBurstOnTheWayDownAndGlowOnTheWayUp) {
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    anna->CPP_PoiseChange(6);
    EXPECT_EQ(anna->GetPoiseLevel(), 7);
    EXPECT_EQ(Queued(Part(anna, "burst3")), "") << "nothing was shown before";
    anna->CPP_PoiseChange(5);
    EXPECT_EQ(Queued(Part(anna, "burst3")), "poise_3_0_expl") << "down to level 6";
    anna->CPP_PoiseChange(4);
    EXPECT_EQ(Queued(Part(anna, "burst2")), "") << "an odd level does not burst";
    anna->CPP_PoiseChange(7);
    EXPECT_EQ(Queued(Part(anna, "plus")), "poise_plus") << "up to level 8";
    anna->CPP_PoiseChange(7);
    EXPECT_EQ(anna->GetPoiseLevel(), 8) << "the same level shows nothing new";
}

TEST_F(TGirlTest, APoiseMaximumOfZeroShowsTheLowestLevel) {
    GStudent* anna = StartAnnaWith("base_poise = 10", "base_poise = 0");
    ASSERT_NE(anna, nullptr);
    EXPECT_EQ(anna->GetStartPoise(), 0) << "capped by the maximum";
    anna->CPP_PoiseChange(5);
    EXPECT_EQ(anna->GetPoiseLevel(), 1);
    EXPECT_EQ(Queued(Part(anna, "heart0")), "poise_0_1_l_b");
}

TEST_F(TGirlTest, NumbersShowTwoDigits) {
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    GVObject* first = Part(anna, "number1");
    GVObject* second = Part(anna, "number2");
    const struct {
        int number;
        const char* first;
        const char* second;
    } cases[] = {{150, "value_9", "value_9"},       {99, "value_9", "value_9"},
                 {42, "value_4", "value_2"},        {10, "value_1", "value_0"},
                 {7, "hide_number", "value_7"},     {0, "hide_number", "hide_number"},
                 {-3, "hide_number", "hide_number"}};
    for (const auto& c : cases) {
        EXPECT_EQ(anna->ShowNumber(c.number), 1);
        EXPECT_EQ(Shown(first), c.first) << c.number;
        EXPECT_EQ(Shown(second), c.second) << c.number;
    }
    // 15 above where the check mark shows (her place (100, 200) and its own offset (6, -20)),
    // the second digit 10 to the right of the first, both shown.
    EXPECT_FLOAT_EQ(first->mDeltaX, 106.0f);
    EXPECT_FLOAT_EQ(first->mDeltaY, 165.0f);
    EXPECT_FLOAT_EQ(second->mDeltaX, 116.0f);
    EXPECT_FLOAT_EQ(second->mDeltaY, 165.0f);
    EXPECT_EQ(first->mVisible, 1);
}

TEST_F(TGirlTest, SetLookStateSetsItsFiveStatesInOrder) {
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    GVObject* hair = Part(anna, "hair");
    anna->SetLookState("stay");
    EXPECT_EQ(Shown(anna->GetVisual()), "stay");
    EXPECT_EQ(Shown(Part(anna, "dress")), "dress_stay_4");
    EXPECT_EQ(Shown(Part(anna, "acc")), "accesories_0");
    EXPECT_EQ(Shown(hair), "stay") << "the name again, after 'hair_stay_3'";
    anna->SetLookState("girl_invisible");
    EXPECT_EQ(Shown(hair), "hair_girl_invisible_3") << "no name again for the invisible looks";

    anna->CPP_ApplyHair(5);
    anna->CPP_ApplyMakeup(6);
    anna->CPP_ApplyMask(7);
    anna->CPP_ApplyManicure(8);
    EXPECT_EQ(anna->GetLookNumbers().mHair, 5);
    EXPECT_EQ(anna->GetLookNumbers().mManicure, 8);
    anna->CPP_ResetToBaseStyle();
    EXPECT_EQ(anna->GetLookNumbers().mHair, 3);
    EXPECT_EQ(anna->GetLookNumbers().mMakeup, 100);
    EXPECT_EQ(anna->GetLookNumbers().mManicure, 100);
    GGirlLook look;
    anna->GetLook(look);
    EXPECT_EQ(look.mNumbers.mHead, 2);
    look.Clear();
    EXPECT_EQ(look.mNumbers.mHead, 0);
}

TEST_F(TGirlTest, TaskTimesFromTheScriptAndTheUpgrades) {
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    // The script names the real task and its base time (200 ms).
    EXPECT_EQ(anna->ScaleTaskTime("makeup", 1.5f, 1), 75) << "300 ms over 4 ticks";
    EXPECT_EQ(anna->GetTaskTime("real_makeup"), 300);
    EXPECT_EQ(anna->ScaleTaskTime("makeup", 1.5f, 0), 0) << "no base time without mode 1";
    EXPECT_EQ(static_cast<GGameObject*>(anna)->ScaleTaskTime("makeup", 0.5f), 25)
        << "a seat's call through the object";

    anna->SetTaskTime("makeup", 100);
    anna->ApplyBaseType("makeup");
    EXPECT_EQ(anna->GetTaskTime("makeup"), 500);
    anna->SetTaskTime("hairstyle", 100);
    anna->ApplyBaseType("hairstyle");
    EXPECT_EQ(anna->GetTaskTime("hairstyle"), 100) << "a base time of -1 restores nothing";

    struct Case {
        bool hair;
        bool makeup;
        bool poise;
        int hairTime;
        int makeupTime;
        double statPoise;
    };
    GUpgradeData half;
    half.mValue = 0.5;
    GUpgradeData tiny;
    tiny.mValue = 0.01;
    // Hair from -1 stays at the 30 ms floor; make-up 500 halves each time (the task keeps whole ms
    // per tick of its 10: 125 runs 120); stat poise 3 halves to 1.
    const Case cases[] = {
        {false, false, true, 100, 500, 1},
        {true, true, false, 30, 250, 1},
        {true, true, true, 30, 120, 1},
    };
    anna->SetTaskTime("hairstyle", 100);
    for (const Case& c : cases) {
        anna->ApplyUpgrades(c.hair ? &tiny : nullptr, c.makeup ? &half : nullptr,
                            c.poise ? &half : nullptr);
        EXPECT_EQ(anna->GetTaskTime("hairstyle"), c.hairTime);
        EXPECT_EQ(anna->GetTaskTime("makeup"), c.makeupTime);
        Run(anna, "probe = BaseType.base_stat_poise");
        EXPECT_EQ(Number(anna, "probe"), c.statPoise);
    }
    Run(anna, "probe = BaseType.base_makeup_time");
    EXPECT_EQ(Number(anna, "probe"), 125.0) << "the script keeps the upgraded time";
    anna->ApplyUpgrades(nullptr, nullptr, nullptr);
    EXPECT_EQ(anna->GetTaskTime("makeup"), 120);
}

TEST_F(TGirlTest, TheBoughtGirlUpgradesApplyWhenTheUpgradePhaseEnds) {
    WriteGameData(R"(
Upgrades = { objects = {
  { name = 'upgr_student_1', girl_base_type = 'girl', { level = 1, value = 0.2 } },
  { name = 'upgr_student_1_1', girl_base_type = 'girl', { level = 1, value = 0.5 } },
} }
)");
    Main("gUpgradeIndex = { upgr_student_1_1 = 1 }");
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    ASSERT_EQ(anna->GetTaskTime("makeup"), 500);
    Level()->EndUpgradePhase();
    // Only the make-up upgrade was bought: every girl of the type has her make-up halved.
    EXPECT_EQ(anna->GetTaskTime("makeup"), 250);
    EXPECT_EQ(Girl("bella")->GetTaskTime("makeup"), 250);
    EXPECT_EQ(anna->GetTaskTime("hairstyle"), 100);
}

TEST_F(TGirlTest, ScriptCallsOfTheScenesAndTheManager) {
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    Run(anna, "calls = ''");
    EXPECT_EQ(anna->AddPoise(3), 1);
    EXPECT_EQ(anna->ChangePoisePower(2), 0) << "before her first appearance";
    anna->TakePacifier("pacifier", 4);
    anna->SetPacifierPoise("pacifier", 6);
    EXPECT_EQ(Number(anna, "pacifier_poise"), 6.0);
    EXPECT_EQ(Log(anna), "poise 3;pacifier 4;");

    // Leaving a scene she forgets it; without keep her number goes.
    anna->RequestScene("hair", false);
    anna->ShowNumber(5);
    anna->LeaveScene("hair", true);
    EXPECT_TRUE(anna->GetScenes().empty());
    EXPECT_EQ(Shown(Part(anna, "number2")), "value_5");
    anna->LeaveScene("hair", false);
    EXPECT_EQ(Shown(Part(anna, "number2")), "hide_number");

    // Blocked for the pacifier: the scene goes, she stops.
    anna->StartGame();
    anna->RequestScene("makeup", false);
    anna->BlockForPacifier("makeup");
    EXPECT_TRUE(anna->GetScenes().empty());
    EXPECT_TRUE(anna->IsBlocked());
    EXPECT_FALSE(anna->IsActive());
    EXPECT_FALSE(anna->HasPendingTask(false));
    anna->Unblock("");
    anna->RequestScene("makeup", false);
    EXPECT_TRUE(anna->HasPendingTask(false));
    EXPECT_FALSE(anna->HasPendingTask(true));
    anna->SetLocked(true);
    EXPECT_FALSE(anna->HasPendingTask(false));
}

TEST_F(TGirlTest, TheStrategyModeSuspendsHerPoiseTrigger) {
    GStudent* anna = StartAnnaWith("triggers = { delay = 100 }",
                                   "triggers = { delay = 100, { func_name = 'PoiseTrigger' } }");
    ASSERT_NE(anna, nullptr);
    anna->StartGame();
    anna->OnTimer();
    EXPECT_EQ(Number(anna, "poiseTicks"), 1.0);
    anna->SetStrategyMode(true);
    anna->OnTimer();
    EXPECT_EQ(Number(anna, "poiseTicks"), 1.0) << "suspended";
    anna->SetStrategyMode(false);
    anna->OnTimer();
    EXPECT_EQ(Number(anna, "poiseTicks"), 2.0);
}

TEST_F(TGirlTest, SendMessageOfKindOneLocksAGirlCrying) {
    GStudent* anna = Placed("anna");
    ASSERT_NE(anna, nullptr);
    GLogicalManager& manager = GLogicalManager::Instance();
    EXPECT_EQ(manager.CPP_SendMessageToObject(0, 1, "cry"), 0) << "no current scene";
    EXPECT_EQ(anna->GetCryLock(), 0);
}

TEST_F(TGirlTest, StudentUpgradesLeaveWhenPlayStarts) {
    const std::string stage = std::string(kGirlStage) + R"(
LevelData.upgrades = { BaseType = 'utypes', BaseData = 'udata',
  gloss = { included = true, base_type = 'upgr' } }
Objects.utypes = { upgr = { class_name = 'GStudentUpgrade', base_type = 'upgr' } }
Objects.udata = { gloss = { name = 'gloss', base_type = 'upgr' } }
)";
    ASSERT_TRUE(StartGirls(stage));
    GStudentUpgrade* upgrade = nullptr;
    for (GGameObject* object : Level()->GetObjects()) {
        upgrade = upgrade != nullptr ? upgrade : dynamic_cast<GStudentUpgrade*>(object);
    }
    ASSERT_NE(upgrade, nullptr);
    EXPECT_STREQ(upgrade->GetClassName(), "GStudentUpgrade");
    upgrade->EnterUpgradeMode(1);
    EXPECT_NE(dynamic_cast<GMStr_StudentUpgrButton*>(upgrade->GetStrategy()), nullptr);
    EXPECT_TRUE(upgrade->IsMouseEnabled());
    const int level = upgrade->GetUpgradeLevel();
    upgrade->Upgrade();
    EXPECT_EQ(upgrade->GetUpgradeLevel(), level + 1);
    EXPECT_EQ(upgrade->GetStrategy(), nullptr);
    const int before = Level()->GetObjectCount();
    Level()->EndUpgradePhase();
    EXPECT_EQ(Level()->GetObjectCount(), before - 1) << "it asked to leave";
    // The girls stay and get their drag strategy.
    ASSERT_NE(Girl("anna"), nullptr);
    EXPECT_NE(dynamic_cast<GMStr_TargetDrag*>(Girl("anna")->GetStrategy()), nullptr);
}

} // namespace
