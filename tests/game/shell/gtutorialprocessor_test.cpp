// The tutorial engine on a fixture set and the fixture level's objects: start conditions (counter,
// map order, dependence, wait), closing conditions (events in reverse, clicks in order, OK),
// events while a step shows, skip all, blocking of the level objects, OrderBlock, the set
// functions, the seen mark, the broken initor's box, and tutorials destroyed or objects gone while
// tutorials still name them.

#include "engine/core/random.h"
#include "game/common/GUserManager.h"
#include "game/world/GPlayerInfo.h"
#include "platform/win32/standin.h"
#include "tests/game/shell/tutorial_fixture.h"

#include <gtest/gtest.h>

namespace tutorial_test {
namespace {

using TutorialProcessorTest = TTutorialTest;

// A step closed by its OK button.
const std::string kOk = "window = 'tw', msg = 'hello', close = { button = 'ok' }";

TEST_F(TutorialProcessorTest, ACloseActionArrayIsExpectedFromItsLastElement) {
    Open(Tut("act", "action = 'go'",
             "window = 'tw', msg = 'hello', close = { action = { 'A', 'B' } }"));
    Event("booth", "go");
    ASSERT_EQ(Current(), "act");
    Event("booth", "A");
    EXPECT_EQ(Current(), "act") << "A is expected last";
    Event("booth", "B");
    EXPECT_EQ(Current(), "act");
    Event("booth", "A");
    EXPECT_EQ(Current(), "");
    EXPECT_TRUE(Tutorial("act")->IsFinished());
}

TEST_F(TutorialProcessorTest, ACloseClickArrayIsExpectedInOrderAndEachStepListsNames) {
    Open(Tut("clk", "action = 'go'",
             "window = 'tw', msg = 'hello', close = { click = { 'booth', { 'x', 'lamp' } } }"));
    ASSERT_NE(Tutorial("clk")->GetAction()->GetCloseTrigger(), nullptr);
    EXPECT_EQ(Tutorial("clk")->GetAction()->GetCloseTrigger()->GetClickSteps().size(), 2u);
    Event("booth", "go");
    ASSERT_EQ(Current(), "clk");
    EXPECT_TRUE(Processor().OnClick(Object("lamp")));
    EXPECT_EQ(Current(), "clk") << "the lamp is the second step";
    EXPECT_TRUE(Processor().OnClick(Object("booth")));
    EXPECT_EQ(Current(), "clk");
    EXPECT_TRUE(Processor().OnClick(Object("lamp")));
    EXPECT_EQ(Current(), "");
}

TEST_F(TutorialProcessorTest, ACounterLetsThatManyMatchingEventsPass) {
    Open(Tut("c", "action = 'go', id = 'lamp', counter = 2", kOk));
    Event("booth", "go");
    EXPECT_EQ(Tutorial("c")->GetInitor()->GetRemaining(), 2) << "another object does not count";
    Event("lamp", "go");
    Event("lamp", "go");
    EXPECT_EQ(Current(), "");
    Event("lamp", "go");
    EXPECT_EQ(Current(), "c");
}

TEST_F(TutorialProcessorTest, OfTwoInitorsUnderOneEventTheFirstWhoseConditionsHoldStarts) {
    // Steps without a closing condition finish as soon as they open.
    Open(Tut("a", "action = 'go', pos = { x = 600, y = 450 }", "window = 'tw', msg = 'hello'") +
         Tut("b", "action = 'go'", "window = 'tw', msg = 'hello'"));
    Event("booth", "go");
    EXPECT_FALSE(Tutorial("a")->IsFinished()) << "the booth does not stand at a's place";
    EXPECT_TRUE(Tutorial("b")->IsFinished());
    EXPECT_EQ(Tutorial("b")->GetStartObject(), Object("booth"));
    Event("lamp", "go");
    EXPECT_TRUE(Tutorial("a")->IsFinished());
    EXPECT_EQ(Current(), "");
}

TEST_F(TutorialProcessorTest, AnEventWhileAStepShowsOnlyAdvancesItsClosingCondition) {
    Open(Tut("shown", "action = 'go'", "window = 'tw', msg = 'hello', close = { action = 'A' }") +
         Tut("other", "action = 'A'", "window = 'tw', msg = 'hello'"));
    Event("booth", "go");
    Event("booth", "A");
    EXPECT_EQ(Current(), "");
    EXPECT_TRUE(Tutorial("shown")->IsFinished());
    EXPECT_FALSE(Tutorial("other")->IsFinished());
    EXPECT_TRUE(Processor().GetPending().empty());
    Event("booth", "A");
    EXPECT_TRUE(Tutorial("other")->IsFinished());
}

TEST_F(TutorialProcessorTest, ADependenceHoldsTheStartUntilTheNamedTutorialFinished) {
    Open(Tut("later", "action = 'go', dependence = 'first'", "window = 'tw', msg = 'hello'") +
         Tut("first", "action = 'f'", "window = 'tw', msg = 'hello'"));
    EXPECT_EQ(Tutorial("later")->GetInitor()->GetDependence(), Tutorial("first"));
    Event("booth", "go");
    EXPECT_FALSE(Tutorial("later")->IsFinished());
    Event("booth", "f");
    Event("booth", "go");
    EXPECT_TRUE(Tutorial("later")->IsFinished());
}

TEST_F(TutorialProcessorTest, AWaitingTutorialWaitsEvenWithNothingShownAndStartsWhenTheWaitIsOver) {
    Open(Tut("first", "action = 'f'", kOk) +
         Tut("waiter", "action = 'w', wait_tutorial = 'first'", kOk));
    Event("lamp", "w");
    EXPECT_EQ(Current(), "");
    ASSERT_EQ(Processor().GetPending().size(), 1u);
    Event("booth", "f");
    EXPECT_EQ(Current(), "first");
    Processor().StopTutorial(true);
    EXPECT_EQ(Current(), "") << "keep leaves the waiting ones waiting";
    EXPECT_EQ(Processor().GetPending().size(), 1u);
    Run("StopTutorial(false)");
    EXPECT_EQ(Processor().GetPending().size(), 1u) << "nothing was current";
    Processor().Reset();
    EXPECT_TRUE(Processor().GetPending().empty());

    Event("lamp", "w");
    Event("booth", "f");
    Run("StopTutorial(false)");
    EXPECT_EQ(Current(), "waiter");
    EXPECT_EQ(Tutorial("waiter")->GetStartObject(), Object("lamp"));
}

TEST_F(TutorialProcessorTest, SkipAllFinishesSkippableTutorialsAtOnceAndTheirNextOnes) {
    Open(Tut("s1", "action = 'go'", kOk, "next_tutorial = 's2'") + "s2 = { message = { " + kOk +
         " } },\n" + Tut("keep", "action = 'k', not_disabled = 1", kOk) +
         Tut("fixed", "action = 'x'", kOk + ", skipeable = 0"));
    Run("SkipTutorial()");
    EXPECT_TRUE(Processor().IsSkipAll());
    Event("booth", "go");
    EXPECT_TRUE(Tutorial("s1")->IsFinished());
    EXPECT_TRUE(Tutorial("s2")->IsFinished());
    EXPECT_EQ(Current(), "");
    EXPECT_EQ(GTutorialWindowManager::Instance().GetCurrentWindow(), nullptr) << "nothing shown";
    Event("booth", "k");
    EXPECT_EQ(Current(), "keep");
    Processor().StopTutorial(false);
    Event("booth", "x");
    EXPECT_EQ(Current(), "fixed");
}

TEST_F(TutorialProcessorTest, SkippingTheShownStepFinishesItAndStartsItsNextSkipped) {
    Open(Tut("s1", "action = 'go'", kOk, "next_tutorial = 's2'") + "s2 = { message = { " + kOk +
         " } },\n");
    Event("booth", "go");
    ASSERT_EQ(Current(), "s1");
    Processor().SkipTutorial();
    EXPECT_EQ(Current(), "");
    EXPECT_TRUE(Tutorial("s2")->IsFinished());
    EXPECT_FALSE(Locked("booth"));
}

TEST_F(TutorialProcessorTest, AStepBlocksTheLevelObjectsAndPostBlockKeepsThemBlocked) {
    Open(Tut("plain", "action = 'p'", kOk) + Tut("post", "action = 'q'", kOk, "post_block = 1") +
         Tut("free", "action = 'f'", kOk + ", transferring = 1") +
         Tut("some", "action = 's'", kOk + ", not_block = { { id = 'lamp' }, { pos = {} } }"));
    Event("booth", "p");
    EXPECT_TRUE(Locked("booth"));
    EXPECT_TRUE(Locked("lamp"));
    EXPECT_TRUE(Processor().OnClick(Object("lamp"))) << "without not_block every object counts";
    Processor().StopTutorial(false);
    EXPECT_FALSE(Locked("booth")) << "no post_block frees every object";
    EXPECT_FALSE(Locked("lamp"));

    Event("booth", "q");
    Processor().StopTutorial(false);
    EXPECT_TRUE(Locked("booth"));
    EXPECT_TRUE(Processor().IsLevelBlocked());
    EXPECT_FALSE(Processor().OnClick(Object("booth")));

    Event("booth", "f");
    EXPECT_FALSE(Processor().IsLevelBlocked()) << "a start clears it";
    EXPECT_TRUE(Locked("booth")) << "transferring leaves the objects as they were";
    Processor().StopTutorial(false);
    EXPECT_TRUE(Processor().OnClick(Object("booth")));

    Event("booth", "s");
    EXPECT_TRUE(Locked("booth"));
    EXPECT_FALSE(Locked("lamp")) << "matched by a not_block filter";
    EXPECT_EQ(Tutorial("some")->GetAction()->GetWorkingNotBlockCount(), 2u)
        << "a pos table without x and y stands for (0, 0)";
}

TEST_F(TutorialProcessorTest, OrderBlockAcceptsTheNotBlockObjectsInOrderOrEachOnce) {
    const std::string list =
        kOk + ", not_block = { { id = 'booth' }, { id = 'lamp' } }, OrderBlock = ";
    Open(Tut("ordered", "action = 'o'", list + "1") + Tut("once", "action = 'e'", list + "2") +
         Tut("any", "action = 'a'", list + "0"));
    struct TCase {
        const char* event;
        std::vector<std::pair<const char*, bool>> clicks;
    };
    for (const TCase& c :
         {TCase{"o",
                {{"lamp", false},
                 {"booth", true},
                 {"booth", false},
                 {"lamp", true},
                 {"lamp", false},
                 {"booth", false}}},
          TCase{"e", {{"lamp", true}, {"lamp", false}, {"booth", true}, {"booth", false}}},
          TCase{"a", {{"lamp", true}, {"lamp", true}, {"booth", true}}}}) {
        Event("booth", c.event);
        ASSERT_NE(Current(), "") << c.event;
        for (size_t i = 0; i < c.clicks.size(); ++i) {
            EXPECT_EQ(Processor().OnClick(Object(c.clicks[i].first)), c.clicks[i].second)
                << c.event << " click " << i;
        }
        Processor().StopTutorial(false);
    }
}

TEST_F(TutorialProcessorTest, IsWorkDecidesTheStartAndSetFunctionsAnswer) {
    Open(Tut("w", "action = 'go', isWork = function() return gAllow end", kOk) +
             "tests = { message = { close = { } } },\n",
         "gAllow = false\n");
    TScript* script = Processor().FindSetScript(kSetFile);
    ASSERT_NE(script, nullptr);
    Event("booth", "go");
    EXPECT_EQ(Current(), "");
    script->DoLuaString("gAllow = 1");
    Event("booth", "go");
    EXPECT_EQ(Current(), "w");
    script->DoLuaString("gLow, gHigh, gWhole = 99, -99, 1\n"
                        "for i = 1, 600 do local r = Random(1, 6)\n"
                        "  if r < gLow then gLow = r end if r > gHigh then gHigh = r end\n"
                        "  if r ~= tonumber(string.format('%d', r)) then gWhole = 0 end end\n"
                        "gLevel, gParam = GetCurrentLevel(), GetParamI('x')\n"
                        "SetParamI('x', 3) ScriptDump('t')\n");
    EXPECT_EQ(script->GetGlobalNumber("gLow"), 1);
    EXPECT_EQ(script->GetGlobalNumber("gHigh"), 6);
    EXPECT_EQ(script->GetGlobalNumber("gWhole"), 1);
    EXPECT_EQ(script->GetGlobalNumber("gLevel"), 0);
    EXPECT_EQ(script->GetGlobalNumber("gParam"), 1);
    EXPECT_EQ(Tutorial("tests")->GetAction()->GetCloseTrigger(), nullptr) << "an empty close";
}

TEST_F(TutorialProcessorTest, AnInitorWithoutStartButWithALinkShowsTheErrorBox) {
    standin::SetMessageBoxAnswers({IDOK});
    // Under ASan: the link to "quiet" resolved after the initor went writes nowhere.
    Open(Tut("broken", "dependence = 'quiet'", kOk) + Tut("quiet", "id = 'booth'", kOk));
    const std::vector<standin::TMessageBoxRecord> boxes = standin::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, "Initor для туториала 'broken' не создан(не указаны необходимые "
                             "параметры)");
    EXPECT_EQ(Tutorial("broken")->GetInitor(), nullptr);
    EXPECT_EQ(Tutorial("quiet")->GetInitor(), nullptr);
    ASSERT_NE(Tutorial("quiet"), nullptr) << "the step is still a tutorial";
}

TEST_F(TutorialProcessorTest, TheFirstStartAfterClearMarksTheLevelSeenAgain) {
    TRandom random;
    CreateUserManager(random);
    GetUserManager()->CreateNewUser("Ann");
    Open(Tut("t", "action = 'go'", "window = 'tw', msg = 'hello'"));
    GPlayerInfo& info = *GPlayerInfo::Instance();
    EXPECT_EQ(info.GetUserValue("tutorial_01", 0), 0);
    Event("booth", "go");
    EXPECT_EQ(info.GetUserValue("tutorial_01", 0), 1);
    info.SetUserValue("tutorial_01", 0);
    Processor().Reset();
    Event("booth", "go");
    EXPECT_EQ(info.GetUserValue("tutorial_01", 0), 0) << "the second start marks nothing";
    Processor().Clear();
    EXPECT_TRUE(Processor().GetTutorials().empty());
    ASSERT_TRUE(Processor().LoadFile(kSetFile));
    Processor().Reset();
    Event("booth", "go");
    EXPECT_EQ(info.GetUserValue("tutorial_01", 0), 1);
    DestroyUserManager();
}

// Under ASan: nothing keeps naming a tutorial that went or an object that left the level.
TEST_F(TutorialProcessorTest, UnloadingOrReplacingTutorialsDropsWhatWaitsForThem) {
    // isWork lives in the set's script: the old tutorials go before it does.
    Open(Tut("shown", "action = 'go', isWork = function() return 1 end", kOk) +
         Tut("waiting", "wish = 'w'", kOk) +
         Tut("linked", "action = 'l', dependence = 'waiting'", kOk));
    Event("booth", "go");
    Processor().QueueNamedEvent(Object("booth"), "w");
    ASSERT_EQ(Processor().GetPending().size(), 1u);
    // The same set again: every tutorial is replaced, the shown one stopped.
    ASSERT_TRUE(Processor().LoadFile(kSetFile));
    EXPECT_EQ(Current(), "");
    EXPECT_TRUE(Processor().GetPending().empty());
    EXPECT_EQ(Tutorial("linked")->GetInitor()->GetDependence(), Tutorial("waiting"));
    Processor().StopTutorial(false);

    Event("booth", "go");
    Processor().QueueNamedEvent(Object("booth"), "w");
    ASSERT_EQ(Processor().GetPending().size(), 1u);
    Processor().UnloadSet(kSetFile);
    EXPECT_TRUE(Processor().GetTutorials().empty());
    EXPECT_TRUE(Processor().GetPending().empty());
    EXPECT_EQ(Current(), "");
    Processor().StopTutorial(false);
    Processor().QueueNamedEvent(Object("booth"), "w");
    Event("booth", "go");
    EXPECT_EQ(Processor().FindSetScript(kSetFile), nullptr);
}

TEST_F(TutorialProcessorTest, AnObjectThatLeavesIsNoLongerAStartObject) {
    Open(Tut("shown", "action = 'go'", kOk + std::string(", target = -1")) +
         Tut("waiting", "wish = 'w'", kOk + std::string(", target = { -1, 5 }")));
    Event("lamp", "go");
    Processor().QueueNamedEvent(Object("lamp"), "w");
    ASSERT_EQ(Processor().GetPending().size(), 1u);
    GGameObject* lamp = Object("lamp");
    const GTutorialFilter* shownTarget = Tutorial("shown")->GetAction()->GetTargets()[0].get();
    EXPECT_TRUE(shownTarget->Matches(lamp));
    EXPECT_EQ(Tutorial("waiting")->GetAction()->GetTargets().size(), 2u);
    EXPECT_EQ(Tutorial("waiting")->GetAction()->GetTargets()[1], nullptr) << "5 leaves a hole";
    EXPECT_EQ(GLogicalManager::Instance().RemoveObject(lamp, true), 1);
    EXPECT_EQ(Tutorial("shown")->GetStartObject(), nullptr);
    EXPECT_EQ(GLogicalManager::Instance().FindObjectByFilter(shownTarget), nullptr);
    Run("StopTutorial(false)");
    EXPECT_EQ(Current(), "waiting");
    EXPECT_EQ(Tutorial("waiting")->GetStartObject(), nullptr);
    EXPECT_FALSE(Tutorial("waiting")->GetAction()->GetTargets()[0]->Matches(Object("booth")));
}

TEST_F(TutorialProcessorTest, TheTimerClosesATimedStepAndGoesWithItsTaskList) {
    Open(Tut("timed", "action = 'go'", "window = 'tw', msg = 'hello', close = { timer = 100 }") +
         Tut("stop", "action = 's'",
             "window = 'tw', msg = 'hello', stop = 1, close = { timer = 100 }"));
    Event("booth", "go");
    ASSERT_NE(Processor().GetTimer(), nullptr);
    Tick(50);
    EXPECT_EQ(Current(), "timed");
    Tick(60);
    EXPECT_EQ(Current(), "");
    Tick(20);
    EXPECT_EQ(Processor().GetTimer(), nullptr);

    Event("booth", "s");
    ASSERT_NE(Processor().GetTimer(), nullptr);
    EXPECT_EQ(Manager()->GetTopModal()->GetName(), str("TutorialModalWindow"));
    // The game screen goes with the step shown: the timer and the windows go with it.
    CloseScreen();
    EXPECT_EQ(Processor().GetTimer(), nullptr);
    EXPECT_EQ(GTutorialWindowManager::Instance().GetCurrentWindow(), nullptr);
    EXPECT_EQ(GTutorialWindowManager::Instance().GetTutorialModal(), nullptr);
    Processor().StopTutorial(false);
    EXPECT_EQ(Current(), "");
}

} // namespace
} // namespace tutorial_test
