// The logical manager's play input over a level: clicks, the grab and its drop targets, drops with
// and without a scene, scene requests while carrying, and objects leaving play while holders and
// scenes hold them.
#include "game/world/GLogicalManager.h"

#include "engine/core/knownfiles.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GEventDispatcher.h"
#include "game/world/GMStr_Main.h"
#include "game/world/GStratMousePikUp.h"
#include "tests/game/world/level_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using world_test::TLevelTest;

// A level object that always has work pending (so a grab may offer it as a drop target), of the
// class the test names; it holds one occupant.
class TPlayObject : public GGameObject {
public:
    const char* GetClassName() const override { return mClass.c_str(); }
    bool IsStudent() const override { return mClass == "GStudent"; }
    bool HasPendingTask(bool /*flag*/) override { return true; }
    GGameObject* Clone() const override {
        auto* copy = new TPlayObject;
        copy->CopyFrom(*this);
        copy->mClass = mClass;
        return copy;
    }
    GGameObject* GetOccupant() override { return mOccupant; }
    int SetOccupant(GGameObject* object) override {
        mOccupant = object;
        return 1;
    }

    std::string mClass = "GGameObject";
    GGameObject* mOccupant = nullptr;
};

const bool gPlayObjectRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "PlayObject", [] { return static_cast<GGameObject*>(new TPlayObject); });

// Counts what the dispatcher hands it.
class TCountingListener : public GEventSceneListener {
public:
    void OnKeyedEvent() override { ++mKeyed; }
    void OnBroadcastEvent() override { ++mBroadcasts; }
    int mKeyed = 0;
    int mBroadcasts = 0;
};

const char kInputScenes[] = R"(
function Go() return 1 end
scenes = {
  sit = { class_name = 'GLogicalScene', OnCreate = 'Go',
          objects = { { base_type = 'girl' }, { base_type = 'chair' } }, stages = { {} } },
  wash = { class_name = 'GLogicalScene', OnCreate = 'Go',
           objects = { { base_type = 'girl' }, { base_type = 'sink' } }, stages = { {} } },
  work = { class_name = 'GLogicalScene', OnCreate = 'Go',
           objects = { { base_type = 'girl' } }, stages = { { tasks = { 'work' } } } },
  touch = { class_name = 'GTouchUpScene', OnEnd = 'TouchEnd',
            objects = { { base_type = 'girl' }, { base_type = 'chair' } },
            stages = { {}, { OnBegin = 'Second' } } },
}
touchLog = ''
function TouchEnd() touchLog = touchLog .. 'end;' end
function Second(i) touchLog = touchLog .. 'stage' .. i .. ';' return 1 end
)";

class LogicalManagerInputTest : public TLevelTest {
protected:
    void SetUp() override {
        TLevelTest::SetUp();
        ASSERT_TRUE(gPlayObjectRegistered);
        RegisterMemoryFile("scripts/stages/input_scenes.lua", kInputScenes,
                           static_cast<unsigned>(std::strlen(kInputScenes)));
        Manager().LoadScenes("scripts/stages/input_scenes.lua");
        WriteStage("LevelData = {} Objects = {} function LevelTimerFunc() end");
        ASSERT_TRUE(mGameData.StartLevel(1, 1));
        Manager().SetGameState(2);
        mGirl = Add("girl1", "girl", "GStudent");
        mChair = Add("chair1", "chair", "Chair");
        mSink = Add("sink1", "sink", "Sink");
        mOther = Add("other1", "other", "Other");
        Manager().GetEventDispatcher().AddListener(&mListener, GEventDispatcher::kBroadcast);
        Manager().GetEventDispatcher().AddKeyedListener(&mListener, mGirl);
    }

    void TearDown() override {
        Manager().DeleteLiveScenes();
        Manager().SetGameScreen(mDialog);
        GObjectFactory::Instance().Clear(false, true);
        TLevelTest::TearDown();
        RegisterMemoryFile("scripts/stages/input_scenes.lua", nullptr, 0);
    }

