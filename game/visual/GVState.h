// One animation state of an object: the frames it shows in order with a delay per frame, the
// data combined into the object's world data while it is current, and the key of the state that
// follows when its list has run out (0: it loops). Owned by the object's states list. Main thread
// only.
#pragma once

#include "game/visual/GVCustomEffects.h"
#include "game/visual/GVData.h"
#include "game/world/GStateKey.h"

#include <memory>
#include <vector>

class GVState : public GVData {
public:
    static constexpr int kDefaultDelay = 100;

    GVState() : GVData(kState) {}

    // The nine data attributes, "defdelay", "framelist" over the owner's frame count (a GVStates
    // owner), "id" and "nextstate". False without "id" (or for a name the state-name table
    // refuses). Every element inside is one of the state's effects (by type name).
    bool Load(TXmlNode* element, GVBase* owner) override;
    // The attributes Load reads, defaults empty; the frame list folded (GVStates knows the count).
    bool Save(TXmlNode* element) override;
    bool SaveWithFrameCount(TXmlNode* element, int frameCount);
    // The data, delay, frame list, keys and copies of the effects into a state; null for another
    // kind.
    GVBase* CopyTo(GVBase* target) override;

    // The frame number at the position of the frame list; -1 outside it.
    int FrameAt(int position) const;
    // Delay x frame count; 0 for an empty list.
    int GetDuration() const;
    int GetFrameCount() const { return static_cast<int>(mFrames.size()); }
    // Null for a state without effects.
    GVCustomEffects* GetEffects() const { return mEffects.get(); }
    // Takes the list (a list the state had is deleted) and becomes its owner.
    void SetEffects(GVCustomEffects* effects);

    // Milliseconds per frame.
    int mDelay = kDefaultDelay;
    // Frame numbers, in the order shown; they may repeat.
    std::vector<int> mFrames;
    GStateKey mKey;
    GStateKey mNextKey;

private:
    // Started and stopped by the object while the state is current.
    std::unique_ptr<GVCustomEffects> mEffects;
};
