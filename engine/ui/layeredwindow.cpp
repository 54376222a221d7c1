#include "engine/ui/layeredwindow.h"

#include "engine/core/log.h"
#include "engine/ui/windowmanager.h"

#include <algorithm>

TLayeredWindow::TLayeredWindow(int count) : mLayers(static_cast<size_t>(std::max(count, 0))) {}

TLayeredWindow::~TLayeredWindow() = default;

TWindow* TLayeredWindow::ClassIdFunction() {
    return nullptr;
}

bool TLayeredWindow::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

bool TLayeredWindow::AddChild(TWindow* child, bool attach) {
    if (!TWindow::AddChild(child, attach)) {
        return false;
    }
    if (mCurrentLayer == kAllLayers) {
        for (std::list<TWindow*>& layer : mLayers) {
            layer.push_front(child);
        }
    } else if (mCurrentLayer < GetLayerCount()) {
        mLayers[static_cast<size_t>(mCurrentLayer)].push_front(child);
    }
    return true;
}

void TLayeredWindow::RemoveChild(TWindow* child) {
    TWindow::RemoveChild(child);
    // Every entry: a child added twice to one layer must not stay behind in it.
    for (std::list<TWindow*>& layer : mLayers) {
        layer.remove(child);
    }
}

void TLayeredWindow::SelectLayer(int index) {
    if (index == mCurrentLayer) {
        return;
    }
    // Scripts choose the index.
    if (index < kAllLayers || index >= GetLayerCount()) {
        Log("TLayeredWindow::SelectLayer: layer %d of '%s' is outside 0 to %d", index,
            GetName().CStr() != nullptr ? GetName().CStr() : "", GetLayerCount() - 1);
        return;
    }
    mCurrentLayer = index;
    for (TWindow* child : GetChildren()) {
        child->SetFlags(child->GetFlags() & ~kEnabled);
    }
    const size_t shown = index == kAllLayers ? 0 : static_cast<size_t>(index);
    if (shown < mLayers.size()) {
        for (TWindow* child : mLayers[shown]) {
            child->SetFlags(child->GetFlags() | kEnabled);
        }
    }
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
}
