#include "game/shell/GHintPanel.h"
#include "game/shell/WindowShown.h"

#include "engine/media/texture.h"
#include "engine/script/lua/luanumber.h"
#include "engine/ui/text.h"
#include "engine/ui/windowstyle.h"
#include "game/world/GPlayerInfo.h"

#include <algorithm>

namespace {

template <class T>
T* ChildOfKind(TWindow* parent, const char* name) {
    TWindow* window = parent->FindChild(name, -1);
    return window != nullptr && window->IsKindOf(T::ClassId()) ? static_cast<T*>(window) : nullptr;
}

// A script's number as a vector component: NaN is 0 and the rest is held to the int range, so that
// positions made from it stay finite.
double HeldToIntRange(double value) {
    if (value != value) {
        return 0.0;
    }
    return std::clamp(value, -2147483648.0, 2147483647.0);
}

void SetTextOf(TText* text, const str& value) {
    if (text != nullptr) {
        text->SetText(value);
    }
}

} // namespace

GHintPanel::~GHintPanel() {
    Hide();
}

bool GHintPanel::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TImage::IsKindOf(id);
}

TWindow* GHintPanel::Create() {
    return new GHintPanel;
}

void GHintPanel::Init(TWindowStyle& style) {
    TImage::Init(style);
    StartAnimation(kTickMs, true, true, false);
    mMoveCount = kInitialMoves;
    Hide();
}

void GHintPanel::PostCreate(TWindowStyle& style) {
    TImage::PostCreate(style);
    // The motion starts where the layout put the window.
    GSCanMove::SetPosition(static_cast<float>(GetRect().left), static_cast<float>(GetRect().top));
    mCostText = ChildOfKind<TText>(this, "item_cost");
    mRecommendText = ChildOfKind<TText>(this, "recomend_text");
    mCommentText = ChildOfKind<TText>(this, "coment_text");
    mBottom = ChildOfKind<TImage>(this, "hint_bottom");
    mTop = ChildOfKind<TImage>(this, "hint_top");
    mDescription = ChildOfKind<TText>(this, "hint_descript");
    mCaption = ChildOfKind<TText>(this, "hint_caption");
}

bool GHintPanel::OnAnimate() {
    if (mMoveCount > 0.0f) {
        mLine.Step(this, mMoveCount);
        mMoveCount -= 1.0f;
        if (mMoveCount <= 0.0f) {
            Hide();
        }
    }
    return true;
}

void GHintPanel::SetPosition(float x, float y) {
    GSCanMove::SetPosition(x, y);
    MoveTo(LuaNumberToInt(x), LuaNumberToInt(y));
}

void GHintPanel::SetCaption(const str& text) {
    SetTextOf(mCaption, text);
}

void GHintPanel::SetDescription(const str& text) {
    SetTextOf(mDescription, text);
}

void GHintPanel::SetCost(int cost) {
    mCost = cost;
    SetTextOf(mCostText, str::FromFormat("%d", cost));
}

void GHintPanel::Refresh() {
    SetShownFlag(this, true);
    mShown = true;
    const bool tooExpensive = GPlayerInfo::Instance()->GetMoney() < mCost;
    SetShownFlag(mCommentText, tooExpensive);
    SetShownFlag(mBottom, tooExpensive);
    SetShownFlag(mRecommendText, mRecommended);
    SetShownFlag(mTop, mRecommended);
}

void GHintPanel::Hide() {
    SetShownFlag(this, false);
    mShown = false;
}

bool GSmallHintPanel::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || GHintPanel::IsKindOf(id);
}

TWindow* GSmallHintPanel::Create() {
    return new GSmallHintPanel;
}

void GSmallHintPanel::PostCreate(TWindowStyle& style) {
    GSCanMove::SetPosition(static_cast<float>(GetRect().left), static_cast<float>(GetRect().top));
    mVectorX = HeldToIntRange(style.GetNumber("vector_x", 0.0));
    mVectorY = HeldToIntRange(style.GetNumber("vector_y", 0.0));
    mImage1 = style.GetString("image_1", str());
    mImage2 = style.GetString("image_2", str());
    mColorUp = style.GetColor("FontColorFlyUp", TColor{1.0f, 1.0f, 1.0f, 1.0f});
    mColorDown = style.GetColor("FontColorFlyDown", TColor{0.0f, 0.0f, 0.0f, 1.0f});
    mCaption = ChildOfKind<TText>(this, "small_hint_caption");
    mSmallDescription = ChildOfKind<TText>(this, "small_hint_descript");
    mDescription = mSmallDescription;
    mBackground = ChildOfKind<TImage>(this, "hint_bg");
}

void GSmallHintPanel::SetDescription(const str& text) {
    SetTextOf(mSmallDescription, text);
}

void GSmallHintPanel::SetDescriptionColor(const TColor& color) {
    if (mSmallDescription != nullptr) {
        mSmallDescription->SetColor(color);
    }
}

void GSmallHintPanel::SetBackground(int kind) {
    if (mBackground == nullptr) {
        return;
    }
    mBackground->SetImage(TTexture::Get(kind == 1 ? mImage1 : mImage2), 1.0f);
    mBackground->MoveTo(kBackgroundCentreX - mBackground->GetWidth() / 2,
                        kBackgroundCentreY - mBackground->GetHeight() / 2);
}

void GSmallHintPanel::Fly(int direction, int amount, bool recolour) {
    const float sign = direction < 0 ? -1.0f : 1.0f;
    mLine.mVelocity =
        TVec2(sign * static_cast<float>(mVectorX), sign * static_cast<float>(mVectorY));
    if (recolour) {
        SetDescriptionColor(direction < 0 ? mColorDown : mColorUp);
    }
    const auto moves = static_cast<float>(amount);
    mLine.Step(this, moves);
    Refresh();
    mMoveCount = moves;
}
