#include "game/world/GSeparateLayer.h"

#include "engine/ui/windowstyle.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVLayer.h"
#include "game/world/GLogicalManager.h"

GSeparateLayer::GSeparateLayer() = default;

GSeparateLayer::~GSeparateLayer() {
    GLogicalManager& manager = GLogicalManager::Instance();
    if (manager.GetSeparateLayer() == this) {
        manager.SetSeparateLayer(nullptr);
    }
    // The list's own destructor takes it from the factory when it is the current one.
    mLayer.reset();
}

bool GSeparateLayer::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GSeparateLayer::Create() {
    return new GSeparateLayer;
}

void GSeparateLayer::Init(TWindowStyle& style) {
    TWindow::Init(style);
    mLayer = std::make_unique<GVLayer>();
    mLayer->SetWindow(this);
}

void GSeparateLayer::PostCreate(TWindowStyle& style) {
    TWindow::PostCreate(style);
    if (!style.GetBool("no_game_layer", false)) {
        GLogicalManager::Instance().SetSeparateLayer(this);
    }
}

void GSeparateLayer::Draw() {
    TWindow::Draw();
    if (mLayer != nullptr) {
        mLayer->Draw();
    }
}
