#include "game/common/GUserManagerScript.h"

#include "engine/script/luabinding.h"
#include "game/common/GUserManager.h"
#include "game/common/WindowScriptState.h"

lua_State* PublishUserManager(GUserManager* manager) {
    lua_State* state = WindowScriptState();
    if (state != nullptr) {
        LuaPublish(state, "ToggleFullScreen", manager, &GUserManager::ToggleFullScreen);
        LuaPublish(state, "ToggleSoundMute", manager, &GUserManager::ToggleSoundMute);
        LuaPublish(state, "SetCurrentGameMode", manager, &GUserManager::SetCurrentGameMode);
        LuaPublish(state, "GetNumUsers", manager, &GUserManager::GetNumUsers);
        LuaPublish(state, "CreateNewUser", manager, &GUserManager::CreateNewUser);
        LuaPublish(state, "SetCurrentUser", manager, &GUserManager::SetCurrentUser);
        LuaPublish(state, "ChangeCurrentUserName", manager, &GUserManager::ChangeCurrentUserName);
        LuaPublish(state, "DeleteUser", manager, &GUserManager::DeleteUser);
        LuaPublish(state, "IsNameInUse", manager, &GUserManager::IsNameInUse);
        LuaPublish(state, "QuitToMainMenu", manager, &GUserManager::QuitToMainMenu);
    }
    return state;
}
