#include "game/shell/GHintedButton.h"

#include "engine/core/clock.h"
#include "engine/script/lua/luanumber.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowstyle.h"
#include "game/common/StringTableText.h"
#include "game/shell/GHintPanel.h"
#include "game/world/GLogicalManager.h"

bool GHintedButton::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TButton::IsKindOf(id);
}

TWindow* GHintedButton::Create() {
    return new GHintedButton;
}

void GHintedButton::Init(TWindowStyle& style) {
    TButton::Init(style);
    mHintAppearDelay =
        static_cast<uint32_t>(LuaNumberToInt(style.GetNumber("HintAppearDelay", 1000.0)));
    mHintCaption = StringTableText(style.GetString("HintName", str("hint_bonus_1_name")));
    mHintDescription =
        StringTableText(style.GetString("HintDescript", str("hint_bonus_1_descript")));
    StartAnimation(kTickMs, true, true, false);
}

GSmallHintPanel* GHintedButton::HintPanel() {
    TWindow* window = GLogicalManager::Instance().GetSmallHintPanel();
    return window != nullptr && window->IsKindOf(GSmallHintPanel::ClassId())
               ? static_cast<GSmallHintPanel*>(window)
               : nullptr;
}

int GHintedButton::ClockTime() {
    TWindowManager* manager = GetWindowManager();
    TModalWindow* top = manager != nullptr ? manager->GetTopModal() : nullptr;
    return top != nullptr ? top->GetClock().GetTime() : 0;
}

bool GHintedButton::OnAnimate() {
    GSmallHintPanel* panel = HintPanel();
    if (mArmed && panel != nullptr &&
        static_cast<int64_t>(ClockTime()) - mArmedTime >= static_cast<int64_t>(mHintAppearDelay)) {
        mArmed = false;
        panel->SetCaption(mHintCaption);
        panel->SetDescription(mHintDescription);
        panel->Refresh();
        panel->Fly(0, 5000, false);
    }
    return true;
}

bool GHintedButton::OnMouseMove(const TPoint& point) {
    if (GSmallHintPanel* panel = HintPanel()) {
        panel->SetPosition(static_cast<float>(int64_t{GetRect().left} + point.x + kHintOffsetX),
                           static_cast<float>(int64_t{GetRect().top} + point.y + kHintOffsetY));
        if (!mArmed) {
            mArmed = true;
            mArmedTime = ClockTime();
        } else {
            panel->Hide();
        }
    }
    return TButton::OnMouseMove(point);
}

bool GHintedButton::OnMouseLeave() {
    if (GSmallHintPanel* panel = HintPanel()) {
        panel->Hide();
    }
    mArmed = false;
    return TButton::OnMouseLeave();
}
