#include "game/shell/GTutorialWindow.h"

#include "engine/ui/image.h"
#include "engine/ui/text.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowstyle.h"
#include "game/common/StringTableText.h"
#include "game/shell/GRIndicatorLabel.h"
#include "game/shell/GTutorialWindowManager.h"
#include "game/shell/TClickListener.h"
#include "game/shell/WindowShown.h"

#include <algorithm>

namespace {

// The depth at which the extra arrows join the window's parent.
constexpr int kArrowDepth = 3;

template <class T>
T* FindKind(TWindow* parent, const char* name) {
    TWindow* window = parent->FindChild(name, -1);
    return window != nullptr && window->IsKindOf(T::ClassId()) ? static_cast<T*>(window) : nullptr;
}

bool HasChild(const TWindow* parent, const TWindow* child) {
    const std::list<TWindow*>& children = parent->GetChildren();
    return std::find(children.begin(), children.end(), child) != children.end();
}

// Moves the window so that its top left is the screen point.
void MoveToScreen(TWindow* window, TPoint point) {
    if (TWindow* parent = window->GetParent()) {
        parent->ScreenToLocal(point);
    }
    window->MoveTo(point.x, point.y);
}

void StopTracking(TWindow* window) {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->StopTracking(window);
    }
}

} // namespace

void GTutorialWindow::TCurrentAction::Run(TButton* /*button*/) {
    if (mListener != nullptr) {
        mListener->OnClick();
    }
}

GTutorialWindow::~GTutorialWindow() {
    GTutorialWindowManager::Instance().Unregister(this);
    // While the parent is being deleted its list is empty already and it deletes them itself.
    TWindow* parent = GetParent();
    TWindowManager* manager = GetWindowManager();
    auto release = [&](TWindow* window) {
        if (window != nullptr && parent != nullptr && HasChild(parent, window)) {
            parent->RemoveChild(window);
            if (manager != nullptr) {
                manager->DeleteWindowLater(window);
            }
        }
    };
    for (GRIndicatorLabel* arrow : mExtraArrows) {
        release(arrow);
    }
    // A fixed skip button is a child of this window and goes with it.
    release(mSkipOutside);
}

bool GTutorialWindow::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GTutorialWindow::Create() {
    return new GTutorialWindow;
}

void GTutorialWindow::Init(TWindowStyle& style) {
    TWindow::Init(style);
    GTutorialWindowManager::Instance().Register(this);
    SetShownFlag(this, false);
}

void GTutorialWindow::PostCreate(TWindowStyle& style) {
    TWindow::PostCreate(style);
    mOkButton = FindKind<TButton>(this, "btnOK");
    mBackground = FindKind<TImage>(this, "imgBG");
    mMessage = FindKind<TText>(this, "txtMessage");
    mArrow = FindKind<GRIndicatorLabel>(this, "arwArrow");
    mPicture = FindKind<TImage>(this, "imgImage");
    mSkipInside = FindKind<TButton>(this, "btnSkip");
    if (mPicture != nullptr) {
        mOwnPicture = mPicture->GetTexture();
    }
    if (mBackground != nullptr) {
        mOwnBackground = mBackground->GetTexture();
    }
    if (mOkButton != nullptr) {
        mOkAction = new TCurrentAction;
        mOkButton->SetAction(mOkAction);
    }
    if (mSkipInside != nullptr) {
        mSkipAction = new TCurrentAction;
        mSkipInside->SetAction(mSkipAction);
    }
    // The buttons and the arrow show only once a step sets them up.
    SetShownFlag(mOkButton, false);
    SetShownFlag(mSkipInside, false);
    SetShownFlag(mArrow, false);
}

bool GTutorialWindow::OnAnimate() {
    TModalWindow* modal = GetModalParent();
    if (mShowTime != 0 && modal != nullptr &&
        static_cast<uint32_t>(modal->GetClock().GetTime()) >= mShowTime) {
        mShowTime = 0;
        SetVisible(true);
    }
    return true;
}

bool GTutorialWindow::OnKeyDown(uint8_t key, int /*modifiers*/) {
    if (key == kEscapeKey) {
        GTutorialWindowManager::Instance().PressPauseButton();
    }
    return true;
}

