// One loaded level: it runs the stage file in a Lua state of its own, builds the level's game
// objects from the tables the file defines and owns them, keeps the score, the goal and expert
// scores and the count of girls added, served and lost, runs the level timer that calls the Lua
// function "LevelTimerFunc", and decides the result. The game data creates it through the object
// factory and owns it; the game control's mouse reaches the objects through it. Main thread only.
#pragma once

#include "engine/core/rect.h"
#include "engine/core/str.h"
#include "engine/script/script.h"
#include "game/world/GGameObjectTimer.h"
#include "game/world/GGirlLook.h"
#include "game/world/G_ICanListenSwitch.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

class GGameObject;
class GStudent;
class TLuaTable;

class GLevel : public G_ICanListenSwitch, public GBaseTimerObj {
public:
    static constexpr const char* kStageFile = "scripts/stages/stages.lua";
    // Level-timer ticks between the last girl leaving a lost level and the try-again dialog.
    static constexpr int kTryAgainTicks = 7;

    GLevel();
    // Deletes the objects in order and lets the timer go.
    ~GLevel() override;
    GLevel(const GLevel&) = delete;
    GLevel& operator=(const GLevel&) = delete;

    // Runs the stage file (and the extra text) and builds the objects; false when the file does
    // not define the tables "LevelData" and "Objects". Preload only makes every placement without
    // placing it and preloads the visuals the file names.
    bool Load(const str& stageFile, int stage, int level, const str& extraLua, bool preloadOnly);

    // Takes the object; 0 for null.
    int AddObject(GGameObject* object);
    // Deletes the object; a girl counts as served or lost first. 0 when it is not the level's.
    int RemoveObject(GGameObject* object, bool served);

    // Play starts.
    void Begin();
    // Objects of which nothing was bought, and those that want to go, leave.
    void EndUpgradePhase();
    void PrepareClose();
    void UpdateHolders();

    // Never below 0; the goal indicator shows it.
    void AddScore(int points);
    // Held within int, as the score is.
    void AddComboBonus(int points);
    // 1 when every girl added was served or lost and the result was decided, else 0.
    int CheckLevelEnd();
    // Decides the result as the cheats want it, and shows it.
    void SetResult(int result);
    bool IsExpertReached() const { return mScore >= mGoal && mScore >= mExpert; }

    // The deferred calls of the mouse strategies go on to the logical manager; a call that names
    // no game object does nothing.
    void OnOOOA(G_VoidLink* object, G_VoidLink* place) override;
    void OnOODTA(G_VoidLink* object, G_VoidLink* target) override;
    void OnOTL(G_VoidLink* object, G_VoidLink* queue) override;
    void OnOFD(G_VoidLink* object) override;
    void OnOTU(G_VoidLink* /*object*/) override {}
    void OnOSD(G_VoidLink* object) override;
    void OnOCOn(G_VoidLink* /*object*/) override {}
    void OnOCOff(G_VoidLink* /*object*/) override {}
    void OnClick(G_VoidLink* object) override;
    void OnBMC(G_VoidLink* object) override;

    // The point goes to every object's strategy, in order, then the strategies' one pending call
    // runs; true.
    bool OnMouseDown(TPoint point);
    bool OnMouseUp(TPoint point);
    bool OnMouseMove(TPoint point);
    bool OnKeyDown(int /*key*/, int /*modifiers*/) { return false; }
    bool OnKeyUp(int /*key*/) { return false; }

    // The position editor: on disables the mouse and edits the editable objects; off hands their
    // positions to the manager.
    void SetEditMode(bool on);
    // In the upgrade phase: whether some object's price is within the money.
    bool CanAffordUpgrade(int money) const;
    // Runs the text without its first character and replaces it with "retUpgradeStr".
    void EvalUpgradeCommand(str& text);
    // The girl's look is refreshed and her score stored with it.
    void UpdateGirlScore(int score, const GStudent& girl);
    // The girl with the highest score (a later name wins a tie); kept once found.
    str GetBestGirlName();
    // The best girl's look once her name was asked for.
    const GGirlLook& GetBestGirlLook() const { return mBestGirl; }
    // Every girl added, by name: her look and last score.
    const std::map<str, GGirlLook>& GetGirlLooks() const { return mGirls; }
    // How many times in a row the group came back; another group starts again at 0.
    int NextCombo(const str& group);

