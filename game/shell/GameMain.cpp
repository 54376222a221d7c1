#include "game/shell/GameMain.h"

#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/media/renderer.h"
#include "engine/system/platform.h"
#include "engine/system/windowsystemlink.h"
#include "engine/ui/slider.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "game/common/GLogManager.h"
#include "game/common/GUserManager.h"
#include "game/shell/GAwardWnd.h"
#include "game/shell/GFlyText.h"
#include "game/shell/GGameCtrl.h"
#include "game/shell/GGameHooks.h"
#include "game/shell/GGameMainHooks.h"
#include "game/shell/GGameWnd.h"
#include "game/shell/GHintPanel.h"
#include "game/shell/GHintedButton.h"
#include "game/shell/GLevelScoreValues.h"
#include "game/shell/GPowerMeterSelector.h"
#include "game/shell/GRIndicatorLabel.h"
#include "game/shell/GSceneCtrl.h"
#include "game/shell/GSelectMenu.h"
#include "game/shell/GSelectMenuChild.h"
#include "game/shell/GSelectPopupper.h"
#include "game/shell/GStatWnd.h"
#include "game/shell/GTutorialProcessor.h"
#include "game/shell/GTutorialWindow.h"
#include "game/shell/GameMainScript.h"
#include "game/shell/TChoosePlayer.h"
#include "game/shell/TCredits.h"
#include "game/shell/TCustomTextEdit.h"
#include "game/shell/THiscore.h"
#include "game/shell/TLoaderWindow.h"
#include "game/shell/TMainMenu.h"
#include "game/shell/TOptions.h"
#include "game/shell/TProgressBar.h"
#include "game/visual/GFlyEmitter.h"
#include "game/visual/TPSimple.h"
#include "game/visual/particle_layer.h"
#include "game/world/ErrorBox.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GSeparateLayer.h"
#include "game/world/GStatistics.h"
#include "platform/win32/processthreadsapi.h"

namespace {

struct GWindowType {
    const char* name;
    TWindowManager::TCreateFunction create;
};

// Window types 1 to 31 in their fixed order. "TextEdit" is registered apart, after CPP_Printf.
const GWindowType kWindowTypes[] = {
    {"MainMenu", &TMainMenu::Create},
    {"OptionsWindow", &TOptions::Create},
    {"Slider", &TSlider::Create},
    {"HiscoreWindow", &THiscore::Create},
    {"ChoosePlayerWindow", &TChoosePlayer::Create},
    {"CreditsWindow", &TCredits::Create},
    {"ProgressBar", &TProgressBar::Create},
    {"Loader", &TLoaderWindow::Create},
    {"GGameWnd", &GGameWnd::Create},
    {"GGameCtrl", &GGameCtrl::Create},
    {"GSeparateLayer", &GSeparateLayer::Create},
    {"GSelectMenu", &GSelectMenu::Create},
    {"GSelectMenuChild", &GSelectMenuChild::Create},
    {"GSelectPopupper", &GSelectPopupper::Create},
    {"GFlyText", &GFlyText::Create},
    {"GHintPanel", &GHintPanel::Create},
    {"GSmallHintPanel", &GSmallHintPanel::Create},
    {"GLevelScoreValues", &GLevelScoreValues::Create},
    {"GPowerMeterSelector", &GPowerMeterSelector::Create},
    {"GPowerMeterButton", &GPowerMeterButton::Create},
    {"GLevelJumpButton", &GLevelJumpButton::Create},
    {"GHintedButton", &GHintedButton::Create},
    {"GStatWnd", &GStatWnd::Create},
    {"GAwardWnd", &GAwardWnd::Create},
    {"InterfaceEditor", &GControlEditor::Create},
    {"GSceneCtrl", &GSceneCtrl::Create},
    {"TutorialWindow", &GTutorialWindow::Create},
    {"Label", &GRIndicatorLabel::Create},
    {"particle_layer", &particle_layer::Create},
    {"GFlyEmitter", &GFlyEmitter::Create},
    {"TPSimple", &TPSimple::Create},
};

// Registered after CPP_Printf in place of the window script's own "TextEdit".
const GWindowType kTextEditType = {"TextEdit", &TCustomTextEdit::Create};

const char kQuitDialog[] =
    "result = DisplayDialog({\"scripts/yesno.lua\", body = \"quitconfirm\", title = "
    "\"quittitle\", name = \"quit_dialog\"}); if result == 'yes' then "
    "PostMessage(CreateNamedMessage(kQuitNow, \"Quit\")) end";
const char kPauseDialog[] = "DoModal('scripts/pause.lua')";
const char kStopDialog[] = "DoModal('scripts/stop_game.lua')";
const char kCloseStopDialog[] = "PopModal('stop_game');";

constexpr int kEscapeKey = 27;

const char kMainScript[] = "scripts/mainloop.lua";

} // namespace

void SetGameSettings() {
    SetSetting("publisher", "Vorlane");
    SetSetting("gamename", "VorlaneMarivell");
    SetSetting("encryptionkey", "Rw5uLk9cTbXe");
    SetSetting("qzgamehandle", "VorlaneMarivell");
    SetSetting(str::FromFormat("%s%d", "qzgamemodename", 1), "vorlanemarivell_storymode");
}

void GameMain(TPlatform* platform) {
    GGameHooks hooks;
    GGameMain game(platform, hooks);
    game.Start();
    game.RunLoop();
    game.Finish();
}

GGameMain::GGameMain(TPlatform* platform, GGameMainHooks& hooks)
    : mPlatform(platform),
      mHooks(hooks), mPauseWindowNames{str("game"), str("TutorialModalWindow")} {}