    static GLogicalManager& Manager() { return GLogicalManager::Instance(); }
    static std::string SceneText(const char* name) {
        return Manager().GetSceneScript()->GetGlobalString(name).CStr();
    }

    // A placed object of the class, knowing every scene, taken by the level.
    TPlayObject* Add(const char* name, const char* baseType, const char* className) {
        std::unique_ptr<TLuaTable> type(Table(std::string("{ class_name = 'PlayObject', "
                                                          "base_type = '") +
                                              baseType +
                                              "', scenes = { 'sit', 'wash', 'work' }, tasks = "
                                              "{ work = { tick_count = 3, delay = 100 } } }"));
        std::unique_ptr<TLuaTable> object(Table(std::string("{ name = '") + name + "' }"));
        auto* made = static_cast<TPlayObject*>(
            GObjectFactory::Instance().CreateObject(name, type.get(), object.get()));
        made->mClass = className;
        made->InitInLevel(object.get(), nullptr,
                          "function workBeginTask(r) return 1 end\n"
                          "function workTaskTimer(n) return 1 end\n"
                          "function workEndTask(r) return 0 end\n",
                          Level());
        Level()->AddObject(made);
        // The mouse flags live in the strategy's activation.
        made->SetStrategy(new GMStr_Main);
        return made;
    }

    static void Scenes(GGameObject* object, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            object->AddScene(name, false);
        }
    }

    bool TutorialHeard() const {
        for (const std::string& call : mHooks.calls) {
            if (call.rfind("tutorial click", 0) == 0) {
                return true;
            }
        }
        return false;
    }

    TPlayObject* mGirl = nullptr;
    TPlayObject* mChair = nullptr;
    TPlayObject* mSink = nullptr;
    TPlayObject* mOther = nullptr;
    TCountingListener mListener;
};

TEST_F(LogicalManagerInputTest, ClicksOnOtherClassesOrOutOfPlayAreRefused) {
    EXPECT_EQ(Manager().OnObjectClick(mOther, false), 0);
    EXPECT_EQ(Manager().OnObjectClick(mChair, true), 0);
    EXPECT_EQ(Manager().OnObjectClick(nullptr, false), 0);
    EXPECT_FALSE(TutorialHeard());
    for (int state : {0, 4}) {
        Manager().SetGameState(state);
        EXPECT_EQ(Manager().OnObjectClick(mOther, false), 0);
        EXPECT_EQ(Manager().GetGameState(), state) << "no state change";
    }
    EXPECT_FALSE(TutorialHeard());
}

TEST_F(LogicalManagerInputTest, GrabEnablesExactlyThePossibleDropTargets) {
    Scenes(mGirl, {"sit", "wash"});
    for (GGameObject* object : {static_cast<GGameObject*>(mChair), static_cast<GGameObject*>(mSink),
                                static_cast<GGameObject*>(mOther)}) {
        object->SetMouseEnabled(true);
    }
    EXPECT_EQ(Manager().OnGrab(mGirl), 1);
    EXPECT_EQ(Manager().GetGameState(), 3);
    EXPECT_EQ(Manager().GetCarriedObject(), mGirl);
    EXPECT_FALSE(mGirl->IsActive());
    EXPECT_TRUE(mChair->IsMouseEnabled());
    EXPECT_TRUE(mSink->IsMouseEnabled());
    EXPECT_FALSE(mOther->IsMouseEnabled());
    for (const char* name : {"sit", "wash"}) {
        GBaseLogicalScene* prototype = GObjectFactory::Instance().FindScenePrototype(name);
        EXPECT_EQ(prototype->GetObject(0), nullptr) << name;
        EXPECT_EQ(prototype->GetObject(1), nullptr) << name;
    }
    // Without scenes the object is only carried.
    EXPECT_EQ(Manager().OnGrab(mOther), 0);
    EXPECT_EQ(Manager().OnGrab(nullptr), 0);
    EXPECT_EQ(Manager().GetCarriedObject(), nullptr);
}

