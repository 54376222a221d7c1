#include "game/shell/TCustomProgressBar.h"

#include "engine/ui/windowstyle.h"

TWindow* TCustomProgressBar::ClassIdFunction() {
    return nullptr;
}

bool TCustomProgressBar::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

void TCustomProgressBar::Init(TWindowStyle& style) {
    if (mInitialised) {
        return;
    }
    TWindow::Init(style);
    SetRange(static_cast<float>(style.GetNumber("MinRange", 0.0)),
             static_cast<float>(style.GetNumber("MaxRange", 100.0)));
    SetValue(static_cast<float>(style.GetNumber("Value", 0.0)));
    mInitialised = true;
    Update();
}

void TCustomProgressBar::SetValue(float value) {
    mValue = value;
    if (mInitialised) {
        Update();
    }
}

void TCustomProgressBar::SetRange(float minimum, float maximum) {
    mMinimum = minimum;
    mMaximum = maximum;
    if (mInitialised) {
        Update();
    }
}

float TCustomProgressBar::GetFraction(float value) const {
    if (value >= mMaximum) {
        return 1.0f;
    }
    if (value <= mMinimum) {
        return 0.0f;
    }
    return (value - mMinimum) / (mMaximum - mMinimum);
}