GGameMain::~GGameMain() {
    if (TWindowScript* script = Script()) {
        WithdrawGameMainFunctions(script->GetState(), mHooks);
    }
}

void GGameMain::Start() {
    if (TRenderer* renderer = TRenderer::Instance()) {
        renderer->SetOption("new_subtractive", "1");
    }
    if (TStringTableLink* strings = mPlatform->GetStringTable()) {
        mPlatform->SetWindowTitle(strings->GetString("windowtitle"));
    }
    CreateUserManager([]() -> TRandom& { return GStatistics::Instance()->GetRandom(); });
    GetUserManager()->ApplyVideoMode();
    GStatistics::Instance();

    TWindowManager* manager = GetWindowManager();
    TWindowScript* script = Script();
    if (manager == nullptr || script == nullptr) {
        return;
    }
    for (const GWindowType& type : kWindowTypes) {
        manager->RegisterWindowType(type.name, type.create);
    }
    PublishGameMainFunctions(script->GetState(), mHooks);
    manager->RegisterWindowType(kTextEditType.name, kTextEditType.create);
    PublishLateGameMainFunctions(script->GetState());
    GLogicalManager::Instance().SetTutorialMaker(&GTutorialProcessor::Make);
    // The main script may log from its first line on.
    GetLogManager();
    if (!script->RunScript(kMainScript)) {
        // Without it there is no menu and no dialog to leave by: say so and end.
        Log("GameMain: the main script %s could not be run", kMainScript);
        ShowErrorBox(str::FromFormat("Cannot run function: %s\n", kMainScript).CStr());
        TerminateProcess(GetCurrentProcess(), 1);
    }
    script->DoLuaString("gDebugMode = nil;");
}

void GGameMain::RunLoop() {
    TEvent event;
    do {
        mPlatform->GetEvent(&event);
    } while (HandleEvent(event));
}

bool GGameMain::HandleEvent(const TEvent& event) {
    TWindowManager* manager = GetWindowManager();
    const bool editorRunning = mHooks.IsEditorRunning();
    if (editorRunning && event.type == kEventQuit) {
        // The game cannot end under the editor, but the request must not be lost.
        mQuitPending = true;
    } else if (!editorRunning && mQuitPending) {
        return false;
    }
    if (!editorRunning) {
        switch (event.type) {
        case kEventQuit:
            return false;
        case kEventClose:
            OnCloseRequested();
            break;
        case kEventKeyDown:
            if ((event.param & 0xFF) == kEscapeKey) {
                OnEscape();
            }
            break;
        case kEventFullScreenToggled:
            if (GUserManager* users = GetUserManager()) {
                users->StoreFullScreen();
            }
            break;
        default:
            break;
        }
        if (event.type == kEventLeftUp || event.type == kEventActivation) {
            str name;
            if (manager != nullptr && TopModalName(&name) && name == str("game")) {
                if (TWindow* control = manager->GetTopModal()->FindChild("game_ctrl", -1)) {
                    mHooks.SendOutsideRelease(control);
                }
            }
        }
        if (event.type == kEventActivation) {
            OnActivation(event.param != 0);
        }
    }
    if (manager != nullptr) {
        manager->HandleEvent(event);
    }
    return true;
}

void GGameMain::Finish() {
    mHooks.CloseGame();
    DestroyUserManager();
}

bool GGameMain::TopModalName(str* name) {
    TWindowManager* manager = GetWindowManager();
    TWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    if (top == nullptr) {
        return false;
    }
    *name = top->GetName();
    return true;
}

TWindowScript* GGameMain::Script() {
    TWindowManager* manager = GetWindowManager();
    return manager != nullptr ? manager->GetWindowScript() : nullptr;
}

void GGameMain::RunLua(const char* text) {
    if (TWindowScript* script = Script()) {
        script->DoLuaString(text);
    }
}

void GGameMain::OnCloseRequested() {
    if (!mPlatform->IsForeground()) {
        mPlatform->PostQuit(0);
        return;
    }
    str name;
    if (TopModalName(&name) && name == str("quit_dialog")) {
        return;
    }
    // The dialog waits in the main script's coroutine; when that failed or ended, the dialog runs
    // as the coroutine itself.
    TWindowScript* script = Script();
    const bool alone = script != nullptr && !script->IsYielded();
    RunLua(alone ? (str("return function() ") + kQuitDialog + " end").CStr() : kQuitDialog);
    // A request nobody can be asked about is granted: the window must always close.
    if (!TopModalName(&name) || !(name == str("quit_dialog"))) {
        Log("GameMain: the quit dialog could not be shown; quitting");
        mPlatform->PostQuit(0);
    }
}

void GGameMain::OnEscape() {
    str name;
    if (mHooks.IsLevelPlaying() && TopModalName(&name) && IsPauseWindow(name)) {
        mHooks.StatisticOnPause(true);
        RunLua(kPauseDialog);
    }
}

void GGameMain::OnActivation(bool active) {
    str name;
    if (!active) {
        if (!TopModalName(&name) || mStopDialogOpen) {
            return;
        }
        if (mHooks.HasGameWindow() && IsPauseWindow(name)) {
            if (mHooks.IsLevelActive()) {
                mHooks.StatisticOnPause(true);
            }
            RunLua(kPauseDialog);
        }
        RunLua(kStopDialog);
        mStopDialogOpen = true;
    } else if (mStopDialogOpen) {
        RunLua(kCloseStopDialog);
        mStopDialogOpen = false;
    }
}
