// The window script: its globals, the window types, the creation stack, window creation, messages
// and waits, and movies. The globals that act on windows by name are in windowscriptglobals.cpp.

#include "engine/ui/windowscript.h"

#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/media/flashplayer.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/luabinding.h"
#include "engine/script/luawrapper.h"
#include "engine/system/platform.h"
#include "engine/ui/button.h"
#include "engine/ui/image.h"
#include "engine/ui/message.h"
#include "engine/ui/slider.h"
#include "engine/ui/text.h"
#include "engine/ui/textedit.h"
#include "engine/ui/window.h"
#include "engine/ui/windowlibrary.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscriptmessages.h"
#include "engine/ui/windowstyle.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

TWindowScript::TWindowScript(lua_State* state) : TScript(state) {
    // A state handed in comes with its libraries.
    if (state == nullptr) {
        Init();
    }
    PublishGlobals();
    RegisterWindowType("Bitmap", &TImage::Create);
    RegisterWindowType("Button", &TButton::Create);
    RegisterWindowType("Slider", &TSlider::Create);
    RegisterWindowType("Text", &TText::Create);
    RegisterWindowType("TextEdit", &TTextEdit::Create);
    RegisterWindowType("Window", &TWindow::Create);
    CreateMessageMetatable(GetState());
    RunWindowLibrary(GetState());
}

TWindowScript::~TWindowScript() {
    // Deleting the player stops it.
    mMoviePlayer.reset();
    lua_setgcthreshold(GetState(), 0);
    mWindowTypes.clear();
    mCreationStack.clear();
}

void TWindowScript::PublishGlobals() {
    lua_State* state = GetState();
    TPlatform* platform = TPlatform::GetInstance();
    TWindowManager* manager = GetWindowManager();
    LuaPublish(state, "PostCreate", this, &TWindowScript::LuaPostCreate);
    LuaPublish(state, "GetLabel", this, &TWindowScript::LuaGetLabel);
    LuaPublish(state, "_RegisterHotkey", this, &TWindowScript::LuaRegisterHotkey);
    LuaPublish(state, "SetLabel", this, &TWindowScript::LuaSetLabel);
    LuaPublish(state, "TagHotKey", this, &TWindowScript::LuaTagHotKey);
    LuaPublish(state, "_SetBitmap", this, &TWindowScript::LuaSetBitmap);
    LuaPublish(state, "SetPosition", this, &TWindowScript::LuaSetPosition);
    LuaPublish(state, "SetCommand", this, &TWindowScript::LuaSetCommand);
    LuaPublish(state, "StripKeyFromLabel", this, &TWindowScript::LuaStripKeyFromLabel);
    LuaPublish(state, "SetWindowName", this, &TWindowScript::LuaSetWindowName);
    LuaPublish(state, "FillRect", this, &TWindowScript::LuaFillRect);
    LuaPublish(state, "GetTimer", &TPlatform::GetTime);
    LuaPublish(state, "GetConfig", &GetSetting);
    LuaPublish(state, "IsEnabled", &::IsEnabled);
    LuaPublish(state, "DoSelectLayer", this, &TWindowScript::LuaDoSelectLayer);
    LuaPublish(state, "EnableWindow", this, &TWindowScript::LuaEnableWindow);
    LuaPublish(state, "GetButtonToggleState", this, &TWindowScript::LuaGetButtonToggleState);
    LuaPublish(state, "SetButtonToggleState", this, &TWindowScript::LuaSetButtonToggleState);
    LuaPublish(state, "PopWindow", this, &TWindowScript::LuaPopWindow);
    LuaPublish(state, "RealSetFocus", this, &TWindowScript::LuaRealSetFocus);
    // The platform and the manager exist before the script in the engine; a script made without
    // them has no clipboard and no modal stack to pop.
    if (platform != nullptr) {
        LuaPublish(state, "StringToClipboard", platform, &TPlatform::SetClipboardText);
    }
    LuaPublish(state, "UpdateWindow", this, &TWindowScript::LuaUpdateWindow);
    LuaPublish(state, "PushModal", this, &TWindowScript::LuaPushModal);
    LuaPublish(state, "ClearModalChildren", this, &TWindowScript::LuaClearModalChildren);
    LuaPublish(state, "GetWindowDepth", this, &TWindowScript::LuaGetWindowDepth);
    if (manager != nullptr) {
        LuaPublish(state, "DoPopModal", manager, &TWindowManager::DoPopModal);
    }
    LuaPublish(state, "HandleGetMessage", this, &TWindowScript::LuaHandleGetMessage);
    LuaPublish(state, "GenericCreate", this, &TWindowScript::LuaGenericCreate);
    LuaPublish(state, "CreateNamedMessage", &LuaCreateNamedMessage);
    LuaPublish(state, "CreateCloseMessage", this, &TWindowScript::LuaCreateCloseMessage);
    LuaPublish(state, "PostMessage", this, &TWindowScript::LuaPostMessage);
    LuaPublish(state, "PostMessageToParent", this, &TWindowScript::LuaPostMessageToParent);
    LuaPublish(state, "_GetString", this, &TWindowScript::LuaLocalizedString);
    LuaPublish(state, "StartMovie", this, &TWindowScript::LuaStartMovie);
    LuaPublish(state, "IsMoviePlaying", this, &TWindowScript::LuaIsMoviePlaying);
    LuaPublish(state, "StopMovie", this, &TWindowScript::LuaStopMovie);
    LuaPublish(state, "ImageLoaded", this, &TWindowScript::LuaImageLoaded);
    LuaPublish(state, "DestroyWindow", this, &TWindowScript::LuaDestroyWindow);
    LuaPublish(state, "DoFitToChildren", this, &TWindowScript::LuaDoFitToChildren);
}

