#include "engine/system/windowsystemlink.h"

#include "engine/script/script.h"
#include "engine/system/platform.h"

namespace {

TWindowSystemFactory& Factory() {
    static auto* factory = new TWindowSystemFactory;
    return *factory;
}

} // namespace

TWindowManagerLink::~TWindowManagerLink() {
    if (mOwnsScript) {
        delete mScript;
    }
}

void TWindowManagerLink::SetScript(TScript* script) {
    if (mOwnsScript && script != mScript) {
        delete mScript;
    }
    mScript = script;
    mOwnsScript = false;
    if (script == nullptr) {
        return;
    }
    if (TPlatform* platform = TPlatform::GetInstance()) {
        platform->AddTask(script);
    } else {
        mOwnsScript = true;
    }
}

bool TWindowManagerLink::SetTranslateLabels(bool on) {
    const bool previous = mTranslateLabels;
    mTranslateLabels = on;
    return previous;
}

void TWindowManagerLink::CreateRootScreen(int, int) {}

bool TStringTableLink::Load(const str&) {
    Clear();
    return false;
}

bool TStringTableLink::LoadFile(const str&) {
    return false;
}

str TStringTableLink::GetString(const str&, const str&, const str&, const str&, const str&,
                                const str&) {
    return "#####";
}

void SetWindowSystemFactory(const TWindowSystemFactory& factory) {
    Factory() = factory;
}

TWindowManagerLink* CreateWindowManager() {
    if (Factory().createWindowManager) {
        if (TWindowManagerLink* made = Factory().createWindowManager()) {
            return made;
        }
    }
    return new TWindowManagerLink;
}

TStringTableLink* CreateStringTable() {
    if (Factory().createStringTable) {
        if (TStringTableLink* made = Factory().createStringTable()) {
            return made;
        }
    }
    return new TStringTableLink;
}

TScript* CreateWindowScript() {
    if (Factory().createWindowScript) {
        if (TScript* made = Factory().createWindowScript()) {
            return made;
        }
    }
    auto* script = new TScript(nullptr);
    script->Init();
    return script;
}

void ClearFontList() {
    if (Factory().clearFontList) {
        Factory().clearFontList();
    }
}

TTextSpriteLink* CreateTextSprite(const str& text, int width, int height, int alignment,
                                  const str& fontName, int fontSize, const TColor& color) {
    if (!Factory().createTextSprite) {
        return nullptr;
    }
    return Factory().createTextSprite(text, width, height, alignment, fontName, fontSize, color);
}