    // One level-timer tick.
    bool OnTimer() override;

    int GetObjectCount() const { return static_cast<int>(mObjects.size()); }
    bool IsClosing() const { return mClosing; }
    const std::vector<GGameObject*>& GetObjects() const { return mObjects; }
    const std::vector<GGameObject*>& GetHolders() const { return mHolders; }
    int GetLevelNumber() const { return mLevelNumber; }
    int GetStageNumber() const { return mStageNumber; }
    const str& GetStageFile() const { return mStageFile; }
    const str& GetBackground() const { return mBackground; }
    int GetScore() const { return mScore; }
    int GetGoal() const { return mGoal; }
    int GetExpert() const { return mExpert; }
    int GetComboBonus() const { return mComboBonus; }
    int GetGirlsLost() const { return mGirlsLost; }
    int GetGirlsAdded() const { return mGirlsAdded; }
    int GetGirlsServed() const { return mGirlsServed; }
    int GetJudgingsPending() const { return mJudgingsPending; }
    void AddJudgingsPending(int count) { mJudgingsPending += count; }
    int GetResult() const { return mResult; }
    // 1 loaded (upgrade phase), 2 running, 3 ended.
    int GetLevelState() const { return mLevelState; }
    bool IsUpgradePhase() const { return mUpgradePhase; }
    int GetTimerPeriod() const { return mTimerPeriod; }
    int GetTickCounter() const { return mTickCounter; }
    const std::set<str>& GetGirlTypes() const { return mGirlTypes; }
    TScript& GetScript() { return mScript; }

    // The level's Lua functions.
    int CPP_GetLevelNum() { return mLevelNumber; }
    int CPP_GetStageNum() { return mStageNumber; }

private:
    void PreloadVisuals();
    void PlaceSections(TLuaTable& levelData, TLuaTable& objects, bool preloadOnly);
    void PlaceObject(const str& name, TLuaTable& placement, TLuaTable* instanceTable,
                     TLuaTable& typeTable, TLuaTable* extensions, bool preloadOnly);
    void ReadGoals(TLuaTable& levelData, TLuaTable& objects, bool preloadOnly);
    void SettleHoldersAndRecommendations();
    void LeaveHolders(GGameObject* object);
    // Forgets, takes out and deletes the object.
    void DeleteObject(GGameObject* object);

    // Owned, in the order of addition.
    std::vector<GGameObject*> mObjects;
    // Not owned.
    std::vector<GGameObject*> mHolders;
    // Owned by the game screen's task list; cleared by the timer when it goes.
    GGameObjectTimer* mTimer = nullptr;
    TScript mScript;
    int32_t mStageNumber = 0;
    int32_t mLevelNumber = 0;
    str mStageFile;
    bool mClosing = false;
    int32_t mTickCounter = 0;
    int32_t mTimerPeriod = 0;
    int32_t mScore = 0;
    int32_t mGirlsLost = 0;
    int32_t mGirlsAdded = 0;
    int32_t mGirlsServed = 0;
    int32_t mGoal = 0;
    int32_t mExpert = 0;
    int32_t mComboBonus = 0;
    int32_t mJudgingsPending = 0;
    int32_t mComboCount = 0;
    str mComboGroup;
    str mBestGirlName;
    int32_t mResult = 0;
    GGirlLook mBestGirl;
    std::map<str, GGirlLook> mGirls;
    std::set<str> mGirlTypes;
    int32_t mLevelState = 0;
    int32_t mTryAgainCountdown = 0;
    str mBackground;
    bool mUpgradePhase = false;
};
