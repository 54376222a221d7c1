// A message of the window system: what a button, a key or a script has to say to a window or to
// the window script ({kind, name, target}). The window manager owns a posted message and deletes
// it after delivery; TWindow::SendMessage consumes the message it is given. Main thread only.
#pragma once

#include "engine/core/str.h"

#include <cstdint>

class TWindow;

class TMessage {
public:
    // The window script's Lua constants of the same names carry the same values.
    enum : int32_t {
        kGeneric = 0,
        kCloseWindow = 1,
        kDefaultAction = 2,
        kButtonPress = 3,
        kPressAnyKey = 4,
        kQuitNow = 5,
        kModalClosed = 6,
        kTextEditChanged = 7,
        kCommandOnly = 8,
        kSliderValChanged = 9,
        kSliderMouseUp = 10,
        kSliderPageUp = 11,
        kSliderPageDown = 12,
        kUserMessageBase = 1000,
    };

    // The address of a class's own class-id function.
    using TClassId = void (*)();

    // Null target: the focus window, else the top modal window.
    TMessage(int32_t kind, const str& name, TWindow* target);

    virtual const char* GetClassName() const { return "TMessage"; }
    virtual bool IsKindOf(TClassId id) const { return id == ClassId(); }
    virtual ~TMessage();
    TMessage(const TMessage&) = delete;
    TMessage& operator=(const TMessage&) = delete;

    static TClassId ClassId() { return &ClassIdFunction; }

    int32_t GetKind() const { return mKind; }
    const str& GetName() const { return mName; }
    TWindow* GetTarget() const { return mTarget; }
    void SetTarget(TWindow* target) { mTarget = target; }

private:
    static void ClassIdFunction();

    int32_t mKind;
    str mName;
    // Not owned; cleared when the window is queued for deletion or destroyed.
    TWindow* mTarget;
};
