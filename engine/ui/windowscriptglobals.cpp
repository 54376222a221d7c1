// The window script's globals that act on windows by name, on the top modal window, on labels and
// on the screen. A name that matches nothing makes them do nothing; readers then answer the empty
// string or false.

#include "engine/core/log.h"
#include "engine/media/renderer.h"
#include "engine/media/texture.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "engine/system/platform.h"
#include "engine/system/windowsystemlink.h"
#include "engine/ui/button.h"
#include "engine/ui/image.h"
#include "engine/ui/layeredwindow.h"
#include "engine/ui/text.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>

namespace {

TModalWindow* ScriptTopModal() {
    TWindowManager* manager = GetWindowManager();
    return manager != nullptr ? manager->GetTopModal() : nullptr;
}

// A coded position (pixels from the near edge, from the far edge, centred, or from the far edge
// around 160000) of a window of `size` in a parent of `extent`, as a window definition places it.
int ResolveCodedPosition(int position, int size, int extent) {
    const int64_t pos = position;
    int64_t resolved = pos;
    if (pos < 0) {
        resolved = extent + pos;
    } else if (pos > 40000 && pos < 106667) {
        resolved = extent / 2 - size / 2 + (pos - 80000);
    } else if (pos >= 106667) {
        resolved = extent + pos - 160000;
    }
    return SaturateToInt(resolved);
}

} // namespace

TWindow* TWindowScript::FindInTopModal(const str& name) {
    TModalWindow* top = ScriptTopModal();
    return top != nullptr ? top->FindChild(name, -1) : nullptr;
}

str TWindowScript::LuaGetLabel(const str& name) {
    if (ScriptTopModal() == nullptr) {
        return str();
    }
    TWindow* window = FindInTopModal(name);
    if (window == nullptr) {
        return name + "_is_not_found";
    }
    if (window->IsKindOf(TText::ClassId())) {
        return static_cast<TText*>(window)->GetText();
    }
    if (window->IsKindOf(TButton::ClassId())) {
        return window->GetLabelText();
    }
    return name + "_is_not_a_TText_window_or_TButton";
}

void TWindowScript::LuaRegisterHotkey(const str& key, const str& button) {
    TModalWindow* top = ScriptTopModal();
    if (key.Length() != 0 && top != nullptr) {
        top->SetHotKey(key, button);
    }
}

void TWindowScript::LuaSetLabel(const str& name, const str& text) {
    TWindow* window = FindInTopModal(name);
    if (window == nullptr) {
        return;
    }
    if (window->IsKindOf(TText::ClassId())) {
        static_cast<TText*>(window)->SetText(text);
    } else if (window->IsKindOf(TButton::ClassId())) {
        window->SetLabelText(text);
    }
}

void TWindowScript::LuaSetBitmap(const str& name, const str& path, float scale) {
    TWindow* window = FindInTopModal(name);
    if (window != nullptr && window->IsKindOf(TImage::ClassId())) {
        static_cast<TImage*>(window)->SetImage(TTexture::Get(path, 0), scale);
    }
}

int TWindowScript::LuaSetCommand(lua_State* state) {
    const str name = ::LuaGetString(state, 1);
    // The function is the last argument; the reference takes it off the stack.
    lua_settop(state, std::max(lua_gettop(state), 1));
    auto function = std::make_unique<TLuaFunction>(state);
    TWindow* window = FindInTopModal(name);
    if (window != nullptr && window->IsKindOf(TButton::ClassId())) {
        static_cast<TButton*>(window)->SetAction(new TButton::LuaAction(function.release()));
    }
    return 0;
}

void TWindowScript::LuaDoSelectLayer(int layer) {
    TWindow* top = GetCreationTop();
    if (top != nullptr && top->IsKindOf(TLayeredWindow::ClassId())) {
        static_cast<TLayeredWindow*>(top)->SelectLayer(layer);
    }
}

bool TWindowScript::LuaGetButtonToggleState(const str& name) {
    for (TWindow* layer = ScriptTopModal(); layer != nullptr; layer = layer->GetParent()) {
        TWindow* window = layer->FindChild(name, -1);
        if (window != nullptr) {
            return window->IsKindOf(TButton::ClassId()) &&
                   static_cast<TButton*>(window)->IsToggledOn();
        }
    }
    return false;
}

void TWindowScript::LuaSetButtonToggleState(const str& name, bool on) {
    for (TWindow* layer = ScriptTopModal(); layer != nullptr; layer = layer->GetParent()) {
        TWindow* window = layer->FindChild(name, -1);
        if (window != nullptr && window->IsKindOf(TButton::ClassId())) {
            static_cast<TButton*>(window)->SetToggleState(on);
        }
    }
}

bool TWindowScript::LuaImageLoaded(const str& name) {
    TWindow* window = FindInTopModal(name);
    return window != nullptr && window->IsKindOf(TImage::ClassId()) &&
           static_cast<bool>(static_cast<TImage*>(window)->GetTexture());
}

str TWindowScript::LuaTagHotKey(const str& key, const str& label) {
    if (key.Length() == 0) {
        return label;
    }
    const auto wanted = static_cast<unsigned char>(key[static_cast<unsigned>(key.Length() - 1)]);
    for (int i = 0; i < label.Length(); ++i) {
        const auto c = static_cast<unsigned char>(label[static_cast<unsigned>(i)]);
        if (std::tolower(c) == std::tolower(wanted)) {
            return label.Substr(0, i) + "<u>" + label.Substr(i, 1) + "</u>" + label.Substr(i + 1);
        }
    }
    return label;
}