TEST_F(LogicalManagerInputTest, DropsEndInTheirStateDispatchAndBroadcast) {
    struct Case {
        const char* what;
        std::vector<const char*> girlScenes;
        std::vector<const char*> targetScenes;
        bool targetSink;
        bool noTarget;
        int result;
        int keyed;
    };
    const Case cases[] = {
        {"no target", {"sit"}, {}, false, true, 0, 1},
        {"one name on the object", {"sit"}, {"sit"}, false, false, 1, 1},
        {"one name on the target", {"sit", "wash"}, {"wash"}, true, false, 1, 1},
        {"target outside the scene", {"sit"}, {"wash"}, true, false, 0, 1},
        {"several names on both", {"sit", "wash"}, {"sit", "wash"}, false, false, 0, 1},
    };
    for (const Case& c : cases) {
        TPlayObject* target = c.targetSink ? mSink : mChair;
        for (const char* name : {"sit", "wash"}) {
            mGirl->RemoveScene(name, false);
            target->RemoveScene(name, false);
        }
        for (const char* name : c.girlScenes) {
            mGirl->AddScene(name, false);
        }
        for (const char* name : c.targetScenes) {
            target->AddScene(name, false);
        }
        mGirl->SetHolder(mOther);
        mListener = TCountingListener();
        Manager().OnGrab(mGirl);
        const size_t live = Manager().GetLiveScenes().size();
        EXPECT_EQ(Manager().OnDrop(mGirl, c.noTarget ? nullptr : target), c.result) << c.what;
        EXPECT_EQ(Manager().GetGameState(), 2) << c.what;
        EXPECT_TRUE(mGirl->IsActive() || c.result == 1) << c.what;
        EXPECT_EQ(mListener.mBroadcasts, 1) << c.what;
        EXPECT_EQ(mListener.mKeyed, c.keyed) << c.what;
        EXPECT_EQ(Manager().GetLiveScenes().size(), live + static_cast<size_t>(c.result)) << c.what;
        Manager().DeleteLiveScenes();
        Manager().SetGameScreen(mDialog);
        Manager().GetEventDispatcher().AddListener(&mListener, GEventDispatcher::kBroadcast);
        Manager().GetEventDispatcher().AddKeyedListener(&mListener, mGirl);
        mGirl->Unblock("sit");
        mGirl->Unblock("wash");
    }
}

TEST_F(LogicalManagerInputTest, GoToSceneIsRefusedWhileCarryingUnlessForced) {
    Scenes(mGirl, {"sit"});
    Manager().OnGrab(mGirl);
    ASSERT_EQ(Manager().GetGameState(), 3);
    EXPECT_EQ(Manager().GoToScene("sit", mGirl, mChair, false), nullptr);
    EXPECT_TRUE(Manager().GetLiveScenes().empty());
    GBaseLogicalScene* forced = Manager().GoToScene("sit", mGirl, mChair, true);
    EXPECT_NE(forced, nullptr);
    EXPECT_EQ(Manager().GetGameState(), 3) << "a forced request keeps the state";
    EXPECT_EQ(Manager().GoToScene("", mGirl, nullptr, true), nullptr);
    EXPECT_EQ(Manager().GoToScene("sit", nullptr, nullptr, true), nullptr);
}

TEST_F(LogicalManagerInputTest, RemovingAnObjectEmptiesItsHolderAndItsScenes) {
    mChair->SetOccupant(mGirl);
    mGirl->SetHolder(mChair);
    GBaseLogicalScene* scene = Manager().CreateScene("wash", mGirl, mSink, false, false);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Manager().RemoveObject(mGirl, false), 1);
    EXPECT_EQ(mChair->GetOccupant(), nullptr);
    EXPECT_EQ(scene->IndexOfObject(mGirl), -1);
    mGirl = nullptr;
    scene->StopAndClose();
    EXPECT_TRUE(Manager().GetLiveScenes().empty());
}

