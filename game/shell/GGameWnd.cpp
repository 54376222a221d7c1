#include "game/shell/GGameWnd.h"

#include "engine/core/log.h"
#include "engine/media/texture.h"
#include "engine/script/lua/luanumber.h"
#include "engine/system/platform.h"
#include "engine/system/windowsystemlink.h"
#include "engine/ui/image.h"
#include "engine/ui/text.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowstyle.h"
#include "game/common/StringTableText.h"
#include "game/common/WindowKind.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GFlyText.h"
#include "game/shell/GGameCtrl.h"
#include "game/shell/GHintPanel.h"
#include "game/shell/GSceneCtrl.h"
#include "game/shell/StyleTemplate.h"
#include "game/shell/WindowShown.h"
#include "game/visual/GFlyEmitter.h"
#include "game/visual/TPSimple.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GPlayerInfo.h"
#include "game/world/GUpgradeData.h"

#include <algorithm>

namespace {

constexpr char kFlyEmitterTemplate[] = "FlyEmitter_%d";
constexpr char kUpgradePanels[] =
    "EnableWindow('girl_upgrade_panel', true);EnableWindow('buy_panel', "
    "true);EnableWindow('level_panel', false);";
constexpr char kPlayPanels[] =
    "EnableWindow('buy_panel', false); EnableWindow('girl_upgrade_panel', false); "
    "EnableWindow('level_panel', true);EnableWindow('judging_counter_img', true);";
constexpr char kUpgradeIntro[] =
    "if (gGlobalPlayerInfo.gUpgradeIntroShow == 0)then gGlobalPlayerInfo.gUpgradeIntroShow = 1; "
    "DoModal('scripts/rule_upgrade.lua'); end;";

int MainNumber(const char* name) {
    TScript* script = WindowScript();
    return script != nullptr ? LuaNumberToInt(script->GetGlobalNumber(name)) : 0;
}

// The selector's modal window: the manager keeps it unowned, so it lets go of it here when the
// window goes without the closing callback (popped with the whole stack on the way to the menu).
class GSelectorModalWindow final : public TModalWindow {
public:
    ~GSelectorModalWindow() override {
        GLogicalManager& manager = GLogicalManager::Instance();
        if (manager.GetSelectorModal() == this) {
            manager.SetSelectorModal(nullptr);
        }
    }
};

} // namespace

GGameWnd::GGameWnd() {
    mPublished = WindowScriptState();
    if (mPublished != nullptr) {
        LuaPublish(mPublished, "CPP_OnUpgradeModeFinished", this,
                   &GGameWnd::CPP_OnUpgradeModeFinished);
        LuaPublish(mPublished, "CPP_OnGameWndInitComplete", this,
                   &GGameWnd::CPP_OnGameWndInitComplete);
        LuaPublish(mPublished, "CPP_PressPowerButton", this, &GGameWnd::CPP_PressPowerButton);
    }
}

GGameWnd::~GGameWnd() {
    WithdrawFromWindowScript(this, mPublished);
    GLogicalManager& manager = GLogicalManager::Instance();
    if (mGameCtrl != nullptr && mGameCtrl->GetGameData() != nullptr) {
        mGameCtrl->GetGameData()->CloseLevel();
    }
    // The manager must not reach this window, or the control about to go with it, again.
    if (&manager.GetHooks() == this) {
        manager.SetHooks(nullptr);
    }
    mGameCtrl = nullptr;
    mSceneCtrl = nullptr;
}

bool GGameWnd::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GGameWnd::Create() {
    return new GGameWnd;
}

void GGameWnd::Init(TWindowStyle& style) {
    TWindow::Init(style);
    mPowerDeltaY = MainNumber("power_delta_y");
    mPowerBeginY = MainNumber("power_begin_y");
    mPowerBeginX = MainNumber("power_begin_x");
    mPowerDeltaX = MainNumber("power_delta_x");
}