void GTutorialWindow::SetTexture(TImage* image, const str& texture, const TTexturePtr& own) {
    if (image == nullptr) {
        return;
    }
    image->SetImage(texture.Length() != 0 ? TTexture::Get(texture) : own, 1.0f);
}

void GTutorialWindow::SetImage(const str& texture) {
    SetTexture(mPicture, texture, mOwnPicture);
}

void GTutorialWindow::SetBackground(const str& texture) {
    SetTexture(mBackground, texture, mOwnBackground);
}

void GTutorialWindow::SetMessage(const str& label) {
    if (mMessage != nullptr) {
        mMessage->SetText(StringTableText(label));
    }
}

void GTutorialWindow::SetupOkButton(bool show, const str& label, TClickListener* listener) {
    if (mOkButton != nullptr) {
        SetShownFlag(mOkButton, show);
        if (show) {
            mOkButton->SetLabelText(StringTableText(label));
        }
    }
    if (mOkAction != nullptr) {
        mOkAction->SetListener(listener);
    }
}

void GTutorialWindow::SetupSkipButton(bool skipeable, const str& label, TClickListener* listener,
                                      bool fixed) {
    if (!skipeable) {
        RestoreSkipButton();
    } else if (mSkipInside != nullptr) {
        TButton* button = mSkipInside;
        mSkipInside = nullptr;
        mSkipOutside = button;
        if (!fixed && GetParent() != nullptr) {
            MoveKeepingScreenPlace(button, GetParent());
            button->PlaceBefore(this);
        }
    }
    TButton* button = GetSkipButton();
    if (button == nullptr) {
        return;
    }
    if (label.Length() != 0) {
        if (!mSkipLabelSaved) {
            mSkipLabelBackup = button->GetLabelText();
            mSkipLabelSaved = true;
        }
        button->SetLabelText(StringTableText(label));
    }
    SetShownFlag(button, skipeable);
    if (mSkipAction != nullptr) {
        mSkipAction->SetListener(listener);
    }
}

void GTutorialWindow::RestoreSkipButton() {
    if (mSkipOutside != nullptr) {
        TButton* button = mSkipOutside;
        mSkipOutside = nullptr;
        mSkipInside = button;
        if (button->GetParent() != this) {
            StopTracking(button);
            MoveKeepingScreenPlace(button, this);
        }
    }
    if (mSkipLabelSaved && mSkipInside != nullptr) {
        mSkipInside->SetLabelText(mSkipLabelBackup);
    }
    mSkipLabelSaved = false;
    mSkipLabelBackup = str();
}

GRIndicatorLabel* GTutorialWindow::GetArrow(int index) const {
    if (index < 0 || index >= static_cast<int>(mArrows.size())) {
        return nullptr;
    }
    return mArrows[static_cast<size_t>(index)];
}

GRIndicatorLabel* GTutorialWindow::ArrowAt(int index) {
    if (index < 0 || index >= kArrowCount || mArrow == nullptr) {
        return nullptr;
    }
    if (static_cast<int>(mArrows.size()) <= index) {
        mArrows.resize(static_cast<size_t>(index) + 1, nullptr);
    }
    GRIndicatorLabel*& arrow = mArrows[static_cast<size_t>(index)];
    if (arrow != nullptr) {
        return arrow;
    }
    if (index == 0) {
        arrow = mArrow;
        return arrow;
    }
    TWindow* parent = GetParent();
    if (parent == nullptr) {
        return nullptr;
    }
    auto* made = new GRIndicatorLabel;
    made->SetName(mArrow->GetName() + str::FromFormat("%d", index));
    made->SetSize(mArrow->GetWidth(), mArrow->GetHeight());
    parent->AddChild(made, false);
    MoveToScreen(made, TPoint{mArrow->GetScreenRect().left, mArrow->GetScreenRect().top});
    made->Reorder(kArrowDepth, nullptr);
    SetShownFlag(made, false);
    made->Setup(mArrow->GetXc(), mArrow->GetYc(), mArrow->GetAngle(), mArrow->GetImage(),
                mArrow->GetLength());
    mExtraArrows.push_back(made);
    arrow = made;
    return arrow;
}

