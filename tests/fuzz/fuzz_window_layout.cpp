// Builds window definitions from the input (values of every Lua type, huge and NaN numbers,
// "parent" chains with loops, metatables whose __index answers, raises errors, recurses or makes
// new tables) and reads them as windows do: every getter of TWindowStyle, then Init, PostCreate
// and ReadLayout of windows in a parent whose size comes from the input too. The same definitions
// then make image, text, button, text edit, slider and cross-sell windows through the window
// script's GenericCreate, on a headless display that loads the few images the definitions may name
// (graphics tables with holes and wrong types, masks, font tables of every shape, huge and NaN
// scales), and the windows are drawn, clicked and typed into. Web links are only recorded.
#include "engine/core/knownfiles.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/media.h"
#include "engine/media/renderer.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/button.h"
#include "engine/ui/slider.h"
#include "engine/ui/textedit.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowstyle.h"
#include "engine/ui/windowsystem.h"
#include "engine/ui/xsellwindow.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

// Functions the built values may take as __index (or any other field): every one ends, by its
// answer, by an error, or by the machine's limit on nested calls.
const char kHelpers[] = "F = {"
                        " function(t, k) return 5 end,"
                        " function(t, k) error('fuzz') end,"
                        " function(t, k) return t[k] end,"
                        " function(t, k) return setmetatable({}, getmetatable(t)) end,"
                        " function(t, k) return 0/0 end,"
                        " function(t, k) return '160000' end,"
                        " function(t, k) return {} end,"
                        " function(t, k) if k == 'parent' then return t end end,"
                        " function(t, k) return rawget(t, 'parent') end,"
                        "}";
constexpr int kHelperCount = 9;

const char* const kKeys[] = {"x",
                             "y",
                             "w",
                             "h",
                             "align",
                             "fit",
                             "name",
                             "parent",
                             "__index",
                             "color",
                             "image",
                             "label",
                             "graphics",
                             "mask",
                             "font",
                             "scale",
                             "type",
                             "on",
                             "rotate",
                             "hflip",
                             "vflip",
                             "alpha",
                             "rotation",
                             "flags",
                             "sound",
                             "command",
                             "beginGroup",
                             "close",
                             "default",
                             "cancel",
                             "padding",
                             "rotationOriginX",
                             "rotationAlign",
                             "defflags"};
constexpr int kKeyCount = static_cast<int>(sizeof kKeys / sizeof kKeys[0]);

const double kNumbers[] = {0,
                           1,
                           -1,
                           0.5,
                           -0.5,
                           12,
                           1e300,
                           -1e300,
                           std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           40000,
                           40001,
                           80000,
                           79990,
                           80010,
                           106666,
                           106667,
                           159990,
                           160000,
                           2147483647.0,
                           -2147483648.0,
                           2147483648.0,
                           -80001};
constexpr int kNumberCount = static_cast<int>(sizeof kNumbers / sizeof kNumbers[0]);

const char* const kStrings[] = {
    "",       "12", "true",  "-10",       "1e300",           "nan",       "0x10",
    "parent", "x",  "a.png", "alpha.png", "fonts/none.mvec", "__DEFAULT", "<a id='b'>l</a>",
    "a.ogg"};
constexpr int kStringCount = static_cast<int>(sizeof kStrings / sizeof kStrings[0]);

class TInput {
public:
    TInput(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
    bool Empty() const { return mPos >= mSize; }
    uint8_t Byte() { return mPos < mSize ? mData[mPos++] : 0; }
    int32_t Int32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value = value << 8 | Byte();
        }
        return static_cast<int32_t>(value);
    }
    double Double() {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits = bits << 8 | Byte();
        }
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    const uint8_t* mData;
    size_t mSize;
    size_t mPos = 0;
};

int gLightTag = 0;

