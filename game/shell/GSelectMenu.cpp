#include "game/shell/GSelectMenu.h"

#include "engine/core/crtrand.h"
#include "engine/script/lua/luanumber.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowstyle.h"
#include "game/common/GLogManager.h"
#include "game/common/LuaValues.h"
#include "game/common/WindowKind.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GGameWnd.h"
#include "game/shell/GSelectMenuChild.h"
#include "game/shell/GSelectPopupper.h"
#include "game/shell/StyleTemplate.h"
#include "game/visual/TPSimple.h"
#include "game/world/GGameObject.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GSoundEffects.h"

#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <numbers>

namespace {

GSelectMenu::TSecondsClock gSecondsClock = nullptr;

int64_t NowSeconds() {
    return gSecondsClock != nullptr ? gSecondsClock() : static_cast<int64_t>(std::time(nullptr));
}

const std::array<float, 360>& SineTable() {
    static const std::array<float, 360> table = [] {
        std::array<float, 360> sines{};
        for (size_t i = 0; i < sines.size(); ++i) {
            sines[i] =
                static_cast<float>(std::sin(static_cast<double>(i) * std::numbers::pi / 180.0));
        }
        return sines;
    }();
    return table;
}

// A 0 to range - 1 from the runtime's 15-bit values, combined until they cover the range.
uint64_t CrtRandBelow(uint64_t range) {
    uint64_t covered = kCrtRandMax;
    uint64_t value = static_cast<uint64_t>(CrtRand());
    while (covered < range) {
        covered = covered << 15 | kCrtRandMax;
        value = value << 15 | static_cast<uint64_t>(CrtRand());
    }
    return value % range;
}

void LogSelector(const str& message, int line) {
    GLogRecord record;
    record.level = GLogManager::kWarning;
    record.module = "Selector";
    record.message = message;
    record.sourceFile = ".\\GSelectMenu.cpp";
    record.line = line;
    GetLogManager()->Write(record);
}

} // namespace

void GSelectMenu::SetSecondsClock(TSecondsClock clock) {
    gSecondsClock = clock;
}

GSelectMenu::GSelectMenu() : mScript(WindowScript()) {
    mPublished = WindowScriptState();
    if (mPublished != nullptr) {
        LuaPublish(mPublished, "CPP_OnSelectorInitComplete", this,
                   &GSelectMenu::CPP_OnSelectorInitComplete);
        LuaPublish(mPublished, "CPP_BeginSelectorDialogFly", this,
                   &GSelectMenu::CPP_BeginSelectorDialogFly);
        LuaPublish(mPublished, "CPP_EndSelectorChoose", this, &GSelectMenu::CPP_EndSelectorChoose);
        LuaPublish(mPublished, "CPP_OnBeginClosingSelector", this,
                   &GSelectMenu::CPP_OnBeginClosingSelector);
    }
}

