// The window system's one script: the TScript with its own Lua state that dialogs, menus and the
// game main use. It publishes the native window functions, keeps the window types by name and the
// creation stack (the windows that receive the windows a description creates), hands messages no
// window took to Lua, and holds the movie player. Dialog scripts wait for messages inside its
// coroutine; a native call of a Lua function while they wait runs inside the coroutine. Created by
// the platform and handed to the window manager; the main task list runs and deletes it. Main
// thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/script/script.h"

#include <map>
#include <memory>
#include <vector>

class TFlashPlayer;
class TLuaFunction;
class TLuaTable;
class TMessage;
class TWindow;
class TWindowManager;

class TWindowScript : public TScript {
public:
    // What the coroutine is doing, as far as messages are concerned.
    enum : int32_t {
        kWaitResumeFailed = 0,
        kWaitNone = 1,
        kWaitForMessage = 3,
    };

    // Null opens a Lua state of its own. Publishes the native window functions, files the types
    // "Bitmap", "Button", "Text" and "Window" and creates the message metatable.
    explicit TWindowScript(lua_State* state = nullptr);
    // Stops the movie, collects the state fully while its objects are still alive (every message
    // a userdata owns goes), then closes it.
    ~TWindowScript() override;

    // Window labels are looked up in the string table while set; answers the previous value.
    bool SetTranslateLabels(bool on);
    bool GetTranslateLabels() const { return mTranslateLabels; }

    // A create function of a window type: makes one default window of the type.
    using TCreateFunction = TWindow* (*)();
    // Defines the Lua constructor of the type name (a call such as Button{ ... } announces the
    // table to the library's Creating, stores the type name in it and answers a closure that
    // builds it with DoWindow) and files the create function under the name, replacing an
    // earlier one. The name is pasted into Lua text: one that is no Lua identifier is refused.
    void RegisterWindowType(const str& name, TCreateFunction create);
    // The create function filed under the name, or null.
    TCreateFunction FindWindowType(const str& name) const;

    // The creation stack. Besides windows it holds two kinds of stand-in: the entry of a
    // description that created no window (the windows created while it is on top go to the
    // nearest window below it; it keeps no name and gets no PostCreate), and the entry of a window
    // that was queued for deletion (nothing is created in it or acts on it).
    // Empties the stack and pushes the window, unless it is null.
    void ResetCreationStack(TWindow* window);
    void PushWindow(TWindow* window);
    // Drops the top entry, unless the stack holds one entry or none.
    void PopWindow();
    // Links the window into the creation parent, runs its Init over the description and pushes
    // it; sets gDialogWidth and gDialogHeight to its size. False when there is no creation parent
    // or it refused the child: the window is then deleted.
    bool AddWindow(TWindow* window, const TLuaTable& description);
    // The top entry when it is a window; null for a stand-in or an empty stack.
    TWindow* GetCreationTop() const;
    // The window the top entry stands for: the nearest window below a stand-in of a description
    // that created none; null on an empty stack or where a deleted window stands.
    TWindow* GetCreationParent() const;
    size_t GetCreationDepth() const { return mCreationStack.size(); }
    // The window is about to go: its entries, and with `inside` those of every window inside it,
    // become stand-ins of deleted windows.
    void ForgetWindow(const TWindow* window, bool inside);

    // Hands a message and/or a command (either may be null) to Lua: appended to gMessageQueue and
    // gCommandQueue while the coroutine is not suspended, handed to it when it waits in
    // HandleGetMessage, else the command runs at once and the message is discarded (false). Takes
    // the message in every case; the caller keeps the command.
    bool QueueMessage(TMessage* message, TLuaFunction* command);
    int32_t GetWaitState() const { return mWaitState; }

    // Stops and deletes the movie player, if any, and resumes the script waiting for it.
    void AbortMovie();
    bool HasMoviePlayer() const { return mMoviePlayer != nullptr; }

protected:
    // Hands the closure on the stack top to the waiting coroutine, as a command with no message.
    bool CallWhileSuspended() override;

private:
    struct TCreationEntry {
        // Null for a stand-in.
        TWindow* window;
        // A stand-in of a window that was queued for deletion.
        bool deleted;
    };

    void PublishGlobals();
    // The top modal window's descendant (or itself) of that name, or null.
    static TWindow* FindInTopModal(const str& name);
    // Pushes the message's Lua value: the userdata a TLuaMessageWrapper keeps, else a new message
    // userdata that takes the message. Deletes the wrapper.
    void PushMessageValue(std::unique_ptr<TMessage> message);
    // Runs the Lua text that appends the value on the stack top (popped) to a queue.
    void AppendToQueue(const char* global, const char* text);

    // Lua globals bound to the script; see windowscriptglobals.cpp for those that act on windows
    // by name.
    void LuaPostCreate(TLuaTable& description);
    str LuaGetLabel(const str& name);
    void LuaRegisterHotkey(const str& key, const str& button);
    void LuaSetLabel(const str& name, const str& text);
    str LuaTagHotKey(const str& key, const str& label);
    void LuaSetBitmap(const str& name, const str& path, float scale);
    void LuaSetPosition(const str& name, int x, int y);
    int LuaSetCommand(lua_State* state);
    int LuaStripKeyFromLabel(lua_State* state);
    void LuaSetWindowName(const str& name);
    void LuaFillRect(TLuaTable& rect, TLuaTable& color);
    void LuaDoSelectLayer(int layer);
    bool LuaEnableWindow(const str& name, bool on);
    bool LuaGetButtonToggleState(const str& name);
    void LuaSetButtonToggleState(const str& name, bool on);
    void LuaPopWindow();
    void LuaRealSetFocus(const str& name);
    void LuaUpdateWindow();
    str LuaPushModal(const str& name);
    void LuaClearModalChildren();
    int LuaGetWindowDepth();
    int LuaHandleGetMessage(lua_State* state);
    void LuaGenericCreate(TLuaTable& description);
    int LuaCreateCloseMessage(lua_State* state);
    int LuaPostMessage(lua_State* state);
    int LuaPostMessageToParent(lua_State* state);
    str LuaLocalizedString(const str& label, const str& a1, const str& a2, const str& a3,
                           const str& a4, const str& a5);
    bool LuaStartMovie(const str& file, bool translate, bool allowInput);
    bool LuaIsMoviePlaying();
    void LuaStopMovie();
    bool LuaImageLoaded(const str& name);
    void LuaDestroyWindow(const str& name);
    void LuaDoFitToChildren();

    // Posts the message userdata at stack index 1 to `target`; refuses anything else.
    void PostLuaMessage(lua_State* state, const char* function, TWindow* target);

    bool mTranslateLabels = false;
    int32_t mWaitState = kWaitNone;
    std::map<str, TCreateFunction> mWindowTypes;
    // Not owned; the last entry is the creation top.
    std::vector<TCreationEntry> mCreationStack;
    std::unique_ptr<TFlashPlayer> mMoviePlayer;
};