// 4 x 4 RGB: red on the left, dark on the right.
const unsigned char kImagePng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x08, 0x02, 0x00, 0x00, 0x00, 0x26, 0x93, 0x09,
    0x29, 0x00, 0x00, 0x00, 0x13, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0xf8, 0xcf, 0xc0, 0x00,
    0x44, 0x5c, 0x60, 0xc0, 0x40, 0x1c, 0x07, 0x00, 0x04, 0xe3, 0x08, 0xe9, 0x98, 0x0f, 0xcd, 0x20,
    0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
// 3 x 2 RGBA, half transparent green.
const unsigned char kAlphaPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00, 0x00, 0x9d,
    0x74, 0x66, 0x1a, 0x00, 0x00, 0x00, 0x10, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x63, 0x60,
    0x38, 0xc1, 0xd0, 0x00, 0xc7, 0xc8, 0x1c, 0x00, 0x61, 0xe2, 0x07, 0xb1, 0xf3, 0x57, 0xff,
    0x53, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

constexpr int kWidth = 160;
constexpr int kHeight = 120;

TWin32Platform* gRecord = nullptr;
TPlatform* gPlatform = nullptr;
TWindowScript* gScript = nullptr;

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
    GetWindowManager()->SetScript(gScript);
    GetWindowManager()->CreateRootScreen(kWidth, kHeight);
}

void RunInput(const uint8_t* data, size_t size);

// GenericCreate of the definition as each widget type, in the window; then the widgets are drawn
// and clicked where the input says.
void CreateWidgets(TWindowScript& script, TInput& input, TWindow& parent) {
    lua_State* state = script.GetState();
    for (const char* type : {"Bitmap", "Text", "Button", "TextEdit", "Slider", "XSellWindow"}) {
        lua_pushstring(state, "P");
        lua_rawget(state, LUA_GLOBALSINDEX);
        lua_rawgeti(state, -1, 1);
        lua_remove(state, -2);
        if (!lua_istable(state, -1)) {
            lua_pop(state, 1);
            return;
        }
        lua_pushstring(state, "typename");
        lua_pushstring(state, type);
        lua_rawset(state, -3);
        lua_pushstring(state, "GenericCreate");
        lua_rawget(state, LUA_GLOBALSINDEX);
        lua_insert(state, -2);
        script.ResetCreationStack(&parent);
        // A definition whose reads raise errors fails the call; the script layer logs it.
        lua_pcall(state, 1, 0, 0);
        lua_settop(state, 0);
    }
    script.ResetCreationStack(nullptr);
    TRenderer* renderer = TRenderer::Existing();
    if (renderer != nullptr && renderer->BeginDraw(0)) {
        renderer->PushClipRect(TRect{0, 0, kWidth, kHeight});
        parent.DrawTree();
        renderer->PopClipRect();
        renderer->EndDraw(0);
    }
    // Windows go only between events: the copy stays valid while the clicks run.
    const std::vector<TWindow*> children(parent.GetChildren().begin(), parent.GetChildren().end());
    for (TWindow* child : children) {
        const TPoint point{input.Byte() % 64 - 8, input.Byte() % 64 - 8};
        child->OnMouseMove(point);
        child->OnMouseDown(point);
        child->OnMouseUp(point);
        child->OnMouseLeave();
        if (child->IsKindOf(TButton::ClassId())) {
            auto* button = static_cast<TButton*>(child);
            button->SetToggleState(input.Byte() & 1);
            button->Press();
        }
        if (child->IsKindOf(TTextEdit::ClassId())) {
            auto* edit = static_cast<TTextEdit*>(child);
            for (int i = 0; i < 4; ++i) {
                edit->OnChar(input.Byte());
                edit->OnKeyDown(input.Byte(), input.Byte() & 0x0F);
            }
            edit->OnAnimate();
        }
        if (child->IsKindOf(TSlider::ClassId())) {
            static_cast<TSlider*>(child)->SetValue(static_cast<float>(input.Int32()) / 1000.0f,
                                                   input.Byte() & 1);
        }
        if (child->IsKindOf(TXSellWindow::ClassId())) {
            auto* xsell = static_cast<TXSellWindow*>(child);
            xsell->Setup();
            xsell->LaunchGameLink(input.Byte() % 10 - 1);
        }
    }
}

