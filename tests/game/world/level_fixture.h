// A game folder with fixture stage and game-data files for levels built by the game data: the
// window script stands for the main script with fake progress functions, and its "DoModal" and
// "HidePowerButtons" note the dialogs the world opens; the world's hooks toward the shell note
// what they are told. Girls are a fixture class the manager files as girls.
#pragma once

#include "engine/core/assetmanager.h"
#include "engine/core/knownfiles.h"
#include "engine/ui/windowscript.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GObjectFactory.h"
#include "tests/game/world/world_object_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace world_test {

// A girl as the manager and the level tell one: by her class name and kind.
class TFixtureGirl : public GGameObject {
public:
    const char* GetClassName() const override { return "GStudent"; }
    bool IsStudent() const override { return true; }
    GGameObject* Clone() const override {
        auto* copy = new TFixtureGirl;
        copy->CopyFrom(*this);
        return copy;
    }
};

// Notes each base-type extension it is placed with (its "extra", or "-" without one).
class TExtensionProbe : public GGameObject {
public:
    static inline std::vector<std::string> sExtensions;

    GGameObject* Clone() const override {
        auto* copy = new TExtensionProbe;
        copy->CopyFrom(*this);
        return copy;
    }
    bool InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                     GLevel* level) override {
        sExtensions.emplace_back(typeExtension != nullptr ? typeExtension->GetString("extra").CStr()
                                                          : "-");
        return GGameObject::InitInLevel(objectTable, typeExtension, extraLua, level);
    }
};

inline const bool gFixtureClassesRegistered =
    GObjectFactory::Instance().RegisterObjectCreator(
        "FixtureGirl", [] { return static_cast<GGameObject*>(new TFixtureGirl); }) &&
    GObjectFactory::Instance().RegisterObjectCreator(
        "ExtensionProbe", [] { return static_cast<GGameObject*>(new TExtensionProbe); });

struct TLevelHooks final : GLogicalManagerHooks {
    std::vector<std::string> calls;
    bool gameWindow = false;

    void Note(const std::string& call) { calls.push_back(call); }
    bool HasGameWindow() override { return gameWindow; }
    void SetBackground(const str& background) override {
        Note(std::string("background ") + background.CStr());
    }
    void UpdateJudgingCount() override { Note("judging count"); }
    int PlacePowerButton(const str& power, int position) override {
        Note("power button " + std::string(power.CStr()) + " " + std::to_string(position));
        return 1;
    }
    void SetMoney(int money) override { Note("money " + std::to_string(money)); }
    void SetGuideGlow(bool on) override { Note(on ? "glow on" : "glow off"); }
    void StopScoreText() override { Note("stop score text"); }
    void LoadLevel(int level, int stage) override {
        Note("load " + std::to_string(level) + " " + std::to_string(stage));
    }
    void SetScore(int score) override { Note("score " + std::to_string(score)); }
    void SetGoals(int goal, int expert) override {
        Note("goals " + std::to_string(goal) + " " + std::to_string(expert));
    }
    void AddDistance(int distance) override { Note("distance " + std::to_string(distance)); }
    void QueueLuaText(const str& text) override { Note(std::string("queue ") + text.CStr()); }
    void TutorialClick(GGameObject* object) override {
        Note(std::string("tutorial click ") + object->GetName().CStr());
    }
};

// The main script's side: fake progress ("GetUpgradeIndex" answers from gUpgradeIndex by object
// name, noting each question) and the dialogs noted in gRan.
inline const char kMainScript[] = R"(
gRan = ''
gAsked = ''
gUpgradeIndex = {}
gMoney = 0
gTotalScore = 0
gTotalScoreAsked = 0
gCompleted = ''
function DoModal(file) gRan = gRan .. file .. ';' end
function HidePowerButtons() gRan = gRan .. 'hide;' end
function GetUpgradeIndex(object, level)
  gAsked = gAsked .. object .. '@' .. level .. ';'
  return gUpgradeIndex[object] or 0
end
function UpgradeBuyed() return 1 end
function LevelCompleted(level, score, expert)
  gCompleted = gCompleted .. level .. ',' .. score .. ',' .. expert .. ';'
end
function GetMoney() return gMoney end
function GetTotalScore() gTotalScoreAsked = gTotalScoreAsked + 1 return gTotalScore end
function SetUserVariable() end
)";

// Game data whose scenes make no combos; a scene asks for its combo group when it begins.
constexpr char kNoComboGroups[] = "function IsInComboList(name) return '' end\n";

class TLevelTest : public TWorldObjectTest {
protected:
    void SetUp() override {
        TWorldObjectTest::SetUp();
        ASSERT_TRUE(gFixtureClassesRegistered);
        TExtensionProbe::sExtensions.clear();
        Main(kMainScript);
        GLogicalManager::Instance().SetHooks(&mHooks);
        WriteGameData("");
    }

    void TearDown() override {
        mGameData.DestroyLevel();
        for (const auto& [name, text] : mFiles) {
            RegisterMemoryFile(name.c_str(), nullptr, 0);
        }
        GLogicalManager& manager = GLogicalManager::Instance();
        manager.ResetLevel();
        manager.SetGameState(0);
        manager.SetHooks(nullptr);
        TWorldObjectTest::TearDown();
    }

    static void Main(const std::string& text) {
        Manager()->GetWindowScript()->DoLuaString(text.c_str());
    }
    static std::string MainText(const char* name) {
        return Manager()->GetWindowScript()->GetGlobalString(name).CStr();
    }
    static double MainNumber(const char* name) {
        return Manager()->GetWindowScript()->GetGlobalNumber(name);
    }

    // The engine's files: served from memory, the compiled chunk of an older text dropped.
    void WriteFile(const std::string& name, const std::string& text) {
        std::string& stored = mFiles[name];
        stored = text;
        RegisterMemoryFile(name.c_str(), stored.data(), static_cast<unsigned>(stored.size()));
        if (TAssetManager* assets = GetAssetManager()) {
            assets->Remove(name.c_str());
        }
    }
    void WriteStage(const std::string& text) { WriteFile(GLevel::kStageFile, text); }
    // The text after the fixture's function of no combo groups, which it may define again.
    void WriteGameData(const std::string& text) {
        WriteFile(GGameData::kScriptFile, kNoComboGroups + text);
    }
    // The game data loaded from the fixture file, then the level started.
    bool Start(int level, int stage = 1) {
        mGameData.Load();
        return mGameData.StartLevel(level, stage);
    }
    GLevel* Level() const { return mGameData.GetLevel(); }

    TLevelHooks mHooks;
    std::map<std::string, std::string> mFiles;
};

} // namespace world_test
