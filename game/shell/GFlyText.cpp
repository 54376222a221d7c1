#include "game/shell/GFlyText.h"

#include "engine/ui/windowstyle.h"

GFlyText::~GFlyText() {
    // The flight's last tick empties the text while it is still a text.
    if (mMobile.GetTarget() != nullptr) {
        mMobile.Detach();
    }
}

bool GFlyText::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TText::IsKindOf(id);
}

TWindow* GFlyText::Create() {
    return new GFlyText;
}

void GFlyText::Init(TWindowStyle& style) {
    TText::Init(style);
    StartAnimation(kTickMs, true, true, false);
    mColorUp = style.GetColor("FontColorFlyUp", TColor{1.0f, 1.0f, 1.0f, 1.0f});
    mColorDown = style.GetColor("FontColorFlyDown", TColor{0.0f, 0.0f, 0.0f, 1.0f});
}

bool GFlyText::OnAnimate() {
    mMobile.Tick();
    return true;
}

void GFlyText::Fly(int direction, int steps) {
    LineMove* mover = &mStill;
    if (direction < 0) {
        SetColor(mColorDown);
        mover = &mDown;
    } else {
        SetColor(mColorUp);
        if (direction > 0) {
            mover = &mUp;
        }
    }
    mMobile.Start(mover, this, static_cast<float>(steps));
}

bool GLevelJumpButton::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TButton::IsKindOf(id);
}

TWindow* GLevelJumpButton::Create() {
    return new GLevelJumpButton;
}

void GLevelJumpButton::Init(TWindowStyle& style) {
    TButton::Init(style);
    mEnabled = style.GetBool("enabled", true);
}

bool GLevelJumpButton::OnMouseDown(const TPoint& point) {
    if (mEnabled) {
        TButton::OnMouseDown(point);
    }
    return true;
}

bool GLevelJumpButton::OnMouseMove(const TPoint& point) {
    if (mEnabled) {
        TButton::OnMouseMove(point);
    }
    return true;
}

bool GControlEditor::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GControlEditor::Create() {
    return new GControlEditor;
}