// The values are kept in the global table P, 1 to count.
class TBuilder {
public:
    TBuilder(lua_State* state, TInput& input) : mState(state), mInput(input) {
        lua_pushstring(state, "P");
        lua_newtable(state);
        lua_rawset(state, LUA_GLOBALSINDEX);
    }

    void Run() {
        for (int step = 0; step < 200 && !mInput.Empty(); ++step) {
            Step(mInput.Byte());
        }
    }

    // Pushes P[i] (nil when the pool is empty).
    void PushValue(int i) {
        PushPool();
        lua_rawgeti(mState, -1, mCount == 0 ? 1 : 1 + i % mCount);
        lua_remove(mState, -2);
    }
    int Count() const { return mCount; }

private:
    void PushPool() {
        lua_pushstring(mState, "P");
        lua_rawget(mState, LUA_GLOBALSINDEX);
    }

    // Appends the value on the top to the pool.
    void Keep() {
        PushPool();
        lua_insert(mState, -2);
        lua_rawseti(mState, -2, ++mCount);
        lua_pop(mState, 1);
    }

    void Step(uint8_t op) {
        lua_State* L = mState;
        switch (op % 16) {
        case 0:
            lua_pushnil(L);
            Keep();
            break;
        case 1:
            lua_pushboolean(L, mInput.Byte() & 1);
            Keep();
            break;
        case 2:
            lua_pushnumber(L, kNumbers[mInput.Byte() % kNumberCount]);
            Keep();
            break;
        case 3:
            lua_pushnumber(L, mInput.Double());
            Keep();
            break;
        case 4:
            lua_pushnumber(L, static_cast<int16_t>(mInput.Byte() << 8 | mInput.Byte()));
            Keep();
            break;
        case 5:
            lua_pushstring(L, kStrings[mInput.Byte() % kStringCount]);
            Keep();
            break;
        case 6: {
            char bytes[8];
            const int length = mInput.Byte() % 9;
            for (int i = 0; i < length; ++i) {
                bytes[i] = static_cast<char>(mInput.Byte());
            }
            lua_pushlstring(L, bytes, static_cast<size_t>(length));
            Keep();
            break;
        }
        case 7:
        case 8:
            lua_newtable(L);
            Keep();
            break;
        case 9:
            lua_pushstring(L, "F");
            lua_rawget(L, LUA_GLOBALSINDEX);
            lua_rawgeti(L, -1, 1 + mInput.Byte() % kHelperCount);
            lua_remove(L, -2);
            Keep();
            break;
        case 10:
            switch (mInput.Byte() % 5) {
            case 0:
                lua_newuserdata(L, 4);
                break;
            case 1:
                lua_pushlightuserdata(L, &gLightTag);
                break;
            case 2:
                lua_newthread(L);
                break;
            case 3:
                lua_pushwstring(L, u"12");
                break;
            default:
                lua_pushstring(L, "print");
                lua_rawget(L, LUA_GLOBALSINDEX);
                break;
            }
            Keep();
            break;
        case 11:
        case 12: {
            // t[key] = value, the key a name the windows read or a value of the pool.
            const int table = mInput.Byte();
            const uint8_t keyChoice = mInput.Byte();
            const int value = mInput.Byte();
            PushValue(table);
            if (!lua_istable(L, -1)) {
                lua_pop(L, 1);
                break;
            }
            if (keyChoice < 0xC0) {
                lua_pushstring(L, kKeys[keyChoice % kKeyCount]);
            } else if (keyChoice < 0xE0) {
                lua_pushnumber(L, 1 + keyChoice % 4);
            } else {
                PushValue(keyChoice);
            }
            // Nil and NaN cannot be keys.
            if (lua_type(L, -1) == LUA_TNIL ||
                (lua_type(L, -1) == LUA_TNUMBER && std::isnan(lua_tonumber(L, -1)))) {
                lua_pop(L, 2);
                break;
            }
            PushValue(value);
            lua_rawset(L, -3);
            lua_pop(L, 1);
            break;
        }
        case 13: {
            // setmetatable(table, table): fields named __index become metamethods.
            PushValue(mInput.Byte());
            PushValue(mInput.Byte());
            if (lua_istable(L, -2) && (lua_istable(L, -1) || lua_isnil(L, -1))) {
                lua_setmetatable(L, -2);
                lua_pop(L, 1);
            } else {
                lua_pop(L, 2);
            }
            break;
        }
        case 14:
            lua_pushstring(L, "gCurrentDefaultStyle");
            PushValue(mInput.Byte());
            lua_rawset(L, LUA_GLOBALSINDEX);
            break;
        default: {
            // A value under a global name the search may read for a definition that is no table.
            lua_pushstring(L, kKeys[mInput.Byte() % kKeyCount]);
            PushValue(mInput.Byte());
            lua_rawset(L, LUA_GLOBALSINDEX);
            break;
        }
        }
    }

