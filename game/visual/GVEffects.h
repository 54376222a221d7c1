// The effect list of a visual object: the object's own effects (from "effects", which never run)
// and the running effects of its current state, with the lists of running effects that take each
// notification. The running and notification lists refer to effects their states own. Owned by
// the object. Main thread only.
#pragma once

#include "game/visual/GVCustomEffects.h"

#include <vector>

class GVData;
struct TDrawSpec;

class GVEffects : public GVCustomEffects {
public:
    explicit GVEffects(GVBase* owner) : GVCustomEffects(owner) {}
    // The running effects are the states' to delete: they are only forgotten.
    ~GVEffects() override { ForgetRunning(); }

    // Each effect of the list whose Start answers true joins the running effects, in order.
    void StartStateEffects(GVCustomEffects* effects);
    // Each effect of the list whose Stop answers true leaves the running effects.
    void StopStateEffects(GVCustomEffects* effects);
    // Into the running list, and into every notification list when its mask is not 0.
    void AddRunning(GVEffect* effect);
    // Its first entry out of each list it is in.
    void RemoveRunning(GVEffect* effect);
    // Empties the running and notification lists, before the effects they refer to go.
    void ForgetRunning();
    // The other list's running and notification lists, which it forgets.
    void TakeRunning(GVEffects& other);

    // False as soon as one effect answers false; the rest are not asked.
    bool PreDraw(const TDrawSpec& params);
    void PostDraw(const TDrawSpec& params);
    void OnFrameChanged(int previous);
    void Apply(GVData& data);
    int RunningCount() const { return static_cast<int>(mRunning.size()); }

private:
    // None owned.
    std::vector<GVEffect*> mPreDraw;
    std::vector<GVEffect*> mPostDraw;
    std::vector<GVEffect*> mFrameChanged;
    std::vector<GVEffect*> mApply;
    std::vector<GVEffect*> mRunning;
};
