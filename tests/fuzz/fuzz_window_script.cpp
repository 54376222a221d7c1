// Calls the window script's published globals in an order and with argument lists decoded from
// the input: every Lua type, message userdata live and collected, foreign userdata, nested window
// descriptions whose children call globals in turn, dialogs pushed and popped from Lua and from
// the native side, a dialog coroutine that waits in HandleGetMessage or a plain yield, messages
// and commands handed to the script, events, time and the task list that resumes the script.
// Each input runs on a new window manager and a new window script on a headless 160 x 120
// display; both are then destroyed with whatever is still open.
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/media.h"
#include "engine/media/renderer.h"
#include "engine/script/luawrapper.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/message.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowscriptmessages.h"
#include "engine/ui/windowsystem.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kMaxSteps = 200;
// Nesting of description tables, and of Lua values built inside others.
constexpr int kMaxValueDepth = 3;

// The parts of the window script library the globals rely on, and helpers that turn a global's
// name and arguments into a closure that a description runs as a child.
const char kLibrary[] =
    "gMessageQueue = {}\n"
    "gCommandQueue = {}\n"
    "function Creating( name, t ) end\n"
    "function DoDialogCommand( i, f ) if type( f ) == 'function' then f() end end\n"
    "function MakeDialog( d )\n"
    "  if d.name and d.name ~= '' then SetWindowName( d.name ) end\n"
    "  table.foreachi( d, DoDialogCommand )\n"
    "  typename = d.typename\n"
    "  if typename then PostCreate( d, typename ) end\n"
    "end\n"
    "function DoWindow( d ) GenericCreate( d ); MakeDialog( d ); PopWindow() end\n"
    "function FuzzChild( d ) return function() DoWindow( d ) end end\n"
    "function FuzzCall( name, ... )\n"
    "  return function() local f = getfenv( 0 )[name] if f then f( unpack( arg ) ) end end\n"
    "end\n"
    "function FuzzDialog( mode, ms )\n"
    "  return function()\n"
    "    while true do\n"
    "      local m, c\n"
    "      if mode == 0 then m, c = HandleGetMessage()\n"
    "      elseif mode == 1 then m, c = HandleGetMessage( ms )\n"
    "      else m, c = coroutine.yield() end\n"
    "      gLastMessage = m\n"
    "      if type( m ) == 'userdata' then gLastType = m.type gLastName = m.name end\n"
    "      if c then gYieldResult = c() end\n"
    "      if type( m ) == 'userdata' and m.type == 5 then return end\n"
    "    end\n"
    "  end\n"
    "end\n"
    "function FuzzCommand() gCommands = ( gCommands or 0 ) + 1 return gCommands end\n";

const char* const kGlobals[] = {
    "PostCreate",
    "GetLabel",
    "_RegisterHotkey",
    "SetLabel",
    "TagHotKey",
    "_SetBitmap",
    "SetPosition",
    "SetCommand",
    "StripKeyFromLabel",
    "SetWindowName",
    "FillRect",
    "GetTimer",
    "GetConfig",
    "IsEnabled",
    "DoSelectLayer",
    "EnableWindow",
    "GetButtonToggleState",
    "SetButtonToggleState",
    "PopWindow",
    "RealSetFocus",
    "StringToClipboard",
    "UpdateWindow",
    "PushModal",
    "ClearModalChildren",
    "GetWindowDepth",
    "DoPopModal",
    "HandleGetMessage",
    "GenericCreate",
    "CreateNamedMessage",
    "CreateCloseMessage",
    "PostMessage",
    "PostMessageToParent",
    "_GetString",
    "StartMovie",
    "IsMoviePlaying",
    "StopMovie",
    "ImageLoaded",
    "DestroyWindow",
    "DoFitToChildren",
    "DoWindow",
    "Window",
    "SetTopModalOnly",
    "collectgarbage",
};
constexpr int kGlobalCount = sizeof(kGlobals) / sizeof(kGlobals[0]);

const char* const kNames[] = {"_screen_", "a",      "b",      "dlg",  "",   "&Play",
                              "Sound&",   "#label", "Window", "Nope", "@p", "\xC3\xA9&\xC3\xA9",
                              "w"};
constexpr int kNameCount = sizeof(kNames) / sizeof(kNames[0]);

class TInput {
public:
    void Reset(const uint8_t* data, size_t size) {
        mData = data;
        mSize = size;
        mPos = 0;
    }
    bool Empty() const { return mPos >= mSize; }
    uint8_t Byte() { return mPos < mSize ? mData[mPos++] : 0; }
    int Small(int range) { return Byte() % range; }
    double Double() {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits = (bits << 8) | Byte();
        }
        double value = 0;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }

private:
    const uint8_t* mData = nullptr;
    size_t mSize = 0;
    size_t mPos = 0;
};

