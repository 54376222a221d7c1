// A bar that shows a value within a range; how it shows it is the derived class's Update. It
// stays inert until its Init has run: from then on every value or range change updates it at once.
// Owned by its parent window. Main thread only.
#pragma once

#include "engine/ui/window.h"

class TCustomProgressBar : public TWindow {
public:
    const char* GetClassName() const override { return "TCustomProgressBar"; }
    bool IsKindOf(TWindowClassId id) const override;
    ~TCustomProgressBar() override = default;
    // Once only: the window's layout, then the range "MinRange" .. "MaxRange" (0 .. 100) and the
    // value "Value" (0), which replaces any value set before.
    void Init(TWindowStyle& style) override;

    virtual void SetValue(float value);
    virtual void SetRange(float minimum, float maximum);
    // Shows the value; called once initialised.
    virtual void Update() = 0;

    // The class cannot be created by name: its id makes nothing.
    static TWindowClassId ClassId() { return &ClassIdFunction; }

    float GetValue() const { return mValue; }
    float GetMinimum() const { return mMinimum; }
    float GetMaximum() const { return mMaximum; }
    bool IsInitialised() const { return mInitialised; }
    // 1 at or above the maximum, else 0 at or below the minimum, else the share of the range.
    float GetFraction(float value) const;

private:
    static TWindow* ClassIdFunction();

    float mMinimum = 0.0f;
    float mMaximum = 0.0f;
    float mValue = 0.0f;
    bool mInitialised = false;
};