bool TWindowScript::SetTranslateLabels(bool on) {
    const bool previous = mTranslateLabels;
    mTranslateLabels = on;
    return previous;
}

bool TWindowScript::CallWhileSuspended() {
    lua_State* state = GetState();
    // The waiting HandleGetMessage receives (message, command): no message, the closure.
    lua_pushnil(state);
    lua_insert(state, -2);
    return Resume(2) == 0;
}

void TWindowScript::RegisterWindowType(const str& name, TCreateFunction create) {
    if (!IsLuaIdentifier(name)) {
        Log("TWindowScript::RegisterWindowType: '%s' is no Lua identifier", name.CStr());
        return;
    }
    const char* text = name.CStr();
    DoLuaString(
        str::FromFormat("function %s( table )\tCreating( '%s', table );\ttable.typename='%s';"
                        "\n\treturn function() DoWindow( table ) end end;",
                        text, text, text));
    mWindowTypes[name] = create;
}

TWindowScript::TCreateFunction TWindowScript::FindWindowType(const str& name) const {
    const auto found = mWindowTypes.find(name);
    return found != mWindowTypes.end() ? found->second : nullptr;
}

void TWindowScript::ResetCreationStack(TWindow* window) {
    mCreationStack.clear();
    if (window != nullptr) {
        mCreationStack.push_back(TCreationEntry{window, false});
    }
}

void TWindowScript::PushWindow(TWindow* window) {
    if (window != nullptr) {
        mCreationStack.push_back(TCreationEntry{window, false});
    }
}

void TWindowScript::PopWindow() {
    if (mCreationStack.size() > 1) {
        mCreationStack.pop_back();
    }
}

TWindow* TWindowScript::GetCreationTop() const {
    return mCreationStack.empty() ? nullptr : mCreationStack.back().window;
}

TWindow* TWindowScript::GetCreationParent() const {
    for (auto entry = mCreationStack.rbegin(); entry != mCreationStack.rend(); ++entry) {
        if (entry->deleted) {
            return nullptr;
        }
        if (entry->window != nullptr) {
            return entry->window;
        }
    }
    return nullptr;
}

