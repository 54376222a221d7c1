// The game-wide holder of the upgrade and power tables and of the current level. It runs
// "scripts/stages/game_datas.lua" in a Lua state of its own, reads its "Upgrades" table into
// groups of upgrade records (one per power or upgradable object), answers what objects, the
// logical manager and the windows ask about upgrades, powers, combos and touch-ups, and creates,
// restarts and destroys the current level, which it owns. The game control's mouse and keys reach
// the level through it. Owned by the object factory; main thread only.
#pragma once

#include "engine/core/rect.h"
#include "engine/core/str.h"
#include "game/world/GUpgradeData.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class GGameObject;
class GLevel;
class TLuaTable;
class TScript;
struct lua_State;

class GGameData {
public:
    static constexpr const char* kScriptFile = "scripts/stages/game_datas.lua";

    GGameData();
    // The level goes first, then the groups and the script.
    ~GGameData();
    GGameData(const GGameData&) = delete;
    GGameData& operator=(const GGameData&) = delete;

    // Runs the script (made when there is none) and reads "Upgrades"; publishes "Restart" in the
    // main window script.
    void Load();
    // A fresh script, groups and touch-up cache, then Load.
    void Reload();

    // Set while the game closes the level: tasks destroyed then do not unhook their timers.
    bool IsClosing() const { return mClosing; }
    void SetClosing(bool closing) { mClosing = closing; }

    // The level replaces the current one; false (and no level) when it did not load.
    bool StartLevel(int level, int stage);
    // 0 without a level.
    int DestroyLevel();
    int CloseLevel();
    // Lua "Restart": the same level and stage again through the game window; 0 without a level or
    // game window.
    int Restart();
    // The level-goal dialog of the current level, in the main window script.
    void ShowLevelGoalDialog();

    // -1 when no upgrade group is named like the object; 1 when the next upgrade level is offered
    // on the current level (copied out); 0 otherwise.
    int GetObjectUpgrade(const GGameObject* object, int upgradeLevel, GUpgradeData& record);
    // The record of the group at the 0-based position, or null.
    const GUpgradeData* FindUpgrade(const str& name, int position) const;
    // The first record of the object's group with that upgrade level, or null.
    const GUpgradeData* FindUpgradeByLevel(const str& object, int upgradeLevel) const;
    // Whether an upgrade group is named like the object: it is on sale.
    bool HasUpgradeGroup(const str& name) const { return FindGroup(name) != nullptr; }
    // The first record's upgrade level; -1 without a group.
    int GetFirstUpgradeLevel(const str& name) const;
    // Whether touch-ups are offered on the level (below 1: the current or loading level).
    bool IsTouchupAvailable(int level);
    // The power at the 0-based display position; empty outside.
    str GetPowerName(int position) const;
    size_t GetPowerCount() const { return mPowerNames.size(); }
    // Kind 1 (the energy boost) only: its speed and action time, 1; other kinds 0.
    int GetPowerData(int kind, int& speed, int& actionTime);
    // The script's "GetPowerData" (power, parameter).
    int GetPowerParam(const str& power, const str& parameter);
    // The script's "GetUpgradeDataParam" with the three arguments.
    int GetUpgradeDataParam(const str& first, int number, const str& last);
    // How many times in a row the name's combo group came back; 0 without group or level.
    // The combo count the scene name makes in a row; `group`, when given, gets its combo group.
    int IsInComboList(const str& name, str* group = nullptr);
    // The girl base type of the girl type index 1 to 8; empty when none was read.
    str GetGirlBaseType(int index) const;
    bool IsPowerMeterEnabled(int /*level*/) const { return false; }

    // To the current level's objects; true.
    bool OnMouseDown(TPoint point);
    bool OnMouseUp(TPoint point);
    bool OnMouseMove(TPoint point);
    // The level ignores keys: false.
    bool OnKeyDown(int key, int modifiers);
    bool OnKeyUp(int key);

    GLevel* GetLevel() const { return mLevel.get(); }
    // The loading level's number while a level is created, else the current level's; 0 without.
    int GetCurrentLevelNumber() const;
    // 0 idle, 1 a level is being created, 2 created and taken by the game window.
    int GetLoadState() const { return mLoadState; }
    int GetOfferCount() const { return mOfferCount; }

private:
    struct GUpgradeGroup {
        int32_t mKind = 0;
        str mName;
        std::vector<GUpgradeData> mRecords;
    };
    static constexpr int32_t kPowerGroup = 3;
    static constexpr int32_t kObjectGroup = 2;

    void ReadUpgrades();
    void ReadPowers(const TLuaTable& powers);
    void ReadObject(const TLuaTable& object);
    const GUpgradeGroup* FindGroup(const str& name) const;

    std::map<int, str> mGirlBaseTypes;
    bool mClosing = false;
    std::unique_ptr<GLevel> mLevel;
    std::unique_ptr<TScript> mScript;
    std::map<str, GUpgradeGroup> mGroups;
    bool mTouchupAnswer = false;
    int32_t mTouchupLevel = -1;
    int32_t mLoadState = 0;
    int32_t mLoadingLevel = 0;
    int32_t mOfferCount = 0;
    std::vector<str> mPowerNames;
    // The main window script "Restart" was published in; null when there was none.
    lua_State* mPublished = nullptr;
};
