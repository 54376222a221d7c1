// A window with a draw list of its own, window type "GSeparateLayer": the end-of-level screens put
// the visuals they show into it, and it draws them above its own image and below its children.
// Unless its definition says "no_game_layer", it registers as the logical manager's separate
// layer. Owned by its parent window; main thread only.
#pragma once

#include "engine/ui/window.h"

#include <memory>

class GVLayer;

class GSeparateLayer : public TWindow {
public:
    GSeparateLayer();
    // Leaves neither the logical manager nor the visual factory pointing at it or its list.
    ~GSeparateLayer() override;
    GSeparateLayer(const GSeparateLayer&) = delete;
    GSeparateLayer& operator=(const GSeparateLayer&) = delete;
    const char* GetClassName() const override { return "GSeparateLayer"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "GSeparateLayer".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // The draw list comes to life here, tied to this window's modal parent.
    void Init(TWindowStyle& style) override;
    void PostCreate(TWindowStyle& style) override;
    void Draw() override;
    bool OnAnimate() override { return true; }

    // Null until Init ran.
    GVLayer* GetLayer() const { return mLayer.get(); }

private:
    std::unique_ptr<GVLayer> mLayer;
};
