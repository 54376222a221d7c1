#include "engine/core/windowsystemlink.h"

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

void ClearFontList() {
    if (gFactory.clearFontList != nullptr) {
        gFactory.clearFontList();
    }
}