TEST_F(LogicalManagerInputTest, TheLevelDeletingAnObjectLeavesNoHolderOrSceneWithIt) {
    mChair->SetOccupant(mGirl);
    mGirl->SetHolder(mChair);
    GBaseLogicalScene* first = Manager().CreateScene("sit", mGirl, mChair, false, false);
    GBaseLogicalScene* second = Manager().CreateScene("wash", mGirl, mSink, false, false);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    Manager().OnGrab(mGirl);
    EXPECT_EQ(Level()->RemoveObject(mGirl, false), 1);
    EXPECT_EQ(mChair->GetOccupant(), nullptr);
    EXPECT_EQ(Manager().GetCarriedObject(), nullptr);
    mGirl = nullptr;
    first->End();
    second->End();
    EXPECT_TRUE(Manager().GetLiveScenes().empty());
}

TEST_F(LogicalManagerInputTest, ATouchUpWaitsForTheDropAndEndsWhenItsGirlIsTakenAway) {
    GBaseLogicalScene* scene = Manager().CreateScene("touch", mGirl, nullptr, true, false);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(Manager().CreateScene("touch", mChair, nullptr, true, false), nullptr)
        << "only a girl is touched up";
    EXPECT_FALSE(mGirl->IsBlocked()) << "a touch-up blocks nobody";
    EXPECT_EQ(scene->AddObject(mChair), 1);
    scene->BeginIfFull();
    EXPECT_EQ(scene->GetStageIndex(), 0);

    // Stage 1 waits while the girl is dragged, and begins once the drop is over.
    Manager().SetGameState(3);
    MouseInteraction().mPressed = mGirl;
    scene->FinishStage();
    EXPECT_EQ(scene->GetStageIndex(), 1);
    EXPECT_EQ(SceneText("touchLog"), "");
    MouseInteraction().mPressed = nullptr;
    Manager().SetGameState(2);
    Manager().GetEventDispatcher().Broadcast(GEventDispatcher::kBroadcast);
    EXPECT_EQ(SceneText("touchLog"), "stage1;");

    // Carried away: the scene stops and closes.
    EXPECT_GE(Manager().GetEventDispatcher().Dispatch(mGirl), 1);
    EXPECT_EQ(SceneText("touchLog"), "stage1;end;");
    EXPECT_TRUE(Manager().GetLiveScenes().empty());
    EXPECT_EQ(Manager().GetEventDispatcher().Dispatch(mGirl), 1) << "only the test's listener";
}

TEST_F(LogicalManagerInputTest, AnObjectThatWantsToGoLeavesAtItsNextActiveTick) {
    GBaseLogicalScene* scene = Manager().CreateScene("wash", mGirl, mSink, false, false);
    ASSERT_NE(scene, nullptr);
    mSink->GetScript().DoLuaString("CPP_WantDestroy()");
    mSink->SetActive(false);
    mSink->OnTimer();
    ASSERT_EQ(Level()->GetObjects().size(), 4u) << "inactive: nothing happens";
    mSink->SetActive(true);
    mSink->OnTimer();
    EXPECT_EQ(Level()->GetObjects().size(), 3u);
    mSink = nullptr;
    EXPECT_TRUE(Manager().GetLiveScenes().empty()) << "its scene was stopped";
}

TEST_F(LogicalManagerInputTest, ALevelResetWithLiveScenesWhoseObjectsHoldTasks) {
    GBaseLogicalScene* scene = Manager().CreateScene("work", mGirl, nullptr, true, false);
    ASSERT_NE(scene, nullptr);
    ASSERT_NE(mGirl->GetCurrentTask(), nullptr);
    mGameData.DestroyLevel();
    EXPECT_TRUE(Manager().GetLiveScenes().empty());
    EXPECT_EQ(Level(), nullptr);
}

} // namespace
