// Slides a text window (a score text) across the screen: each tick moves it one step of its
// motion, and the last tick empties the text and lets go of it. Its position is the window's.
// Neither the window nor the motion is owned. Main thread only.
#pragma once

#include "game/world/GStepMobile.h"

class TText;

class GMobile : public GStepMobile {
public:
    GMobile() = default;
    // Ends the motion at once: a target still held has its text emptied. An owner that goes
    // together with its target calls Forget first.
    ~GMobile() override;

    // steps ticks of the motion (Tick), the first one now; the last one detaches.
    void Start(GSMoveType* mover, TText* target, float steps);
    // Empties the target's text and forgets the target and the motion.
    void Detach();
    // Forgets the target and the motion without touching them.
    void Forget();
    // Also moves the target there.
    void SetPosition(float x, float y) override;

    TText* GetTarget() const { return mTarget; }

protected:
    bool IsBound() const override { return mTarget != nullptr; }
    void OnLastStep() override { Detach(); }

private:
    // Not owned.
    TText* mTarget = nullptr;
};
