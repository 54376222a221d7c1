#include "game/shell/TChoosePlayer.h"

#include "engine/ui/button.h"
#include "game/common/GUserManager.h"
#include "game/common/LuaValues.h"
#include "game/common/WindowKind.h"
#include "game/common/WindowScriptState.h"

TWindow* TChoosePlayer::Create() {
    return new TChoosePlayer;
}

bool TChoosePlayer::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TChoosePlayer::TChoosePlayer() {
    mPublished = WindowScriptState();
    if (mPublished != nullptr) {
        LuaPublish(mPublished, "SetPlayerChoices", this, &TChoosePlayer::SetPlayerChoices);
        LuaPublish(mPublished, "GetCurrentSelectedUser", this,
                   &TChoosePlayer::GetCurrentSelectedUser);
        LuaPublish(mPublished, "GetSelectedPlayerName", this,
                   &TChoosePlayer::GetSelectedPlayerName);
    }
}

TChoosePlayer::~TChoosePlayer() {
    WithdrawFromWindowScript(this, mPublished);
}

void TChoosePlayer::PostCreate(TWindowStyle& style) {
    TWindow::PostCreate(style);
    SetPlayerChoices();
}

str TChoosePlayer::PlayerChoicesCall(int current, int count, const str& list) {
    return str::FromFormat("UpdatePlayerChoices( %d, %d, %s )", current, count, list.CStr());
}

void TChoosePlayer::SetPlayerChoices() {
    GUserManager* users = GetUserManager();
    TScript* script = WindowScript();
    if (users == nullptr || script == nullptr) {
        return;
    }
    const int count = users->GetNumUsers();
    str list = "{";
    for (int i = 0; i < count && i < kButtons; ++i) {
        // Escaped: a quote in a typed name must neither break the list nor run as code.
        list += LuaStringLiteral(users->GetUserName(i)) + ",";
    }
    list += "}";
    script->DoLuaString(PlayerChoicesCall(users->GetCurrentUser(), count, list));
}

int TChoosePlayer::GetCurrentSelectedUser() {
    for (int i = 0; i < kButtons; ++i) {
        TButton* button = FindKind<TButton>(this, str::FromFormat("button%d", i));
        if (button != nullptr && button->IsToggledOn()) {
            return i;
        }
    }
    return 0;
}

str TChoosePlayer::GetSelectedPlayerName() {
    GUserManager* users = GetUserManager();
    const int index = GetCurrentSelectedUser();
    if (users == nullptr || index >= users->GetNumUsers()) {
        return str();
    }
    return users->GetUserName(index);
}
