// The player profiles' ten functions in the window script: "ToggleFullScreen", "ToggleSoundMute",
// "SetCurrentGameMode", "GetNumUsers", "CreateNewUser", "SetCurrentUser",
// "ChangeCurrentUserName", "DeleteUser", "IsNameInUse" and "QuitToMainMenu". The user manager
// publishes them when it is made and withdraws them when it dies. Main thread only.
#pragma once

struct lua_State;
class GUserManager;

// Publishes in the window manager's script; answers its state, or null when there is none.
lua_State* PublishUserManager(GUserManager* manager);