int TWindowScript::LuaStripKeyFromLabel(lua_State* state) {
    str label = ::LuaGetString(state, 1);
    str key;
    const int mark = label.FindChar('&');
    if (mark >= 0) {
        if (mark + 1 < label.Length()) {
            const char next = label[static_cast<unsigned>(mark + 1)];
            // A multi-byte character cannot be a key.
            if (static_cast<unsigned char>(next) < 0xC0) {
                key = str("@") + next;
            }
        }
        label.Erase(mark, 1);
    }
    LuaPushStr(state, label);
    LuaPushStr(state, key);
    return 2;
}

void TWindowScript::LuaSetPosition(const str& name, int x, int y) {
    TWindow* window = FindInTopModal(name);
    if (window == nullptr) {
        return;
    }
    const TWindow* parent = window->GetParent();
    const int width = parent != nullptr ? parent->GetWidth() : 0;
    const int height = parent != nullptr ? parent->GetHeight() : 0;
    window->MoveTo(ResolveCodedPosition(x, window->GetWidth(), width),
                   ResolveCodedPosition(y, window->GetHeight(), height));
}

void TWindowScript::LuaFillRect(TLuaTable& rect, TLuaTable& color) {
    TRenderer* renderer = TRenderer::Existing();
    TWindowManager* manager = GetWindowManager();
    const TWindow* root = manager != nullptr ? manager->GetRootWindow() : nullptr;
    if (renderer == nullptr || root == nullptr) {
        return;
    }
    const TRect area{LuaNumberToInt(rect.GetNumberAt(1)), LuaNumberToInt(rect.GetNumberAt(2)),
                     LuaNumberToInt(rect.GetNumberAt(3)), LuaNumberToInt(rect.GetNumberAt(4))};
    const TColor fill{
        static_cast<float>(color.GetNumberAt(1)), static_cast<float>(color.GetNumberAt(2)),
        static_cast<float>(color.GetNumberAt(3)), static_cast<float>(color.GetNumberAt(4))};
    TRect clip;
    clip.Intersect(area, root->GetRect());
    renderer->PushClipRect(clip);
    renderer->FillRect(area, fill, TTexturePtr());
    renderer->PopClipRect();
}

bool TWindowScript::LuaEnableWindow(const str& name, bool on) {
    TWindowManager* manager = GetWindowManager();
    for (TWindow* layer = ScriptTopModal(); layer != nullptr; layer = layer->GetParent()) {
        TWindow* window = layer->FindChild(name, -1);
        if (window == nullptr) {
            continue;
        }
        const uint32_t flags = window->GetFlags();
        window->SetFlags(on ? flags | TWindow::kEnabled : flags & ~TWindow::kEnabled);
        if (!on && window->IsKindOf(TButton::ClassId())) {
            window->OnMouseLeave();
        }
        manager->Invalidate();
        return true;
    }
    return false;
}

void TWindowScript::LuaRealSetFocus(const str& name) {
    TWindow* parent = GetCreationParent();
    TWindowManager* manager = GetWindowManager();
    if (parent != nullptr && manager != nullptr) {
        manager->SetFocus(parent->FindChild(name, -1));
    }
}

void TWindowScript::LuaUpdateWindow() {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
}

str TWindowScript::LuaPushModal(const str& name) {
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr) {
        Log("TWindowScript::PushModal: there is no window manager for '%s'", name.CStr());
        return str();
    }
    auto* modal = new TModalWindow;
    modal->SetName(name);
    manager->PushModal(modal);
    if (manager->GetTopModal() != modal) {
        // Refused: the layer belongs to nobody.
        delete modal;
        return str();
    }
    return modal->GetIdText();
}

void TWindowScript::LuaClearModalChildren() {
    TModalWindow* top = ScriptTopModal();
    if (top == nullptr) {
        return;
    }
    top->ClearTasks();
    top->DeleteChildren();
    top->SetSize(0, 0);
    top->MoveTo(0, 0);
}

int TWindowScript::LuaGetWindowDepth() {
    int depth = 0;
    for (const TWindow* window = ScriptTopModal(); window != nullptr;
         window = window->GetParent()) {
        ++depth;
    }
    return depth;
}

str TWindowScript::LuaLocalizedString(const str& label, const str& a1, const str& a2, const str& a3,
                                      const str& a4, const str& a5) {
    if (label.Length() > 0 && label[0] == '#') {
        return label.Substr(1);
    }
    TPlatform* platform = TPlatform::GetInstance();
    TStringTableLink* table = platform != nullptr ? platform->GetStringTable() : nullptr;
    return table != nullptr ? table->GetString(label, a1, a2, a3, a4, a5) : str("#####");
}

void TWindowScript::LuaDestroyWindow(const str& name) {
    TWindow* parent = GetCreationParent();
    TWindow* window = parent != nullptr ? parent->FindChild(name, -1) : nullptr;
    if (window == nullptr || window->GetParent() == nullptr) {
        return;
    }
    TWindowManager* manager = GetWindowManager();
    for (const TWindow* layer = ScriptTopModal(); layer != nullptr; layer = layer->GetParent()) {
        if (layer == window) {
            Log("TWindowScript::DestroyWindow: '%s' is a dialog on the modal stack; close it with "
                "DoPopModal or kCloseWindow",
                name.CStr());
            return;
        }
    }
    window->GetParent()->RemoveChild(window);
    if (manager != nullptr) {
        // The manager has the creation stack forget the window and everything inside it.
        manager->DeleteWindowLater(window);
    } else {
        ForgetWindow(window, true);
        delete window;
    }
}
