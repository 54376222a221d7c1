// The engine's script runner: one Lua state with the libraries every engine script gets, running
// Lua text, files and global functions, and resuming a function returned by a script as a
// coroutine from its own timer task. Every script user (window script, levels, game objects,
// scene list, tutorials, particle systems) holds one. Main thread only.
#pragma once

#include "engine/core/animtask.h"
#include "engine/core/color.h"
#include "engine/core/str.h"
#include "engine/script/lua/lua.h"

#include <vector>

class TLuaObjectWrapper;
class TLuaTable;

// Where RunScript looks for script files.
extern const char* const gScriptSearchPath;

class TScript : public TAnimTask {
public:
    // Opens a new state when none is given. The task stays stopped until a coroutine starts.
    explicit TScript(lua_State* state = nullptr);
    // Deletes the adopted wrappers, then the owner when one is set, else closes the state.
    ~TScript() override;
    TScript(const TScript&) = delete;
    TScript& operator=(const TScript&) = delete;

    lua_State* GetState() const { return mState; }
    // Destroying the script deletes the owner instead of closing the state.
    void SetOwner(class TScriptOwner* owner) { mOwner = owner; }

    // Opens the libraries and defines "_ALERT", "DebugOut", "DumpTable" and "_SCRIPT".
    void Init();

    // Protected call of the function below nargs arguments on the top, "_ALERT" handling errors.
    // 0 with nresults results on the stack, else the Lua error code with the stack as it was below
    // the function. While the coroutine is suspended, calls with at most one result are offered
    // to CallWhileSuspended wrapped in a closure. A function returned as the one result starts as
    // the script's coroutine.
    int RunFunction(int nargs, int nresults);
    // Runs Lua text (length -1: the whole text). With nresults > 0 the results stay on the stack,
    // else the stack ends as it was found. Errors are logged and handed to "LuaErrorMessage"; the
    // stack is then left as it was found.
    void DoLuaString(const str& text, int length = -1, int nresults = 0);
    // Loads the file through the compiled-chunk cache and runs it; false when it is missing or
    // fails.
    bool RunScript(const str& file);
    // Resumes the coroutine with the nargs values on the top.
    int Resume(int nargs);
    bool IsYielded() const;

    str GetGlobalString(const str& name);
    double GetGlobalNumber(const str& name);
    // A new wrapper owned by the caller, or null when the global is no table.
    TLuaTable* GetGlobalTable(const str& name);
    void SetGlobalString(const str& name, const str& value);
    void SetGlobalNumber(const str& name, double value);

    double PopNumber();
    str PopString();
    bool PopBool();
    TColor PopColor();

    // The wrapper is deleted before the next RunFunction or Resume, or with the script.
    void Adopt(TLuaObjectWrapper* wrapper);

protected:
    // Resumes the coroutine once per task run; stops the task when it ends or fails.
    bool Animate() override;
    // Called with a closure on the top while the coroutine is suspended; must remove it. True when
    // it took the call over; false makes RunFunction call the closure at once.
    virtual bool CallWhileSuspended();

private:
    void DeleteAdopted();
    // RunFunction; with keepError the error value stays on the top after a failure.
    int Call(int nargs, int nresults, bool keepError);

    lua_State* mState;
    class TScriptOwner* mOwner = nullptr;
    std::vector<TLuaObjectWrapper*> mAdopted;
};

// An object a script may own in place of its state (the state then belongs to it).
class TScriptOwner {
public:
    virtual ~TScriptOwner() = default;
};
