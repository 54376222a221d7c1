// Flies a fly emitter's window: while it moves the window carries flag 0x100 (shown), each tick
// moves it one step of its motion, and the last tick tells the finish listener and clears the
// window's flags. Neither the window, the listener nor the motion is owned. Main thread only.
#pragma once

#include "game/world/GStepMobile.h"

#include <cstdint>

class GFinishMobileLstnr;
class GFlyEmitter;

class GWndMobile : public GStepMobile {
public:
    // The window flag a moving window carries.
    static constexpr uint32_t kMoving = 0x100;

    GWndMobile() = default;
    // Ends the flight at once, as its last tick does. An owner that goes together with the window
    // or the listener calls Forget first.
    ~GWndMobile() override;

    // Binds them and clears the window's flags.
    void SetWindow(GFlyEmitter* window, GFinishMobileLstnr* listener);
    // steps ticks of the motion (Tick), the first one now; the window is marked moving and the
    // last tick releases.
    void Start(GSMoveType* mover, float steps);
    // The listener is told the flight is over, the window's flags are cleared and the motion is
    // forgotten; the listener's answer, 0 without one.
    int Release();
    // Forgets the window, the listener and the motion without touching them.
    void Forget();
    // Moves the window through its own move operation.
    void SetPosition(float x, float y) override;

    GFlyEmitter* GetWindow() const { return mWindow; }

protected:
    bool IsBound() const override { return mWindow != nullptr; }
    void OnLastStep() override { Release(); }

private:
    // Not owned.
    GFlyEmitter* mWindow = nullptr;
    // Not owned.
    GFinishMobileLstnr* mListener = nullptr;
};