TInput gInput;
TWin32Platform* gRecord = nullptr;
TPlatform* gPlatform = nullptr;
TWindowScript* gScript = nullptr;
int gForeign = 0;

TWindowManager* Manager() {
    return GetWindowManager();
}

lua_State* State() {
    return gScript->GetState();
}

void PushGlobal(const char* name) {
    lua_pushstring(State(), name);
    lua_gettable(State(), LUA_GLOBALSINDEX);
}

void PushName() {
    const int pick = gInput.Small(kNameCount + 2);
    if (pick < kNameCount) {
        lua_pushstring(State(), kNames[pick]);
    } else if (pick == kNameCount) {
        // The id text of the top modal window, which DoPopModal and kCloseWindow know.
        TWindow* top = Manager()->GetTopModal();
        LuaPushStr(State(), top != nullptr ? top->GetIdText() : str());
    } else {
        const int length = gInput.Small(12);
        char bytes[16] = {};
        for (int i = 0; i < length; ++i) {
            bytes[i] = static_cast<char>(gInput.Byte());
        }
        lua_pushlstring(State(), bytes, static_cast<size_t>(length));
    }
}

void PushValue(int depth);

// A window description: layout keys, a type name, and children that are descriptions or calls.
void PushDescription(int depth) {
    lua_State* state = State();
    lua_newtable(state);
    static const char* const kTypes[] = {"Window", "Nope", "",      "Window",
                                         "Bitmap", "Text", "Button"};
    lua_pushstring(state, "typename");
    lua_pushstring(state, kTypes[gInput.Small(7)]);
    lua_settable(state, -3);
    lua_pushstring(state, "name");
    PushName();
    lua_settable(state, -3);
    static const char* const kKeys[] = {"x", "y", "w", "h", "fit", "align"};
    for (int i = gInput.Small(4); i > 0; --i) {
        lua_pushstring(state, kKeys[gInput.Small(6)]);
        static const double kNumbers[] = {0, 1, 10, -10, 40001, 80000, 90000, 160000, 1e12};
        lua_pushnumber(state, kNumbers[gInput.Small(9)]);
        lua_settable(state, -3);
    }
    const int children = depth < kMaxValueDepth ? gInput.Small(4) : 0;
    for (int i = 1; i <= children; ++i) {
        if (gInput.Byte() & 1) {
            PushGlobal("FuzzChild");
            PushDescription(depth + 1);
            lua_call(state, 1, 1);
        } else {
            PushGlobal("FuzzCall");
            lua_pushstring(state, kGlobals[gInput.Small(kGlobalCount)]);
            const int args = gInput.Small(3);
            for (int a = 0; a < args; ++a) {
                PushValue(depth + 1);
            }
            lua_call(state, 1 + args, 1);
        }
        lua_rawseti(state, -2, i);
    }
}

void PushValue(int depth) {
    lua_State* state = State();
    switch (gInput.Small(16)) {
    case 0:
        lua_pushnil(state);
        break;
    case 1:
        lua_pushboolean(state, gInput.Byte() & 1);
        break;
    case 2:
        lua_pushnumber(state, static_cast<int8_t>(gInput.Byte()));
        break;
    case 3:
        lua_pushnumber(state, gInput.Double());
        break;
    case 4:
    case 5:
        PushName();
        break;
    case 6: {
        static const lua_WChar kWide[] = {u'&', u'P', 0xE9, 0};
        lua_pushwstring(state, kWide);
        break;
    }
    case 7:
        PushMessageUserdata(state, std::make_unique<TMessage>(gInput.Small(14), "m", nullptr));
        break;
    case 8:
        lua_newuserdata(state, 8);
        break;
    case 9:
        lua_pushboxedpointer(state, &gForeign);
        break;
    case 10:
        lua_newtable(state);
        break;
    case 11:
        if (depth < kMaxValueDepth) {
            PushDescription(depth + 1);
        } else {
            lua_pushnil(state);
        }
        break;
    case 12:
        PushGlobal("FuzzCommand");
        break;
    case 13:
        PushGlobal(kGlobals[gInput.Small(kGlobalCount)]);
        break;
    case 14:
        lua_newthread(state);
        break;
    default: {
        // Colour and rectangle tables.
        lua_newtable(state);
        for (int i = 1; i <= 4; ++i) {
            lua_pushnumber(state, static_cast<int8_t>(gInput.Byte()) * 3);
            lua_rawseti(state, -2, i);
        }
        break;
    }
    }
}

// One global with up to five arguments, through the script layer as native code calls Lua: while
// the dialog coroutine waits, the call runs inside it.
void CallGlobal() {
    const char* name = kGlobals[gInput.Small(kGlobalCount)];
    const int top = lua_gettop(State());
    PushGlobal(name);
    const int args = gInput.Small(6);
    for (int i = 0; i < args; ++i) {
        PushValue(0);
    }
    gScript->RunFunction(args, gInput.Small(2));
    lua_settop(State(), top);
}