void GTutorialWindow::RemoveExtraArrows() {
    TWindowManager* manager = GetWindowManager();
    for (GRIndicatorLabel* arrow : mExtraArrows) {
        if (TWindow* parent = arrow->GetParent()) {
            parent->RemoveChild(arrow);
        }
        if (manager != nullptr) {
            manager->DeleteWindowLater(arrow);
        } else {
            delete arrow;
        }
    }
    mExtraArrows.clear();
    mArrows.clear();
}

void GTutorialWindow::ShowArrow(int index, bool show) {
    if (index == -1) {
        bool any = false;
        for (GRIndicatorLabel* arrow : mArrows) {
            if (arrow != nullptr) {
                SetShownFlag(arrow, show);
                any = true;
            }
        }
        if (!any) {
            SetShownFlag(mArrow, false);
        }
        return;
    }
    SetShownFlag(GetArrow(index), show);
}

void GTutorialWindow::PointArrow(int index, const TRect& target) {
    if (mBackground == nullptr) {
        return;
    }
    GRIndicatorLabel* arrow = ArrowAt(index);
    if (arrow == nullptr) {
        return;
    }
    const bool left = (target.left + target.right) / 2 < kScreenWidth / 2;
    const bool top = (target.top + target.bottom) / 2 < kScreenHeight / 2;
    float angle = 0.0f;
    if (top) {
        angle = left ? 45.0f : 135.0f;
    } else {
        angle = left ? 315.0f : 225.0f;
    }
    // The corner that faces the screen centre.
    const TPoint tip{left ? target.right : target.left, top ? target.bottom : target.top};
    if (index != 0) {
        MoveToScreen(arrow, TPoint{left ? tip.x : tip.x - arrow->GetWidth(),
                                   top ? tip.y : tip.y - arrow->GetHeight()});
    } else {
        const int width = GetWidth();
        const int height = GetHeight();
        const int arrowWidth = arrow->GetWidth();
        const int arrowHeight = arrow->GetHeight();
        const int backWidth = mBackground->GetWidth();
        const int backHeight = mBackground->GetHeight();
        TPoint place{left ? tip.x : tip.x - width, top ? tip.y : tip.y - height};
        TPoint arrowPlace{left ? 0 : width - arrowWidth, top ? 0 : height - arrowHeight};
        TPoint backPlace{left ? width - backWidth : 0, top ? height - backHeight : 0};
        const TPoint offset{mPositionX, mPositionY};
        auto shift = [&offset](TPoint& point) {
            point.x += offset.x;
            point.y += offset.y;
        };
        if (mPositionTargetBits == 0) {
            shift(place);
        } else {
            if ((mPositionTargetBits & 1) != 0) {
                shift(backPlace);
            }
            if ((mPositionTargetBits & 2) != 0) {
                shift(arrowPlace);
            }
        }
        mBackground->MoveTo(backPlace.x, backPlace.y);
        arrow->MoveTo(arrowPlace.x, arrowPlace.y);
        MoveToScreen(this, place);
    }
    arrow->SetAngle(angle);
    arrow->Update();
}

void GTutorialWindow::SetVisible(bool show) {
    if (show) {
        SetShownFlag(this, true);
        for (GRIndicatorLabel* arrow : mArrows) {
            SetShownFlag(arrow, true);
        }
        return;
    }
    SetFlags(0);
    SetShownFlag(mOkButton, false);
    if (mOkAction != nullptr) {
        mOkAction->SetListener(nullptr);
    }
    SetupSkipButton(false, str(), nullptr, false);
    for (GRIndicatorLabel* arrow : mArrows) {
        SetShownFlag(arrow, false);
    }
    SetShownFlag(mArrow, false);
}

void GTutorialWindow::Place(int x, int y, int targetBits, uint32_t showTime) {
    mPositionTargetBits = targetBits;
    mPositionX = x;
    mPositionY = y;
    mShowTime = showTime;
    TPoint place{(kScreenWidth - GetWidth()) / 2, (kScreenHeight - GetHeight()) / 2};
    if (targetBits == 0 || (targetBits & 1) != 0) {
        place.x += x;
        place.y += y;
    }
    MoveToScreen(this, place);
}
