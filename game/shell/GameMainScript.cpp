#include "game/shell/GameMainScript.h"

#include "engine/core/file.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/luabinding.h"
#include "engine/ui/image.h"
#include "engine/ui/text.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "game/common/LuaValues.h"
#include "game/shell/GGameMainHooks.h"
#include "game/shell/LuaPrintf.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// The named window inside the top modal window, or null without one.
TWindow* FindInTopModal(const str& name) {
    TWindowManager* manager = GetWindowManager();
    TWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    return top != nullptr ? top->FindChild(name, -1) : nullptr;
}

void ScriptDump(str /*text*/) {}

void SetImageAlpha(str name, double alpha) {
    TWindow* window = FindInTopModal(name);
    if (window != nullptr && window->IsKindOf(TImage::ClassId())) {
        // Held to the float range: narrowing a larger double is undefined.
        const double held =
            std::isnan(alpha) ? alpha : std::clamp(alpha, -double{FLT_MAX}, double{FLT_MAX});
        static_cast<TImage*>(window)->SetAlpha(static_cast<float>(held));
    }
}

void RunScript(str text) {
    TWindowManager* manager = GetWindowManager();
    if (TWindowScript* script = manager != nullptr ? manager->GetWindowScript() : nullptr) {
        script->DoLuaString(text);
    }
}

void SetUnderlineDistance(str name, int distance) {
    TWindow* window = FindInTopModal(name);
    if (window != nullptr && window->IsKindOf(TText::ClassId())) {
        static_cast<TText*>(window)->SetUnderlineDistance(distance);
    }
}

// Narrowed to single precision first, as scripts rely on: integers beyond 2^24 come back rounded.
double ToInt(double number) {
    if (!(std::fabs(number) <= double{FLT_MAX})) {
        // NaN and numbers beyond the float range: the conversion's own out-of-range result.
        return LuaNumberToInt(number);
    }
    return LuaNumberToInt(static_cast<float>(number));
}

void SetPos(str name, int x, int y) {
    TWindowManager* manager = GetWindowManager();
    TWindow* root = manager != nullptr ? manager->GetRootWindow() : nullptr;
    if (TWindow* window = root != nullptr ? root->FindChild(name, -1) : nullptr) {
        window->MoveTo(x, y);
    }
}

int LuaPrintf(lua_State* state) {
    const char* format = lua_gettop(state) >= 1 ? lua_tostring(state, 1) : nullptr;
    const std::string text = FormatPrintf(
        format != nullptr ? std::string_view(format, lua_strlen(state, 1)) : std::string_view(),
        ReadPrintfValues(state, 2));
    lua_pushlstring(state, text.data(), text.size());
    return 1;
}

bool FileExists(str path) {
    return EngineFileExists(path);
}

// Pops modal windows until "game" is on top. It stops, too, at the bottom window, with no modal
// window left, and when a pop leaves the same window on top (a script's PopModal that pops
// nothing would otherwise loop forever).
void PopWndInPauseMenuWnd() {
    TWindowManager* manager = GetWindowManager();
    TWindowScript* script = manager != nullptr ? manager->GetWindowScript() : nullptr;
    if (script == nullptr) {
        return;
    }
    for (;;) {
        TModalWindow* top = manager->GetTopModal();
        if (top == nullptr || top->GetParent() == nullptr || top->GetName() == str("game")) {
            return;
        }
        script->DoLuaString(str("PopModal(") + LuaStringLiteral(top->GetName()) + ");");
        if (manager->GetTopModal() == top) {
            return;
        }
    }
}

} // namespace

void PublishGameMainFunctions(lua_State* state, GGameMainHooks& hooks) {
    LuaPublish(state, "ScriptDump", &ScriptDump);
    LuaPublish(state, "SetImageAlpha", &SetImageAlpha);
    LuaPublish(state, "RunScript", &RunScript);
    LuaPublish(state, "SetUnderlineDistance", &SetUnderlineDistance);
    LuaPublish(state, "ToInt", &ToInt);
    LuaPublish(state, "SetPos", &SetPos);
    LuaPublish(state, "PlayMusic", &hooks, &GGameMainHooks::PlayMusic);
    LuaPublish(state, "CPP_Printf", &LuaPrintf);
}

void PublishLateGameMainFunctions(lua_State* state) {
    LuaPublish(state, "FileExists", &FileExists);
    LuaPublish(state, "ScriptDump", &ScriptDump);
    LuaPublish(state, "PopWndInPauseMenuWnd", &PopWndInPauseMenuWnd);
}

void WithdrawGameMainFunctions(lua_State* state, GGameMainHooks& hooks) {
    LuaWithdrawObject(state, &hooks);
}