GSelectMenu::~GSelectMenu() {
    WithdrawFromWindowScript(this, mPublished);
    if (mPopupper != nullptr) {
        mPopupper->ForgetMenu(this);
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    if (manager.GetSelectorWindow() == this) {
        manager.SetSelectorWindow(nullptr);
    }
}

bool GSelectMenu::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GSelectMenu::Create() {
    return new GSelectMenu;
}

void GSelectMenu::Init(TWindowStyle& style) {
    mW = style.GetInt("w", 0);
    mH = style.GetInt("h", 0);
    mChildsScript = style.GetString("childs_script", str());
    mChildsNum = style.GetInt("childs_num", 0);
    mChildName = style.GetString("child_name", str());
    mChildStartAngle = style.GetInt("child_start_angle", 0);
    mChildDistanceDelta = style.GetInt("child_distance_delta", 0);
    StartAnimation(kTimerMs, true, true, false);
}

void GSelectMenu::PostCreate(TWindowStyle& style) {
    TWindow::PostCreate(style);
}

void GSelectMenu::RunMain(const str& text) const {
    if (mScript != nullptr) {
        mScript->DoLuaString(text);
    }
}

TPSimple* GSelectMenu::FindHappyGlow() const {
    return FindKind<TPSimple>(GetModalParent(), "happy_glow");
}

float GSelectMenu::SineOf(int degrees) {
    // Modulo 360 with negative angles folded up, so that no angle runs past the table.
    const int index = ((degrees % 360) + 360) % 360;
    return SineTable()[static_cast<size_t>(index)];
}

std::vector<int32_t> GSelectMenu::MakeMoods(int count) {
    std::vector<int32_t> moods;
    if (count <= 0) {
        return moods;
    }
    moods.push_back(1);
    for (int i = 1; i < count; ++i) {
        moods.push_back(i % 2 == 1 ? 0 : -1);
    }
    CrtSrand(static_cast<uint32_t>(NowSeconds()));
    for (size_t i = 1; i < moods.size(); ++i) {
        std::swap(moods[i], moods[static_cast<size_t>(CrtRandBelow(i + 1))]);
    }
    return moods;
}

GSelectMenuChild* GSelectMenu::BuildChild(int index) {
    const str name = FormatNameTemplate(mChildName.CStr(), index);
    const int mood =
        index < static_cast<int>(mMoods.size()) ? mMoods[static_cast<size_t>(index)] : 0;
    const str literal = LuaStringLiteral(name);
    RunMain(str::FromFormat("gSelectorParamsData = { name=%s, char_part_id=%d, graphics=%s, "
                            "custom=%s, part_poise=%d };",
                            literal.CStr(), index + 1, literal.CStr(), literal.CStr(), mood));
    TWindowManager* windows = GetWindowManager();
    if (windows == nullptr) {
        return nullptr;
    }
    auto* holder = new TWindow;
    windows->RunWindowScript(holder, mChildsScript);
    auto* child = AsKind<GSelectMenuChild>(holder->FindChild(name, -1));
    if (child != nullptr) {
        child->GetParent()->RemoveChild(child);
        AddChild(child, true);
        child->SetMood(mood);
    }
    windows->DeleteWindowLater(holder);
    return child;
}

void GSelectMenu::PlaceChild(GSelectMenuChild* child, int index) {
    const GSelectMenuChild* first = mChildren.empty() ? child : mChildren.front();
    const int halfWidth = first->GetInitWidth() / 2;
    const int halfHeight = first->GetInitHeight() / 2;
    const int step = 360 / mChildsNum;
    // Wide sums: the style's numbers come from the scripts. The circle is worked out in single
    // precision, so that a sine of nearly 0 leaves a whole-pixel position whole.
    const int64_t radius = int64_t{mH / 2} - halfWidth + mChildDistanceDelta;
    const int64_t angle = int64_t{mChildStartAngle} + int64_t{index} * step;
    const int degrees = static_cast<int>(angle % 360);
    const float left = static_cast<float>(int64_t{mW / 2} - halfWidth) +
                       static_cast<float>(radius) * SineOf(degrees);
    const float top = static_cast<float>(int64_t{mH / 2} - halfHeight) -
                      static_cast<float>(radius) * SineOf(degrees + 90);
    child->MoveTo(LuaNumberToInt(left), LuaNumberToInt(top));
}

void GSelectMenu::CPP_OnSelectorInitComplete() {
    // The choices of an earlier opening go: the menu is kept and rebuilt for every opening.
    TWindowManager* windows = GetWindowManager();
    for (GSelectMenuChild* old : mChildren) {
        RemoveChild(old);
        if (windows != nullptr) {
            windows->DeleteWindowLater(old);
        }
    }
    mChildren.clear();
    mHoveredChild = nullptr;
    mMoods = MakeMoods(mChildsNum);
    if (mChildsNum > 0 && !IsNameTemplate(mChildName.CStr())) {
        LogSelector(str::FromFormat("GSelectMenu: child_name %s does not hold one integer "
                                    "conversion; no choices built",
                                    mChildName.CStr()),
                    __LINE__);
    } else {
        for (int i = 0; i < mChildsNum; ++i) {
            if (GSelectMenuChild* child = BuildChild(i)) {
                PlaceChild(child, i);
                mChildren.push_back(child);
            }
        }
    }
    LinkPopupper(FindKind<GSelectPopupper>(GetModalParent(), "select_menu_popupper"));
}

void GSelectMenu::LinkPopupper(GSelectPopupper* popupper) {
    if (mPopupper != nullptr && mPopupper != popupper) {
        mPopupper->ForgetMenu(this);
    }
    mPopupper = popupper;
    if (mPopupper != nullptr) {
        mPopupper->SetMenu(this);
    }
}

void GSelectMenu::ForgetPopupper(const GSelectPopupper* popupper) {
    if (mPopupper == popupper) {
        mPopupper = nullptr;
    }
}

void GSelectMenu::CPP_BeginSelectorDialogFly(int count) {
    TModalWindow* modal = GetModalParent();
    if (modal != nullptr) {
        modal->SetDefaultFocus(this);
    }
    if (count > 0) {
        mMoods = MakeMoods(mChildsNum);
        for (size_t i = 0; i < mChildren.size(); ++i) {
            GSelectMenuChild* child = mChildren[i];
            child->SetMood(i < mMoods.size() ? mMoods[i] : 0);
            child->ResetClickDelay();
            RunMain(str::FromFormat(
                "SetSelectorChildGraphicsVars(%d); SetSelectorChildGraphics(%s);",
                child->GetCharPartId(), LuaStringLiteral(child->GetChildName()).CStr()));
        }
    }
    if (mPopupper != nullptr) {
        mPopupper->Capture(this);
        SetWindowShown(this, false);
    }
    if (auto* game = dynamic_cast<GGameWnd*>(&GLogicalManager::Instance().GetHooks())) {
        game->DetachAnimation();
    }
    StartAnimation(kTimerMs, true, true, false);
    if (TPSimple* glow = FindHappyGlow()) {
        glow->StartAnimation(kGlowTimerMs, true, true, false);
    }
}

bool GSelectMenu::OnAnimate() {
    bool waiting = false;
    for (GSelectMenuChild* child : mChildren) {
        if (child->CountDown() >= 1) {
            waiting = true;
        }
    }
    return waiting;
}

void GSelectMenu::RestartGameWindow() {
    if (auto* game = dynamic_cast<GGameWnd*>(&GLogicalManager::Instance().GetHooks())) {
        game->StartAnimation(GGameWnd::kAnimationMs, true, true, false);
    }
}

void GSelectMenu::CPP_EndSelectorChoose(int dialog, int entry, int index) {
    if (index > 0) {
        const auto slot = static_cast<size_t>(index - 1);
        const int mood = slot < mMoods.size() ? mMoods[slot] : 0;
        GLogicalManager::Instance().CPP_EndChooseUser(dialog, entry, index, mood);
    }
    RestartGameWindow();
}

void GSelectMenu::ShowChildHover(GSelectMenuChild* child) {
    const char* lips = "LipsNormal";
    TPSimple* glow = FindHappyGlow();
    if (child->GetMood() == 1) {
        lips = "LipsHappy";
        if (glow != nullptr) {
            glow->DoLuaString("gActive = true;");
        }
    } else if (child->GetMood() != 0) {
        lips = "LipsSad";
        if (glow != nullptr) {
            glow->DoLuaString("gActive = false;");
        }
    }
    RunMain(str::FromFormat("SetCurrentPartsGraphics(%d, %s);", child->GetCharPartId(), lips));
    if (child != mHoveredChild) {
        if (GSoundEffects* effects = GSoundEffects::Instance()) {
            effects->Play("selection");
        }
        mHoveredChild = child;
    }
}

void GSelectMenu::CPP_OnBeginClosingSelector(str girl, str scene) {
    mClosingGirl = girl;
    mClosingScene = scene;
    GLogicalManager& manager = GLogicalManager::Instance();
    // Found before the menu leaves its modal window, in which the glow may lie.
    TPSimple* glow = FindHappyGlow();
    if (manager.GetSelectorWindow() != nullptr && manager.GetSelectorModal() != nullptr) {
        manager.GetSelectorModal()->RemoveChild(manager.GetSelectorWindow());
    }
    if (glow != nullptr) {
        glow->DetachAnimation();
        glow->DoLuaString("gActive = false;");
        glow->GetParticles().Update(kGlowFadeMs);
    }
    manager.SetSelectorModal(nullptr);
    RunMain("OnEndClosingSelector();");
    GLevel* level = manager.GetLevel();
    if (level == nullptr) {
        return;
    }
    for (GGameObject* object : level->GetObjects()) {
        if (std::strcmp(object->GetClassName(), "GStudent") == 0 && object->GetName() == girl) {
            manager.GetHooks().TutorialGameEvent(object, str("after_") + scene + str("_dialog"));
            break;
        }
    }
}
