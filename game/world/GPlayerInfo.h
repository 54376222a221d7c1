// The bridge between the current player's saved progress and the scripts that own its content: the
// main window script's table "gGlobalPlayerInfo", kept in the player's preferences record as Lua
// text, loaded and saved here; the figures the game needs are asked of the scripts' functions, so
// every rule of progress lives in Lua. One instance for the process, made on first use; it keeps
// "CPP_LoadGO", "CPP_WriteGO", "CPP_GetLastLevelNum" and "CPP_ClearCurrentProfile" published in
// the window script. Every operation works on the user manager's preferences store of the moment;
// without a user manager, on the preferences file through a store of the call's own. Main thread
// only.
#pragma once

#include "engine/core/str.h"

struct lua_State;

class GPlayerInfo {
public:
    // The instance; its Lua functions are in the window script once this returns.
    static GPlayerInfo* Instance();

    GPlayerInfo(const GPlayerInfo&) = delete;
    GPlayerInfo& operator=(const GPlayerInfo&) = delete;

    // The table from the current player's stored text, checked by "CheckVersionProfiles", then
    // the scripts' working globals from it. A player without a text, or with one that does not
    // evaluate as a Lua value, starts from "SetDefaultInfo"; a damaged text is logged and kept in
    // the record under "gGlobalPlayerInfo.bad".
    void Load();
    // "CPP_LoadGO".
    void CPP_LoadGO() { Load(); }
    // The scripts' working globals into the table ("SetUserVariable"), then the table's text into
    // the current player's record, and the preferences file is written. Without a table the
    // program is asked to quit (code 1) and nothing is written. "CPP_WriteGO".
    void Save();
    // "CPP_ClearCurrentProfile": the defaults, saved even when they equal what was stored.
    void CPP_ClearCurrentProfile();
    // "CPP_GetLastLevelNum": the scripts' "GetCountLevel" (0).
    int CPP_GetLastLevelNum();

    // The scripts book a won level; then the progress is saved. Answers 1.
    int LevelCompleted(int level, int score, bool expertReached);
    // The scripts book a bought upgrade and answer whether they did; nothing is saved.
    int UpgradeBuyed(const str& owner, int price, int level, int index);
    // The index of the upgrade bought for the object up to the level, 0 for none.
    int GetUpgradeIndex(const str& object, int level);
    int GetMoney();
    int GetTotalScore();

    // The integer under the key in the current player's record; the file is written at once.
    void SetUserValue(const str& key, int value);
    // The integer under the key in the current player's record, else the default.
    int GetUserValue(const str& key, int defaultValue);

private:
    GPlayerInfo() = default;
    // Withdraws the Lua functions from the window script they were published in, while it lives.
    ~GPlayerInfo();

    // Publishes the Lua functions again when the window script lacks them: one made after the
    // instance (by a platform made anew) starts without them.
    void PublishIfMissing();

    // The state the Lua functions were published in; null when there was no window script.
    lua_State* mScriptState = nullptr;
};
