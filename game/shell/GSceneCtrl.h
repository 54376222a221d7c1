// The scene control, window type "GSceneCtrl" (named "scene_ctrl" in the game screen): a second
// drawing surface, whose draw list shows the girls that take a place in a scene. Owned by its
// parent window; main thread only.
#pragma once

#include "engine/ui/window.h"

#include <memory>

class GGameObject;
class GVLayer;

class GSceneCtrl : public TWindow {
public:
    GSceneCtrl();
    ~GSceneCtrl() override;
    GSceneCtrl(const GSceneCtrl&) = delete;
    GSceneCtrl& operator=(const GSceneCtrl&) = delete;
    const char* GetClassName() const override { return "GSceneCtrl"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "GSceneCtrl".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // A draw list bound to this window.
    void Init(TWindowStyle& style) override;
    void Draw() override;

    // The object's visual with its children joins (leaves) the draw list; 1. An object without a
    // visual, or a control before Init, changes nothing.
    int AddObject(GGameObject* object);
    int RemoveObject(GGameObject* object);
    GVLayer* GetLayer() const { return mLayer.get(); }

private:
    std::unique_ptr<GVLayer> mLayer;
};
