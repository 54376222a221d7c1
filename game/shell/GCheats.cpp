#include "game/shell/GCheats.h"

#include "game/shell/GGameCtrl.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/MainScript.h"

namespace {

// Virtual-key codes.
constexpr int kKeyPageUp = 33;
constexpr int kKeyPageDown = 34;

GLogicalManager& Manager() {
    return GLogicalManager::Instance();
}

GPathGrid& Grid() {
    return Manager().GetPathGrid();
}

// The current level while it runs; null without one, and for one that has ended already, whose
// result must not be booked again.
GLevel* RunningLevel() {
    GLevel* level = Manager().GetLevel();
    return level != nullptr && level->GetLevelState() == 2 ? level : nullptr;
}

// The hint of a switch says what the next press does.
str SwitchHint(const char* key, bool on, const char* what) {
    return str::FromFormat("%s - %s %s", key, on ? "hide" : "show", what);
}

} // namespace

void AddDeveloperCheats(GCheatManager& manager, GGameCtrl& control) {
    manager.AddCheat(new GCheatDrawCheatHint(manager));
    manager.AddCheat(new GCheatDrawWalkalability);
    manager.AddCheat(new GCheatDrawGrid);
    manager.AddCheat(new GCheatDrawPathPoints);
    manager.AddCheat(new GCheatStartObjectEditor);
    manager.AddCheat(new GCheatReloadAll);
    manager.AddCheat(new GCheatEndGameWin);
    manager.AddCheat(new GCheatEndGameLoose);
    manager.AddCheat(new GCheatPositionEditor);
    manager.AddCheat(new GCheatJumpToNextLevel);
    manager.AddCheat(new GCheatJumpToPrevLevel);
    manager.AddCheat(new GCheatJumpToLevelNumber);
    manager.AddCheat(new GCheatAddScores);
    manager.AddCheat(new GCheatAddScoresToPowers);
    manager.AddCheat(new GCheatToggleDrawObjectRects(control));
}

GCheatDrawCheatHint::GCheatDrawCheatHint(GCheatManager& manager)
    : GBaseCheat('H', "H - hide cheat hint", true), mManager(manager) {}

void GCheatDrawCheatHint::RunCheat() {
    mToggle = !mToggle;
    mHint = SwitchHint("H", mToggle != 0, "cheat hint");
    mManager.SetHintShown(mToggle != 0);
    LogRun("GCheatDrawCheatHint", __LINE__);
}

GCheatDrawWalkalability::GCheatDrawWalkalability() : GBaseCheat('W', "W - show walkability") {}

void GCheatDrawWalkalability::RunCheat() {
    mToggle = !mToggle;
    mHint = SwitchHint("W", mToggle != 0, "walkability");
    Grid().SetShowWalkability(mToggle != 0);
    LogRun("GCheatDrawWalkalability", __LINE__);
}

GCheatDrawGrid::GCheatDrawGrid() : GBaseCheat('G', "G - show grid") {}

void GCheatDrawGrid::RunCheat() {
    mToggle = !mToggle;
    mHint = SwitchHint("G", mToggle != 0, "grid");
    Grid().SetShowGrid(mToggle != 0);
    LogRun("GCheatDrawGrid", __LINE__);
}

GCheatDrawPathPoints::GCheatDrawPathPoints() : GBaseCheat('P', "P - show path points") {}

void GCheatDrawPathPoints::RunCheat() {
    mToggle = !mToggle;
    mHint = SwitchHint("P", mToggle != 0, "path points");
    Grid().SetShowPathPoints(mToggle != 0);
    LogRun("GCheatDrawPathPoints", __LINE__);
}

GCheatStartObjectEditor::GCheatStartObjectEditor() : GBaseCheat('O', "O - object editor") {}

void GCheatStartObjectEditor::RunCheat() {
    Manager().StartObjectEditor();
    LogRun("GCheatStartObjectEditor", __LINE__);
}

GCheatReloadAll::GCheatReloadAll() : GBaseCheat('R', "R - reload all") {}

void GCheatReloadAll::RunCheat() {
    Manager().ReloadAll();
    LogRun("GCheatReloadAll", __LINE__);
}

GCheatEndGameWin::GCheatEndGameWin() : GBaseCheat('A', "A - cheat win") {}

void GCheatEndGameWin::RunCheat() {
    if (GLevel* level = RunningLevel()) {
        level->SetResult(level->IsExpertReached() ? 3 : 2);
    }
    LogRun("GCheatEndGameWin", __LINE__);
}

GCheatEndGameLoose::GCheatEndGameLoose() : GBaseCheat('Z', "Z - cheat loose") {}

void GCheatEndGameLoose::RunCheat() {
    if (GLevel* level = RunningLevel()) {
        level->SetResult(1);
    }
    LogRun("GCheatEndGameLoose", __LINE__);
}

GCheatPositionEditor::GCheatPositionEditor() : GBaseCheat('Q', "Q - start position editor") {}

void GCheatPositionEditor::RunCheat() {
    GLogicalManager& manager = Manager();
    if (manager.IsPositionEditorOn()) {
        manager.StopPositionEditor(true);
        mHint = "Q - start position editor";
    } else if (manager.GetLiveScenes().empty() && manager.StartPositionEditor() != 0) {
        mHint = "Q - stop position editor";
    }
    LogRun("GCheatPositionEditor", __LINE__);
}

GCheatJumpToNextLevel::GCheatJumpToNextLevel() : GBaseCheat(kKeyPageUp, "PgUp - next level") {}

void GCheatJumpToNextLevel::RunCheat() {
    RunMainScript("CheatLevel(1);");
    LogRun("GCheatJumpToNextLevel", __LINE__);
}

GCheatJumpToPrevLevel::GCheatJumpToPrevLevel() : GBaseCheat(kKeyPageDown, "PgDn - prev level") {}

void GCheatJumpToPrevLevel::RunCheat() {
    RunMainScript("CheatLevel(-1);");
    LogRun("GCheatJumpToPrevLevel", __LINE__);
}

GCheatJumpToLevelNumber::GCheatJumpToLevelNumber() : GBaseCheat('L', "L - jump to level") {}

void GCheatJumpToLevelNumber::RunCheat() {
    RunMainScript("DoModal('scripts/jump_level.lua');");
    LogRun("GCheatJumpToLevelNumber", __LINE__);
}

GCheatAddScores::GCheatAddScores() : GBaseCheat('S', "S - add 1000 scores") {}

void GCheatAddScores::RunCheat() {
    Manager().AddScore(1000);
    LogRun("GCheatAddScores", __LINE__);
}

GCheatAddScoresToPowers::GCheatAddScoresToPowers() : GBaseCheat('I', "I - add 5 to powers") {}

void GCheatAddScoresToPowers::RunCheat() {
    Manager().AddPowerScore(5);
    LogRun("GCheatAddScoresToPowers", __LINE__);
}

GCheatToggleDrawObjectRects::GCheatToggleDrawObjectRects(GGameCtrl& control)
    : GBaseCheat('K', "K - draw object rects"), mControl(control) {}

void GCheatToggleDrawObjectRects::RunCheat() {
    mToggle = !mToggle;
    mControl.SetDrawObjectRects(mToggle != 0);
    LogRun("GCheatToggleDrawObjectRects", __LINE__);
}