void TWindowScript::ForgetWindow(const TWindow* window, bool inside) {
    for (TCreationEntry& entry : mCreationStack) {
        const TWindow* w = entry.window;
        while (w != nullptr && w != window) {
            w = inside ? w->GetParent() : nullptr;
        }
        if (w != nullptr) {
            entry = TCreationEntry{nullptr, true};
        }
    }
}

bool TWindowScript::AddWindow(TWindow* window, const TLuaTable& description) {
    if (window == nullptr) {
        return false;
    }
    TWindow* parent = GetCreationParent();
    if (parent == nullptr || !parent->AddChild(window, true)) {
        // Refused: the window belongs to nobody, so it goes.
        if (TWindowManager* manager = GetWindowManager()) {
            manager->DeleteWindowLater(window);
        } else {
            delete window;
        }
        return false;
    }
    TWindowStyle style(*this, description);
    window->Init(style);
    mCreationStack.push_back(TCreationEntry{window, false});
    DoLuaString(str::FromFormat("gDialogWidth = %d; gDialogHeight= %d ;", window->GetWidth(),
                                window->GetHeight()));
    return true;
}

void TWindowScript::LuaGenericCreate(TLuaTable& description) {
    if (mCreationStack.empty()) {
        return;
    }
    const str typeName = TWindowStyle(*this, description).GetString("typename", str());
    const TCreateFunction create = FindWindowType(typeName);
    // Nothing is made where a deleted window stands.
    TWindow* window = create != nullptr && GetCreationParent() != nullptr ? create() : nullptr;
    // A class-id function answers its own address: it makes no window.
    if (reinterpret_cast<uintptr_t>(window) == reinterpret_cast<uintptr_t>(create)) {
        window = nullptr;
    }
    if (!AddWindow(window, description)) {
        // The description's children are made in the creation parent, and the library's
        // PopWindow takes this entry, not the parent's.
        mCreationStack.push_back(TCreationEntry{nullptr, false});
    }
}

void TWindowScript::LuaPostCreate(TLuaTable& description) {
    if (TWindow* top = GetCreationTop()) {
        TWindowStyle style(*this, description);
        top->PostCreate(style);
    }
}

void TWindowScript::LuaSetWindowName(const str& name) {
    if (TWindow* top = GetCreationTop()) {
        top->SetName(name);
    }
}

void TWindowScript::LuaPopWindow() {
    PopWindow();
}

void TWindowScript::LuaDoFitToChildren() {
    if (TWindow* parent = GetCreationParent()) {
        parent->FitToChildren();
    }
}

void TWindowScript::PushMessageValue(std::unique_ptr<TMessage> message) {
    lua_State* state = GetState();
    if (message->IsKindOf(TLuaMessageWrapper::ClassId())) {
        const auto* wrapper = static_cast<const TLuaMessageWrapper*>(message.get());
        if (wrapper->GetState() == state) {
            // The very userdata that was posted; the carrier goes with `message`.
            wrapper->PushLuaMessage();
            return;
        }
        // Posted in another script's state: its userdata cannot cross over.
        message = std::make_unique<TMessage>(wrapper->GetKind(), wrapper->GetName(), nullptr);
    }
    PushMessageUserdata(state, std::move(message));
}

void TWindowScript::AppendToQueue(const char* global, const char* text) {
    lua_State* state = GetState();
    lua_pushstring(state, global);
    lua_insert(state, -2);
    lua_settable(state, LUA_GLOBALSINDEX);
    DoLuaString(text);
}