TWindow* GGameWnd::FindInScreen(const str& name) {
    TWindow* root = GetModalParent();
    return (root != nullptr ? root : static_cast<TWindow*>(this))->FindChild(name, -1);
}

void GGameWnd::PostCreate(TWindowStyle& style) {
    if (mPublished != nullptr) {
        LuaPublish(mPublished, "CPP_LoadLevel", this, &GGameWnd::CPP_LoadLevel);
    }
    TWindow::PostCreate(style);
    mGameCtrl = AsKind<GGameCtrl>(FindChild("game_ctrl", -1));
    mSceneCtrl = AsKind<GSceneCtrl>(FindChild("scene_ctrl", -1));
    if (TWindow* panel = FindChild("score_panel", -1)) {
        mGoalIndicator.Attach(panel, nullptr);
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.SetHooks(this);

    mScoreLabels.clear();
    mWhiteScoreText = nullptr;
    const str labels = style.GetString("ScoreLabelsTemplateName", str());
    const int labelCount = LuaNumberToInt(style.GetNumber("ScoreLabelsNum", 0.0));
    if (labels.Length() > 0 && labelCount > 0 && !IsNameTemplate(labels.CStr())) {
        Log("GGameWnd: ScoreLabelsTemplateName %s does not hold one integer conversion; no score "
            "labels",
            labels.CStr());
    } else if (labels.Length() > 0 && labelCount > 0) {
        for (int i = 0; i < labelCount; ++i) {
            if (auto* label =
                    AsKind<GSmallHintPanel>(FindInScreen(FormatNameTemplate(labels.CStr(), i)))) {
                mScoreLabels.push_back(label);
            }
        }
        mWhiteScoreText = AsKind<GFlyText>(FindInScreen("white_score_text"));
    }
    mFlyEmitters.clear();
    const int emitters = LuaNumberToInt(style.GetNumber("FlyEmittersNum", 0.0));
    for (int i = 0; i < emitters; ++i) {
        const str name = FormatNameTemplate(kFlyEmitterTemplate, i);
        if (auto* emitter = AsKind<GFlyEmitter>(FindInScreen(name))) {
            mFlyEmitters.push_back(emitter);
        }
    }
    mHintPanel = AsKind<GHintPanel>(FindInScreen("hint_panel"));
    mSmallHintPanel = AsKind<GSmallHintPanel>(FindInScreen("small_hint_panel"));
    mMoneyText = AsKind<TText>(FindInScreen("money_account"));
    mJudgingCountText = AsKind<TText>(FindChild("judging_count_value", -1));

    const int level = MainNumber("gLevelNum");
    const int stage = MainNumber("gStageNum");
    if (GGameData* data = manager.GetGameData()) {
        data->StartLevel(level, stage);
    }
    ShowLevelCaption(level);
    StartAnimation(kAnimationMs, true, true, false);

    mGuideGlowState = true;
    mGuideGlow = AsKind<TPSimple>(FindInScreen("guide_glow"));
    if (mGuideGlow != nullptr) {
        mGuideGlow->DoLuaString("gActive = false;");
        mGuideGlowState = false;
    }
}

void GGameWnd::RunMain(const str& text) {
    if (TScript* script = WindowScript()) {
        script->DoLuaString(text);
    }
}

int GGameWnd::CPP_LoadLevel(int level, int stage) {
    mStepCounter = 0;
    ShowLevelCaption(level);
    GGameData* data = GLogicalManager::Instance().GetGameData();
    return data != nullptr && data->StartLevel(level, stage) ? 1 : 0;
}

void GGameWnd::ShowLevelCaption(int level) {
    if (auto* caption = AsKind<TText>(FindChild("name_level1", -1))) {
        TPlatform* platform = TPlatform::GetInstance();
        TStringTableLink* strings = platform != nullptr ? platform->GetStringTable() : nullptr;
        if (strings != nullptr) {
            caption->SetText(strings->GetString(str::FromFormat("level_caption_%d", level)));
        }
    }
    if (TWindow* counter = FindChild("judging_counter_img", -1)) {
        counter->SetFlags(0);
    }
}

bool GGameWnd::OnAnimate() {
    ++mStepCounter;
    mGoalIndicator.Tick();
    if (mStepCounter == 1) {
        BeginUpgradePhase();
    } else if (mStepCounter == 0) {
        if (GGameData* data = GLogicalManager::Instance().GetGameData()) {
            data->ShowLevelGoalDialog();
        }
        mStepCounter = 3;
    }
    if (mSelectorPending && GLogicalManager::Instance().GetGameState() != 3) {
        mSelectorPending = false;
        OpenSelector();
    }
    return true;
}

void GGameWnd::BeginUpgradePhase() {
    GLogicalManager& manager = GLogicalManager::Instance();
    GGameData* data = manager.GetGameData();
    if (data == nullptr || data->GetOfferCount() == 0) {
        CPP_OnUpgradeModeFinished();
        return;
    }
    SetMoney(GPlayerInfo::Instance()->GetMoney());
    RunMain(kUpgradePanels);
    GLevel* level = manager.GetLevel();
    if (level != nullptr && level->GetLevelNumber() == 2) {
        RunMain(kUpgradeIntro);
    }
    manager.UpdateBuyButton();
}

void GGameWnd::CPP_OnUpgradeModeFinished() {
    GLevel* level = GLogicalManager::Instance().GetLevel();
    if (level != nullptr) {
        level->EndUpgradePhase();
    }
    RunMain(kPlayPanels);
    mPowerButtons.clear();
    // Ending the upgrade phase may have run Lua that replaced the level.
    level = GLogicalManager::Instance().GetLevel();
    if (level != nullptr) {
        level->Begin();
    }
    mStepCounter = -1;
}

int GGameWnd::CPP_PressPowerButton(str name) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GLevel* level = manager.GetLevel();
    if (level != nullptr && level->GetLevelState() != 2) {
        return 0;
    }
    GGameData* data = manager.GetGameData();
    const GUpgradeData* record = data != nullptr ? data->FindUpgrade(name, 0) : nullptr;
    if (record == nullptr) {
        return 0;
    }
    // Copied: using the power may change the game data.
    const int kind = record->mIndex;
    const int answer = manager.CanUsePower(kind);
    if (answer != 1) {
        return answer;
    }
    const auto found = std::find(mPowerButtons.begin(), mPowerButtons.end(), name);
    if (found != mPowerButtons.end()) {
        mPowerButtons.erase(found);
    }
    ShowPowerButtons(false);
    return manager.UsePower(kind);
}

