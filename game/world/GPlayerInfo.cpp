#include "game/world/GPlayerInfo.h"

#include "engine/core/log.h"
#include "engine/core/prefs.h"
#include "engine/script/lua/lauxlib.h"
#include "engine/script/luawrapper.h"
#include "engine/system/platform.h"
#include "game/common/GUserManager.h"
#include "game/common/LuaValues.h"
#include "game/common/WindowScriptState.h"
#include "game/world/GPlayerInfoScript.h"
#include "game/world/ScriptCall.h"

#include <memory>

namespace {

constexpr char kProgressKey[] = "gGlobalPlayerInfo";
constexpr char kDamagedKey[] = "gGlobalPlayerInfo.bad";

// The preferences store of the user manager, or, without one, a store of the call's own that
// reads the file and is written explicitly (a store never saves on its own).
class GPrefsAccess {
public:
    GPrefsAccess() {
        GUserManager* users = GetUserManager();
        mPrefs = users != nullptr ? users->GetPrefs() : nullptr;
        if (mPrefs == nullptr) {
            mOwn = std::make_unique<TPrefs>(true);
            mPrefs = mOwn.get();
        }
        mUser = mPrefs->GetInt("curuser", -1, -1);
    }

    // The current player's index; -1, none selected, addresses the global record.
    int User() const { return mUser; }
    str GetString(const char* key) const { return mPrefs->GetString(key, str(), mUser); }
    int GetInt(const str& key, int defaultValue) const {
        return mPrefs->GetInt(key, defaultValue, mUser);
    }
    void SetString(const char* key, const str& value, bool save) {
        mPrefs->SetString(key, value, mUser, save);
    }
    void SetInt(const str& key, int value) { mPrefs->SetInt(key, value, mUser, true); }

private:
    TPrefs* mPrefs;
    std::unique_ptr<TPrefs> mOwn;
    int mUser;
};

// The stored text evaluated on its own, as an expression in an empty environment: it can build a
// value but reach no global, and nothing is assigned before it is known to read back. True with
// the value on the top of the stack; false with the error in *error and the stack as it was.
bool EvaluateStoredText(lua_State* state, const str& text, str* error) {
    const int top = lua_gettop(state);
    // The line break ends a comment the text may close with.
    const str chunk = str("return ") + text + str("\n");
    int status = luaL_loadbuffer(state, chunk.CStr(), static_cast<size_t>(chunk.Length()),
                                 "=stored progress");
    if (status == 0) {
        lua_newtable(state);
        lua_setfenv(state, -2);
        status = lua_pcall(state, 0, 1, 0);
    }
    if (status == 0) {
        return true;
    }
    const char* message = lua_tostring(state, -1);
    *error = message != nullptr ? str(message) : str("no error text");
    lua_settop(state, top);
    return false;
}

} // namespace

GPlayerInfo* GPlayerInfo::Instance() {
    static GPlayerInfo info;
    info.PublishIfMissing();
    return &info;
}

GPlayerInfo::~GPlayerInfo() {
    WithdrawFromWindowScript(this, mScriptState);
}

void GPlayerInfo::PublishIfMissing() {
    mScriptState = PublishIfMissingIn(mScriptState, kPlayerInfoProbe,
                                      [this](lua_State* state) { PublishPlayerInfo(state, this); });
}

void GPlayerInfo::Load() {
    TScript* script = WindowScript();
    if (script == nullptr) {
        Log("GPlayerInfo::Load: no window script to load the progress into");
        return;
    }
    GPrefsAccess prefs;
    const str text = prefs.GetString(kProgressKey);
    if (text.Length() > 0) {
        lua_State* state = script->GetState();
        str error;
        if (EvaluateStoredText(state, text, &error)) {
            lua_pushstring(state, kProgressKey);
            lua_insert(state, -2);
            lua_settable(state, LUA_GLOBALSINDEX);
            script->DoLuaString("CheckVersionProfiles(); SetGlobalVariable();");
            return;
        }
        // Left in place, the previous player's table would be saved into this player's record.
        Log("GPlayerInfo::Load: the progress of user %d does not read back (%s); kept under "
            "%s, the player starts from the defaults",
            prefs.User(), error.CStr(), kDamagedKey);
        prefs.SetString(kDamagedKey, text, false);
    }
    script->DoLuaString("SetDefaultInfo();");
    script->DoLuaString("SetGlobalVariable();");
}

void GPlayerInfo::Save() {
    TScript* script = WindowScript();
    std::unique_ptr<TLuaTable> table(script != nullptr ? script->GetGlobalTable(kProgressKey)
                                                       : nullptr);
    if (table == nullptr) {
        Log("GPlayerInfo::Save: there is no %s table; the program quits", kProgressKey);
        if (TPlatform* platform = TPlatform::GetInstance()) {
            platform->PostQuit(1);
        }
        return;
    }
    script->DoLuaString("SetUserVariable();");
    const str text = LuaValueToText(table.get(), false);
    GPrefsAccess prefs;
    prefs.SetString(kProgressKey, text, true);
}

void GPlayerInfo::CPP_ClearCurrentProfile() {
    if (TScript* script = WindowScript()) {
        script->DoLuaString("SetDefaultInfo();");
    }
    Save();
}

int GPlayerInfo::CPP_GetLastLevelNum() {
    return ScriptCallInt(WindowScript(), "GetCountLevel", 0);
}

int GPlayerInfo::LevelCompleted(int level, int score, bool expertReached) {
    ScriptCall(WindowScript(), "LevelCompleted", 0, level, score, expertReached ? 1 : 0);
    Save();
    return 1;
}

int GPlayerInfo::UpgradeBuyed(const str& owner, int price, int level, int index) {
    return ScriptCallInt(WindowScript(), "UpgradeBuyed", owner, price, level, index);
}

int GPlayerInfo::GetUpgradeIndex(const str& object, int level) {
    return ScriptCallInt(WindowScript(), "GetUpgradeIndex", object, level);
}

int GPlayerInfo::GetMoney() {
    return ScriptCallInt(WindowScript(), "GetMoney");
}

int GPlayerInfo::GetTotalScore() {
    return ScriptCallInt(WindowScript(), "GetTotalScore");
}

void GPlayerInfo::SetUserValue(const str& key, int value) {
    GPrefsAccess prefs;
    prefs.SetInt(key, value);
}

int GPlayerInfo::GetUserValue(const str& key, int defaultValue) {
    const GPrefsAccess prefs;
    return prefs.GetInt(key, defaultValue);
}
