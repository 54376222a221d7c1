#include "game/shell/GAwardWnd.h"

#include "engine/script/lua/luanumber.h"
#include "engine/ui/button.h"
#include "engine/ui/image.h"
#include "engine/ui/text.h"
#include "engine/ui/windowstyle.h"
#include "game/common/StringTableText.h"
#include "game/common/WindowKind.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVObject.h"
#include "game/visual/TPSimple.h"
#include "game/world/GGirlLook.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GSeparateLayer.h"
#include "game/world/GSoundEffects.h"
#include "game/world/GStateKey.h"
#include "game/world/LuaTableWalk.h"

#include <algorithm>

namespace {

void PlayEffect(const char* name) {
    if (GSoundEffects* effects = GSoundEffects::Instance()) {
        effects->Play(name);
    }
}

} // namespace

GAwardWnd::GAwardWnd() = default;

GAwardWnd::~GAwardWnd() {
    mGirls.clear();
}

bool GAwardWnd::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GAwardWnd::Create() {
    return new GAwardWnd;
}

void GAwardWnd::ApplyLook(GVObject* visual, const str& state, const GGirlLook* look) {
    if (visual == nullptr) {
        return;
    }
    visual->SetState(GStateKey::FromString(state), true);
    if (look == nullptr) {
        return;
    }
    const GLookNumbers& numbers = look->mNumbers;
    visual->SetState(
        GStateKey::FromString(str::FromFormat("hair_%s_%d", state.CStr(), numbers.mHair)), true);
    visual->SetState(
        GStateKey::FromString(str::FromFormat("dress_%s_%d", state.CStr(), numbers.mDress)), true);
    visual->SetState(GStateKey::FromString(str::FromFormat("accesories_%d", numbers.mAccessories)),
                     true);
    if (state == str("girl_invisible") || state == str("zoom_invisible")) {
        visual->SetState(GStateKey::FromString(state), true);
    }
}

void GAwardWnd::ActivateEffect(const str& name) {
    if (auto* effect = FindKind<TPSimple>(GetModalParent(), name)) {
        effect->DoLuaString("gActive = true;");
    }
}

void GAwardWnd::SetWinner(int index) {
    mWinnerIndex = index;
    const auto count = static_cast<int32_t>(mGirls.size());
    if (count > 0 && mWinnerIndex > count - 1) {
        mWinnerIndex = count - 1;
    }
}

void GAwardWnd::AddGirl(int x, int y, const GGirlLook& look) {
    GVObject* visual = GVFactory::Instance().CreateByPath(look.mType, true);
    if (visual != nullptr) {
        visual->mDeltaX = static_cast<float>(x);
        visual->mDeltaY = static_cast<float>(y);
        visual->MarkChanged();
        for (const char* state : {"stay_right", "zoom_invisible", "poise_hide"}) {
            ApplyLook(visual, state, &look);
        }
        visual->mDeltaZ = static_cast<float>(y);
        visual->MarkChanged();
    }
    mGirls.emplace_back(visual);
}

void GAwardWnd::PlaceGirls(TLuaTable& pairs, const str& bestName) {
    const std::map<str, GGirlLook>& looks = GLogicalManager::Instance().GetLevel()->GetGirlLooks();
    auto next = looks.begin();
    bool isX = true;
    int x = 0;
    ForEachEntry(pairs, [&](const TLuaObjectWrapper& /*key*/, const TLuaObjectWrapper& value) {
        if (!value.IsNumber()) {
            return;
        }
        const int number = LuaNumberToInt(value.ToNumber());
        if (isX) {
            isX = false;
            x = number;
            if (mWinnerX < 0) {
                mWinnerX = x;
            }
            return;
        }
        isX = true;
        if (mWinnerY < 0) {
            mWinnerY = number;
            return;
        }
        if (mAwardLayer == nullptr || next == looks.end()) {
            return;
        }
        GVFactory::Instance().SetCurrentLayer(mAwardLayer->GetLayer());
        AddGirl(x, number, next->second);
        if (next->first == bestName) {
            mWinnerIndex = static_cast<int32_t>(mGirls.size()) - 1;
        }
        ++next;
    });
}