    lua_State* mState;
    TInput& mInput;
    int mCount = 0;
};

void ReadEverything(const TWindowStyle& style) {
    const TColor fallback{0.25f, 0.5f, 0.75f, 1.0f};
    for (const char* key : kKeys) {
        style.GetNumber(key, 1.5);
        style.GetInt(key, 7);
        style.GetString(key, "default");
        style.GetBool(key, true);
        style.GetColor(key, fallback);
        delete style.GetTable(key);
        delete style.GetFunction(key);
    }
    style.GetInt("missing", 3);
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
    standin::RecordShellExecute(true);
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
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr || !renderer->GetDisplayHandler().IsReady()) {
        std::abort();
    }
    RegisterMemoryFile("a.png", kImagePng, sizeof kImagePng);
    RegisterMemoryFile("alpha.png", kAlphaPng, sizeof kAlphaPng);
    // The platform's own script stays in the main task list; each input brings its own.
    DropManagerAndScript();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MakeManagerAndScript();
    RunInput(data, size);
    DropManagerAndScript();
    standin::TakeShellExecutes();
    return 0;
}

namespace {

void RunInput(const uint8_t* data, size_t size) {
    TInput input(data, size);
    // The window script's state: GenericCreate reads the definitions where they were built.
    TWindowScript& script = *gScript;
    lua_State* state = script.GetState();
    script.DoLuaString(kHelpers);

    const int parentWidth = input.Int32();
    const int parentHeight = input.Int32();
    TBuilder builder(state, input);
    builder.Run();
    if (builder.Count() == 0) {
        return;
    }

    const int top = lua_gettop(state);
    builder.PushValue(0);
    TLuaTable definition(state);
    builder.PushValue(builder.Count() - 1);
    TLuaTable childDefinition(state);
    TWindowStyle style(script, definition);
    TWindowStyle childStyle(script, childDefinition);
    ReadEverything(style);

    TWindow parent;
    parent.SetSize(parentWidth, parentHeight);
    auto* window = new TWindow;
    parent.AddChild(window, true);
    window->Init(style);
    for (int i = 0; i < 2; ++i) {
        auto* child = new TWindow;
        window->AddChild(child, false);
        child->Init(childStyle);
        child->PostCreate(childStyle);
    }
    window->PostCreate(style);
    window->ReadLayout(style);
    TModalWindow modal;
    modal.SetSize(parentHeight, parentWidth);
    auto* inModal = new TWindow;
    modal.AddChild(inModal, true);
    inModal->Init(style);
    inModal->PostCreate(style);
    // The placed windows answer geometry questions without overflow.
    TPoint point{parentWidth, parentHeight};
    window->LocalToScreen(point);
    window->ScreenToLocal(point);
    parent.DeepestChildAt(point, -1);
    parent.FitToChildren();

    if (lua_gettop(state) != top) {
        __builtin_trap();
    }

    CreateWidgets(script, input, *GetWindowManager()->GetRootWindow());
    // Delivers what the clicks posted.
    GetWindowManager()->HandleEvent(TEvent{kEventIdle, 0, 0, 0, 0});
}

} // namespace
