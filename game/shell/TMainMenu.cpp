#include "game/shell/TMainMenu.h"

#include "engine/core/file.h"
#include "engine/ui/text.h"
#include "game/common/GUserManager.h"
#include "game/common/StringTableText.h"
#include "game/common/WindowKind.h"
#include "game/common/WindowScriptState.h"

namespace {

constexpr int kNewUserDelayMs = 30;

int PlayerCount() {
    GUserManager* users = GetUserManager();
    return users != nullptr ? users->GetNumUsers() : 0;
}

} // namespace

TWindow* TMainMenu::Create() {
    return new TMainMenu;
}

bool TMainMenu::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TMainMenu::TMainMenu() {
    mPublished = WindowScriptState();
    if (mPublished != nullptr) {
        LuaPublish(mPublished, "SetWelcomeName", this, &TMainMenu::SetWelcomeName);
    }
}

TMainMenu::~TMainMenu() {
    WithdrawFromWindowScript(this, mPublished);
}

void TMainMenu::SetWelcomeName() {
    if (PlayerCount() == 0) {
        // Once hidden they stay hidden until the menu is built anew.
        SetWindowShown(FindChild("welcome", -1), false);
        SetWindowShown(FindChild("changeplayer", -1), false);
        return;
    }
    if (TText* welcome = FindKind<TText>(this, "welcome")) {
        welcome->SetText(StringTableText("welcome", GetUserManager()->GetCurrentUserName()));
    }
}

void TMainMenu::PostCreate(TWindowStyle& style) {
    SetWelcomeName();
    TWindow::PostCreate(style);
    if (PlayerCount() == 0) {
        StartAnimation(kNewUserDelayMs, true, true, false);
    }
    if (!EngineFileExists(kCrossSellFile)) {
        SetWindowShown(FindChild("moregames", -1), false);
    }
}

bool TMainMenu::OnAnimate() {
    if (PlayerCount() == 0) {
        if (TScript* script = WindowScript()) {
            script->DoLuaString("NewUser();");
        }
    }
    return false;
}