void GAwardWnd::PostCreate(TWindowStyle& style) {
    GLevel* level = GLogicalManager::Instance().GetLevel();
    if (level == nullptr) {
        return;
    }
    const str bestName = level->GetBestGirlName();
    TWindow::PostCreate(style);
    mCrownOffsetX = style.GetInt("crown_offset_x", 0);
    mCrownOffsetY = style.GetInt("crown_offset_y", 0);
    std::unique_ptr<TLuaTable> pairs(style.GetTable("girl_x_y"));

    if (TWindow* layer = FindChild("award_layer", -1)) {
        mAwardLayer = AsKind<GSeparateLayer>(layer);
        mCrown = FindKind<TImage>(layer, "crown");
        mAwardCrown = FindKind<TImage>(layer, "award_crown");
        if (mAwardCrown != nullptr) {
            mAwardCrown->SetFlags(0);
        }
    }
    if (pairs != nullptr) {
        PlaceGirls(*pairs, bestName);
    }
    if (!mGirls.empty()) {
        const int period = kRunMs / static_cast<int>(mGirls.size());
        StartAnimation(std::clamp(period, kMinPeriodMs, kMaxPeriodMs), true, true, false);
    }
    SetWinner(mWinnerIndex);

    mAwardText = FindChild("award_text", -1);
    if (auto* text = AsKind<TText>(mAwardText)) {
        text->SetText(str::FromFormat("%s %s", StringTableText("award_text").CStr(), "..."));
    }
    SetWindowShown(mAwardText, true);
    PlayEffect("drums");
    if (mGirls.empty()) {
        // Nobody to crown: no run, and the window is ready to be left at once.
        mRounds = 0;
        SetWindowShown(mCrown, false);
        if (auto* button = FindKind<TButton>(GetModalParent(), "aw_btn")) {
            button->SetLabelText("Ok");
        }
    }
}

bool GAwardWnd::OnAnimate() {
    ++mTickCounter;
    if (mCrown == nullptr || mRounds < 1 || mTickCounter % mRounds != 0) {
        return true;
    }
    ++mCrownIndex;
    const auto count = static_cast<int32_t>(mGirls.size());
    if (mCrownIndex < count) {
        if (GVObject* girl = mGirls[static_cast<size_t>(mCrownIndex)].get()) {
            mCrown->MoveTo(LuaNumberToInt(girl->mDeltaX) + mCrownOffsetX,
                           LuaNumberToInt(girl->mDeltaY) + mCrownOffsetY);
        }
    } else if (mRounds > 1) {
        --mRounds;
        mCrownIndex = 0;
        OnAnimate();
    } else {
        Reveal();
    }
    return true;
}

void GAwardWnd::Reveal() {
    PlayEffect("winner");
    if (mWinnerIndex >= 0 && mWinnerIndex < static_cast<int32_t>(mGirls.size())) {
        if (GVObject* winner = mGirls[static_cast<size_t>(mWinnerIndex)].get()) {
            winner->mDeltaX = static_cast<float>(mWinnerX);
            winner->mDeltaY = static_cast<float>(mWinnerY);
            winner->mDeltaZ = static_cast<float>(mWinnerY);
            winner->MarkChanged();
        }
    }
    mRounds = 0;
    SetWindowShown(mAwardCrown, true);
    SetWindowShown(mCrown, false);
    SetWindowShown(mAwardText, true);
    for (const char* effect : {"salut_0", "salut_1", "salut_2", "scene_glow", "girl_glow"}) {
        ActivateEffect(effect);
    }
    if (auto* button = FindKind<TButton>(GetModalParent(), "aw_btn")) {
        button->SetLabelText("Ok");
    }
}
