// The girl's points at the judges: the judging combo's bonus, the judges' reaction, the white
// score text and what the level and the tutorial hear.
#include "game/world/GLevel.h"
#include "game/world/GStudent.h"
#include "tests/game/world/girl_fixture.h"
#include "tests/game/world/judging_fixture.h"

#include <gtest/gtest.h>

namespace {

class StudentJudgingTest : public world_test::TJudgingTest {
protected:
    void SetUp() override {
        TJudgingTest::SetUp();
        Manager().SetHooks(&mGirlHooks);
    }

    world_test::TGirlHooks mGirlHooks;
};

TEST_F(StudentJudgingTest, JudgesPointsWithAComboBonus) {
    GJudgingScene* scene = AddJudgingScene("{ 5, 10 }");
    AddRow(2);
    BeginPlay();
    // A second girl of the same kind in a row: combo count 1, whose score is 5.
    JudgeInARow(scene, 2, "judging_a");
    ASSERT_EQ(scene->GetComboCount(), 1);
    GStudent* girl = AddGirl("gina", "judging_a");
    ASSERT_NE(girl, nullptr);
    const int scoreBefore = Level()->GetScore();
    mGirlHooks.calls.clear();
    RunInScenes("log = ''");

    girl->CPP_AddFlyScore(12, 1);
    EXPECT_EQ(Level()->GetScore(), scoreBefore + 17);
    EXPECT_EQ(Level()->GetComboBonus(), 5);
    EXPECT_EQ(girl->GetScoreTotal(), 17);
    EXPECT_EQ(SceneLog(), "state 17;") << "the judges react to the points and the bonus";
    // The label of the combo's key through the string table (none here); the count shown is the
    // combo count plus 1. Her place (50, 50) less (25, 107).
    const std::vector<std::string> expected = {"event gina combo_#####",
                                               "white '##### x 2 = 17' 25,-57 0"};
    EXPECT_EQ(mGirlHooks.calls, expected);

    // Without judges the judges stay still and the points go to an idle score label, whose
    // multiplier is one more again.
    mGirlHooks.calls.clear();
    RunInScenes("log = ''");
    girl->CPP_AddFlyScore(3, 0);
    EXPECT_EQ(SceneLog(), "");
    EXPECT_EQ(girl->GetScoreTotal(), 25);
    EXPECT_EQ(mGirlHooks.calls.back(),
              "label '<font size= \"20\"><b>##### x 3</b></font><br>8' 2 50,30 3");
}

TEST_F(StudentJudgingTest, NegativeJudgesPointsHaveNoBonus) {
    GJudgingScene* scene = AddJudgingScene("{ 5, 10 }");
    AddRow(2);
    BeginPlay();
    JudgeInARow(scene, 2, "judging_a");
    GStudent* girl = AddGirl("gina", "judging_a");
    ASSERT_NE(girl, nullptr);
    mGirlHooks.calls.clear();
    girl->CPP_AddFlyScore(-4, 1);
    EXPECT_EQ(Level()->GetComboBonus(), 0);
    EXPECT_EQ(girl->GetScoreTotal(), -4);
    EXPECT_EQ(mGirlHooks.calls, std::vector<std::string>{"white ': -4' 25,-57 1"})
        << "negative points fly with direction 1";
}

} // namespace