void StartDialog() {
    const int mode = gInput.Small(3);
    const int ms = gInput.Small(40);
    gScript->DoLuaString(str::FromFormat("return FuzzDialog( %d, %d )", mode, ms));
}

void HandMessage() {
    static const int32_t kKinds[] = {0, 1, 3, 4, 5, 6, 8, 1000};
    std::unique_ptr<TMessage> message;
    if (gInput.Byte() & 1) {
        TWindow* target = (gInput.Byte() & 1) ? Manager()->GetTopModal() : nullptr;
        message = std::make_unique<TMessage>(kKinds[gInput.Small(8)], "native", target);
    }
    std::unique_ptr<TLuaFunction> command;
    if (gInput.Byte() & 1) {
        PushGlobal("FuzzCommand");
        command = std::make_unique<TLuaFunction>(State());
    }
    if (gInput.Byte() & 1) {
        Manager()->PassToScript(message.release(), command.get());
    } else {
        Manager()->PostMessage(message.release());
    }
}

void NativeModal() {
    switch (gInput.Small(4)) {
    case 0: {
        auto* dialog = new TModalWindow;
        dialog->SetName("dlg");
        Manager()->PushModal(dialog);
        if (Manager()->GetTopModal() != dialog) {
            delete dialog;
        }
        break;
    }
    case 1:
        if (Manager()->GetTopModal() != nullptr &&
            Manager()->GetTopModal() != Manager()->GetRootWindow()) {
            Manager()->PopModal();
        }
        break;
    case 2:
        gScript->ResetCreationStack(nullptr);
        break;
    default:
        gScript->PushWindow(Manager()->GetTopModal());
        break;
    }
}

void SendEvent() {
    static const int32_t kTypes[] = {kEventIdle,    kEventLeftDown, kEventLeftUp,
                                     kEventKeyDown, kEventChar,     kEventRepaint};
    TEvent event{};
    event.type = kTypes[gInput.Small(6)];
    event.x = gInput.Small(kWidth);
    event.y = gInput.Small(kHeight);
    static const int32_t kParams[] = {13, 27, 'P', 'O', 0x70};
    event.param = kParams[gInput.Small(5)];
    Manager()->HandleEvent(event);
}

void Pump() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The manager goes first: its windows and queued messages, which may hold the script's values.
void DropManagerAndScript() {
    delete gRecord->mWindowManager;
    gRecord->mWindowManager = nullptr;
    if (gScript != nullptr) {
        gPlatform->RemoveTask(gScript);
        delete gScript;
        gScript = nullptr;
    }
}

void MakeManagerAndScript() {
    gRecord->mWindowManager = new TWindowManager;
    gScript = new TWindowScript(nullptr);
    Manager()->SetScript(gScript);
    Manager()->CreateRootScreen(kWidth, kHeight);
    gScript->DoLuaString(kLibrary);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    standin::TDesktop desktop;
    desktop.width = 1024;
    desktop.height = 768;
    standin::SetDesktop(desktop);
    standin::SetFakeTime(1000);
    RegisterMedia();
    RegisterWindowSystem();
    static char commandLine[1] = "";
    gRecord =
        new TWin32Platform(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL, true);
    // The cursor thread reads the window manager, which each input replaces.
    gRecord->StopCursorThread();
    gPlatform = new TPlatform(gRecord);
    gPlatform->CreateMainWindow();
    CreateRenderer();
    gPlatform->SetDisplay(kWidth, kHeight, false);
    Pump();
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr || !renderer->GetDisplayHandler().IsReady()) {
        std::abort();
    }
    // The platform's own script stays in the main task list; each input brings its own.
    DropManagerAndScript();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gInput.Reset(data, size);
    MakeManagerAndScript();
    for (int step = 0; step < kMaxSteps && !gInput.Empty(); ++step) {
        const uint8_t op = gInput.Byte();
        if (op < 140) {
            CallGlobal();
        } else if (op < 155) {
            StartDialog();
        } else if (op < 180) {
            HandMessage();
        } else if (op < 195) {
            SendEvent();
        } else if (op < 210) {
            gPlatform->GetTaskList()->Run(0);
        } else if (op < 220) {
            standin::AdvanceTime(static_cast<DWORD>(gInput.Byte()));
        } else if (op < 235) {
            NativeModal();
        } else if (op < 245) {
            Manager()->AbortMovie();
        } else {
            gScript->QueueMessage(new TMessage(TMessage::kQuitNow, "end", nullptr), nullptr);
        }
    }
    DropManagerAndScript();
    if (gForeign != 0) {
        std::abort();
    }
    Pump();
    return 0;
}
