// One choice of the part selector, window type "GSelectMenuChild": a button laid out on the menu's
// circle that ignores clicks while its click delay counts down, and whose hover shows the girl's
// reaction to it through the menu it belongs to. Owned by its menu; main thread only.
#pragma once

#include "engine/ui/button.h"

#include <cstdint>

class GSelectMenuChild : public TButton {
public:
    GSelectMenuChild();
    ~GSelectMenuChild() override;
    GSelectMenuChild(const GSelectMenuChild&) = delete;
    GSelectMenuChild& operator=(const GSelectMenuChild&) = delete;
    const char* GetClassName() const override { return "GSelectMenuChild"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "GSelectMenuChild".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // The button's own style, then "name", "char_part_id" and "delay_click".
    void Init(TWindowStyle& style) override;
    // Presses and releases reach the button only once the delay is over; always handled.
    bool OnMouseDown(const TPoint& point) override;
    bool OnMouseUp(const TPoint& point) override;
    // The button's hover, then the girl's lips and the hover sound through the menu.
    bool OnMouseMove(const TPoint& point) override;
    // Lowers a positive click delay count by 1; the count.
    virtual int CountDown();

    const str& GetChildName() const { return mName; }
    int GetCharPartId() const { return mCharPartId; }
    int GetMood() const { return mMood; }
    void SetMood(int mood) { mMood = mood; }
    int GetClickDelayCount() const { return mClickDelayCount; }
    // The count starts again from "delay_click".
    void ResetClickDelay() { mClickDelayCount = mDelayClick; }
    int GetInitWidth() const { return mWidth; }
    int GetInitHeight() const { return mHeight; }

private:
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    str mName;
    int32_t mCharPartId = 0;
    int32_t mMood = 0;
    int32_t mClickDelayCount = 0;
    int32_t mDelayClick = 0;
};