int GGameWnd::PlacePowerButton(const str& name, int index) {
    TWindow* button = FindChild(name, -1);
    if (button == nullptr) {
        return 0;
    }
    // The grid comes from the main script: held to the int range rather than overflowing.
    const bool firstColumn = index < 2;
    const int x = SaturateToInt(int64_t{mPowerBeginX} + (firstColumn ? 0 : int64_t{mPowerDeltaX}));
    const int y = SaturateToInt(int64_t{mPowerBeginY} +
                                int64_t{firstColumn ? index : index - 2} * int64_t{mPowerDeltaY});
    button->MoveTo(x, y);
    SetShownFlag(button, true);
    mPowerButtons.push_back(name);
    TWindow* disabled = FindChild(name + str("_dis"), -1);
    if (disabled == nullptr) {
        return 0;
    }
    disabled->MoveTo(x, y);
    SetShownFlag(disabled, true);
    return 1;
}

void GGameWnd::ShowPowerButtons(bool show) {
    for (const str& name : mPowerButtons) {
        SetShownFlag(FindChild(name, -1), show);
    }
}

void GGameWnd::SetMoney(int money) {
    if (mMoneyText != nullptr) {
        mMoneyText->SetText(str::FromFormat("%d", std::max(money, 0)));
    }
}

