// The window system's one script: the TScript with its own Lua state that dialogs, menus and the
// game main use. Dialog scripts wait for messages inside its coroutine; a native call of a Lua
// function while they wait runs inside the coroutine. Created by the platform and handed to the
// window manager; the main task list runs and deletes it. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/script/script.h"

#include <map>

class TWindow;

class TWindowScript : public TScript {
public:
    // Null opens a Lua state of its own.
    explicit TWindowScript(lua_State* state = nullptr);
    // Collects the state fully while its objects are still alive, then closes it.
    ~TWindowScript() override;

    // Stops the movie the script waits for, if any, and resumes the script.
    void AbortMovie();
    // Window labels are looked up in the string table while set; answers the previous value.
    bool SetTranslateLabels(bool on);
    bool GetTranslateLabels() const { return mTranslateLabels; }

    // A create function of a window type: makes one default window of the type.
    using TCreateFunction = TWindow* (*)();
    // Defines the Lua constructor of the type name (a call such as Button{ ... } announces the
    // table to the library's Creating, stores the type name in it and answers a closure that
    // builds it with DoWindow) and files the create function under the name, replacing an
    // earlier one.
    void RegisterWindowType(const str& name, TCreateFunction create);
    // The create function filed under the name, or null.
    TCreateFunction FindWindowType(const str& name) const;

protected:
    // Hands the closure on the stack top to the waiting coroutine, as a command with no message.
    bool CallWhileSuspended() override;

private:
    bool mTranslateLabels = false;
    std::map<str, TCreateFunction> mWindowTypes;
};