bool TWindowScript::QueueMessage(TMessage* message, TLuaFunction* command) {
    std::unique_ptr<TMessage> owned(message);
    lua_State* state = GetState();
    if (!IsYielded()) {
        if (owned) {
            PushMessageValue(std::move(owned));
            AppendToQueue("gMessageToQueue",
                          "table.insert(gMessageQueue,gMessageToQueue); gMessageToQueue=nil;");
        }
        if (command != nullptr) {
            command->Push();
            AppendToQueue("gMessageCommand",
                          "table.insert(gCommandQueue,gMessageCommand); gMessageCommand=nil;");
        }
        return true;
    }
    if (mWaitState == kWaitForMessage) {
        if (owned) {
            PushMessageValue(std::move(owned));
        } else {
            PushMessageUserdata(state,
                                std::make_unique<TMessage>(TMessage::kCommandOnly, str(), nullptr));
        }
        int count = 1;
        if (command != nullptr) {
            command->Push();
            ++count;
        }
        if (Resume(count) != 0) {
            mWaitState = kWaitResumeFailed;
        }
        return true;
    }
    // Suspended outside a wait: nobody would read the message.
    if (command != nullptr) {
        const TLuaStackTop top(state);
        command->CallWithAlert();
        top.Restore();
    }
    return false;
}

int TWindowScript::LuaHandleGetMessage(lua_State* state) {
    if (lua_gettop(state) == 1) {
        // Nil reads as 0 ms: the script is resumed on every run of the task list.
        const int ms = std::max(0, LuaNumberToInt(lua_tonumber(state, 1)));
        Start(ms, true, true, false);
    } else {
        Stop();
    }
    mWaitState = kWaitForMessage;
    lua_pushstring(state, "gYieldResult");
    lua_gettable(state, LUA_GLOBALSINDEX);
    return lua_yield(state, 1);
}

int TWindowScript::LuaCreateCloseMessage(lua_State* state) {
    TWindow* parent = GetCreationParent();
    if (parent == nullptr) {
        lua_pushnil(state);
        return 1;
    }
    PushMessageUserdata(
        state, std::make_unique<TMessage>(TMessage::kCloseWindow, parent->GetIdText(), nullptr));
    return 1;
}

void TWindowScript::PostLuaMessage(lua_State* state, const char* function, TWindow* target) {
    const TMessage* inner = ToMessage(state, 1);
    if (inner == nullptr) {
        Log("TWindowScript::%s: the argument is no message but a %s", function,
            lua_typename(state, lua_type(state, 1)));
        return;
    }
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr) {
        Log("TWindowScript::%s: there is no window manager", function);
        return;
    }
    lua_pushvalue(state, 1);
    auto wrapper = std::make_unique<TLuaMessageWrapper>(state, *inner);
    if (target != nullptr) {
        wrapper->SetTarget(target);
    }
    manager->PostMessage(wrapper.release());
}

int TWindowScript::LuaPostMessage(lua_State* state) {
    PostLuaMessage(state, "PostMessage", nullptr);
    return 0;
}

int TWindowScript::LuaPostMessageToParent(lua_State* state) {
    TWindowManager* manager = GetWindowManager();
    TWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    if (top == nullptr) {
        return 0;
    }
    // The root layer has no parent: its message goes where an untargeted one goes.
    PostLuaMessage(state, "PostMessageToParent", top->GetParent());
    return 0;
}

bool TWindowScript::LuaStartMovie(const str& file, bool translate, bool allowInput) {
    if (file.Length() == 0) {
        return false;
    }
    // One player at a time: the earlier one stops as it goes.
    mMoviePlayer.reset();
    mMoviePlayer = std::make_unique<TFlashPlayer>(file.CStr());
    if (!mMoviePlayer->Play(false, translate, allowInput)) {
        mMoviePlayer.reset();
        return false;
    }
    return true;
}

bool TWindowScript::LuaIsMoviePlaying() {
    return mMoviePlayer && mMoviePlayer->IsPlaying();
}

void TWindowScript::LuaStopMovie() {
    mMoviePlayer.reset();
}

void TWindowScript::AbortMovie() {
    if (!mMoviePlayer) {
        return;
    }
    lua_State* state = GetState();
    const int top = lua_gettop(state);
    mMoviePlayer.reset();
    if (IsYielded()) {
        Resume(0);
    }
    // Only ever shortened: the resume may leave the state in another frame.
    if (lua_gettop(state) > top) {
        lua_settop(state, top);
    }
}