void GGameWnd::UpdateJudgingCount() {
    GLevel* level = GLogicalManager::Instance().GetLevel();
    if (mJudgingCountText != nullptr && level != nullptr) {
        mJudgingCountText->SetText(str::FromFormat("%d", level->GetJudgingsPending()));
    }
}

void GGameWnd::SetBackground(const str& background) {
    auto* image = AsKind<TImage>(FindChild("background", -1));
    if (image != nullptr && background.Length() > 0) {
        image->SetImage(TTexture::Get(background, 0), 1.0f);
    }
}

void GGameWnd::SetGuideGlow(bool on) {
    if (mGuideGlow != nullptr && on != mGuideGlowState) {
        mGuideGlow->DoLuaString(on ? "gActive = true;" : "gActive = false;");
        mGuideGlowState = on;
    }
}

void GGameWnd::RequestSelector(const str& text) {
    mSelectorText = text;
    mSelectorPending = true;
}

void GGameWnd::OpenSelector() {
    GLogicalManager& manager = GLogicalManager::Instance();
    TWindowManager* windows = GetWindowManager();
    if (windows == nullptr) {
        return;
    }
    if (GLevel* level = manager.GetLevel()) {
        level->OnMouseUp(mGameCtrl != nullptr ? mGameCtrl->GetLastMousePoint() : TPoint{0, 0});
    }
    manager.SetCursor(0);
    auto* modal = new GSelectorModalWindow;
    manager.SetSelectorModal(modal);
    modal->MoveTo(0, 0);
    modal->SetSize(800, 600);
    modal->SetName("SelectorModalWindow");
    if (manager.GetSelectorWindow() == nullptr) {
        windows->RunWindowString(modal, mSelectorText);
        windows->RunWindowScript(modal, "scripts/selector.lua");
        manager.SetSelectorWindow(modal->FindChild("select_control", -1));
    } else {
        modal->AddChild(manager.GetSelectorWindow(), true);
        windows->RunWindowString(manager.GetSelectorWindow(), mSelectorText);
    }
    windows->PushModal(modal);
    TWindow* selector = manager.GetSelectorWindow();
    windows->RunWindowString(selector != nullptr ? selector : modal, "OnSelectorInitComplete();");
}

GFlyEmitter* GGameWnd::FindFlyEmitter(const str& script) {
    for (GFlyEmitter* emitter : mFlyEmitters) {
        if (emitter->IsIdle() && emitter->GetScriptPath() == script) {
            return emitter;
        }
    }
    return nullptr;
}

void GGameWnd::ForgetControl(const TWindow* control) {
    if (control == mGameCtrl) {
        mGameCtrl = nullptr;
    }
    if (control == mSceneCtrl) {
        mSceneCtrl = nullptr;
    }
}

// The game window the logical manager knows, which may still point at the control; null while the
// window goes (it has left the manager by then).
void ForgetControlInGameWnd(const TWindow* control) {
    if (auto* window = dynamic_cast<GGameWnd*>(&GLogicalManager::Instance().GetHooks())) {
        window->ForgetControl(control);
    }
}

GVLayer* GGameWnd::GetGameLayer() {
    return mGameCtrl != nullptr ? mGameCtrl->GetLayer() : nullptr;
}

GVLayer* GGameWnd::GetSceneLayer() {
    return mSceneCtrl != nullptr ? mSceneCtrl->GetLayer() : nullptr;
}

void GGameWnd::AddToSceneControl(GGameObject* girl) {
    if (mSceneCtrl != nullptr) {
        mSceneCtrl->AddObject(girl);
    }
}

void GGameWnd::QueueLuaText(const str& text) {
    if (mGameCtrl != nullptr) {
        mGameCtrl->QueueLuaText(text);
    }
}

TWindow* GGameWnd::GetHintPanel() {
    return mHintPanel;
}

