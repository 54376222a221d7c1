// How the visual side and the mouse strategies reach a game object without knowing its class.
// Main thread only.
#pragma once

#include "engine/core/rect.h"
#include "game/world/GStateKey.h"

class GVObject;
struct GUpgradeData;

class G_VoidLink {
public:
    virtual ~G_VoidLink() = default;
    // Null when the object has no visual.
    virtual GVObject* GetVisual() = 0;
    virtual void Reserved1(int /*argument*/) {}
    // Places the object at the point with the given depth.
    virtual void MoveTo(TPoint point, float depth) = 0;
    virtual GUpgradeData& GetUpgradeData() = 0;
    // Applies the state key on the visual at once.
    virtual void SetVisualState(GStateKey key) = 0;
};
