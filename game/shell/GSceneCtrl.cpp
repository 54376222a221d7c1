#include "game/shell/GSceneCtrl.h"

#include "game/shell/GGameWnd.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"
#include "game/world/GGameObject.h"

GSceneCtrl::GSceneCtrl() = default;

GSceneCtrl::~GSceneCtrl() {
    ForgetControlInGameWnd(this);
}

bool GSceneCtrl::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GSceneCtrl::Create() {
    return new GSceneCtrl;
}

void GSceneCtrl::Init(TWindowStyle& style) {
    TWindow::Init(style);
    mLayer = std::make_unique<GVLayer>();
    mLayer->SetWindow(this);
}

void GSceneCtrl::Draw() {
    TWindow::Draw();
    if (mLayer != nullptr) {
        mLayer->Draw();
    }
}

int GSceneCtrl::AddObject(GGameObject* object) {
    GVObject* visual = object != nullptr ? object->GetVisual() : nullptr;
    if (visual != nullptr && mLayer != nullptr) {
        visual->AddToLayer(mLayer.get(), true);
    }
    return 1;
}

int GSceneCtrl::RemoveObject(GGameObject* object) {
    GVObject* visual = object != nullptr ? object->GetVisual() : nullptr;
    if (visual != nullptr && mLayer != nullptr) {
        visual->RemoveFromLayer(mLayer.get(), true);
    }
    return 1;
}