TWindow* GGameWnd::GetSmallHintPanel() {
    return mSmallHintPanel;
}

TWindow* GGameWnd::GetIdleScoreLabel(const str& /*text*/) {
    return FindIdleScoreLabel();
}

GSmallHintPanel* GGameWnd::FindIdleScoreLabel() const {
    for (GSmallHintPanel* label : mScoreLabels) {
        if (label->IsIdle()) {
            return label;
        }
    }
    return nullptr;
}

TWindow* GGameWnd::GetWhiteScoreText() {
    return mWhiteScoreText;
}

void GGameWnd::StopScoreText() {
    if (mWhiteScoreText != nullptr && mWhiteScoreText->GetMobile().GetTarget() != nullptr) {
        mWhiteScoreText->GetMobile().Detach();
    }
}

void GGameWnd::FlyWhiteScoreText(const str& text, int x, int y, int direction) {
    if (mWhiteScoreText == nullptr) {
        return;
    }
    if (GSmallHintPanel* label = FindIdleScoreLabel()) {
        label->SetDescriptionColor(TColor{0.0f, 0.0f, 0.0f, 0.0f});
    }
    mWhiteScoreText->SetText(text);
    mWhiteScoreText->GetMobile().SetPosition(static_cast<float>(x), static_cast<float>(y));
    mWhiteScoreText->Fly(direction, kScoreFlightSteps);
}

void GGameWnd::FlyScoreLabel(const str& description, int background, int x, int y, int points) {
    GSmallHintPanel* label = FindIdleScoreLabel();
    if (label == nullptr) {
        return;
    }
    label->SetDescription(description);
    label->SetBackground(background);
    // The flight starts from the label's own position, which moves the window with it.
    label->SetPosition(static_cast<float>(x), static_cast<float>(y));
    label->Fly(points, kScoreFlightSteps, true);
}

void GGameWnd::ShowHint(const str& nameLabel, const str& descriptionLabel, int cost,
                        bool recommended) {
    if (mHintPanel == nullptr) {
        return;
    }
    mHintPanel->SetCaption(StringTableText(nameLabel));
    mHintPanel->SetDescription(StringTableText(descriptionLabel));
    mHintPanel->SetCost(cost);
    mHintPanel->SetRecommended(recommended);
    mHintPanel->Refresh();
}

void GGameWnd::HideHint() {
    if (mHintPanel != nullptr) {
        mHintPanel->Hide();
    }
}

namespace {

GTutorialHooks& Tutorials() {
    static GTutorialHooks none;
    GTutorialHooks* processor = GLogicalManager::Instance().GetTutorialProcessor();
    return processor != nullptr ? *processor : none;
}

} // namespace

void GGameWnd::TutorialClick(GGameObject* object) {
    Tutorials().OnClick(object);
}

void GGameWnd::TutorialDragEnd(GGameObject* object) {
    Tutorials().OnDragEnd(object);
}

void GGameWnd::TutorialTouchUpEnd(GGameObject* /*heroine*/, GGameObject* girl) {
    Tutorials().OnTouchUpEnd(girl);
}

void GGameWnd::TutorialTaskStart(GBaseSimpleTask* task) {
    Tutorials().OnTaskStart(task);
}

void GGameWnd::TutorialTaskEnd(GBaseSimpleTask* task) {
    Tutorials().OnTaskEnd(task);
}

void GGameWnd::TutorialGameEvent(GGameObject* object, const str& event) {
    Tutorials().OnGameEvent(object, event);
}

void GGameWnd::TutorialTouchUp(GGameObject* personage) {
    Tutorials().OnTouchUp(personage);
}

void GGameWnd::TutorialWish(GGameObject* girl, const str& scene) {
    Tutorials().QueueNamedEvent(girl, scene);
}

void GGameWnd::TutorialAppeared(GGameObject* girl) {
    Tutorials().QueueObjectEvent(girl);
}
