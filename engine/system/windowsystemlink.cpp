#include "engine/system/windowsystemlink.h"

#include "engine/script/script.h"
#include "engine/system/platform.h"

namespace {

class TNullWindowManager final : public TWindowManagerLink {
public:
    bool IsDrawingSuspended() const override { return false; }
    bool IsInputBlocked() const override { return false; }
    void Invalidate() override {}
    void AbortMovie() override {}
    bool GetRootRect(TRect*) const override { return false; }
};

class TNullStringTable final : public TStringTableLink {
public:
    void Clear() override {}
};

TWindowSystemFactory gFactory;

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
    gFactory = factory;
}

TWindowManagerLink* CreateWindowManager() {
    if (gFactory.createWindowManager != nullptr) {
        if (TWindowManagerLink* made = gFactory.createWindowManager()) {
            return made;
        }
    }
    return new TNullWindowManager;
}

TStringTableLink* CreateStringTable() {
    if (gFactory.createStringTable != nullptr) {
        if (TStringTableLink* made = gFactory.createStringTable()) {
            return made;
        }
    }
    return new TNullStringTable;
}

TScript* CreateWindowScript() {
    if (gFactory.createWindowScript != nullptr) {
        if (TScript* made = gFactory.createWindowScript()) {
            return made;
        }
    }
    auto* script = new TScript(nullptr);
    script->Init();
    return script;
}

void ClearFontList() {
    if (gFactory.clearFontList != nullptr) {
        gFactory.clearFontList();
    }
}
