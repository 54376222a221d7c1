// A window whose children sit in numbered layers of which one is shown: the others are disabled,
// so they are neither drawn nor hit. Buttons keep their state images in layers. The layer lists
// do not own the children; the child list does. Main thread only.
#pragma once

#include "engine/ui/window.h"

#include <list>
#include <vector>

class TLayeredWindow : public TWindow {
public:
    // New children go into every layer while the current layer is kAllLayers.
    static constexpr int kAllLayers = -1;

    explicit TLayeredWindow(int count);
    const char* GetClassName() const override { return "TLayeredWindow"; }
    bool IsKindOf(TWindowClassId id) const override;
    ~TLayeredWindow() override;
    // Also puts the child at the front of the current layer, or of every layer.
    bool AddChild(TWindow* child, bool attach) override;
    // Also takes every entry of the child out of every layer.
    void RemoveChild(TWindow* child) override;

    static TWindowClassId ClassId() { return &ClassIdFunction; }

    // Shows the layer (layer 0 for kAllLayers) and makes it the layer that receives new children.
    // An index outside kAllLayers to count - 1 is logged and ignored.
    void SelectLayer(int index);
    int GetCurrentLayer() const { return mCurrentLayer; }
    int GetLayerCount() const { return static_cast<int>(mLayers.size()); }
    const std::list<TWindow*>& GetLayer(int index) const { return mLayers[index]; }

private:
    // A layered window is created only as one of its derived types: this makes nothing.
    static TWindow* ClassIdFunction();

    int mCurrentLayer = 0;
    // Not owning; front = most recently added.
    std::vector<std::list<TWindow*>> mLayers;
};
