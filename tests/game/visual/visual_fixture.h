// Trees of visual objects in a draw list bound to a window inside a headless dialog, on the
// stand-in's fake clock. Trees are assembled through the children list, as loading will do, and
// moved through the objects' own data.
#pragma once

#include "engine/media/renderer.h"
#include "game/visual/GVChilds.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"
#include "tests/engine/ui/manager_fixture.h"

#include <memory>
#include <vector>

namespace visual_test {

// Moves the object's base data, as game code does.
inline void Move(GVObject* object, float dx, float dy = 0.0f) {
    object->mDeltaX += dx;
    object->mDeltaY += dy;
    object->MarkChanged();
}

class TVisualTest : public manager_test::TManagerTest {
protected:
    void SetUp() override {
        TManagerTest::SetUp();
        mDialog = Push("dialog");
        mHost = Add(mDialog, "host", {0, 0, 800, 600});
        mLayer.SetWindow(mHost);
    }

    void TearDown() override {
        mRoots.clear();
        TRenderer::Destroy();
        TManagerTest::TearDown();
    }

    // A top-level object attached to the fixture's list; the fixture owns it.
    template <class T = GVObject>
    T* Root(const char* id) {
        auto* object = new T;
        object->SetId(id);
        mRoots.emplace_back(object);
        object->AttachTo(&mLayer, nullptr, false);
        return object;
    }

    // A child appended to the parent's (owning) children list and attached below it.
    template <class T = GVObject>
    T* Child(GVObject* parent, const char* id, int link) {
        if (parent->GetChilds() == nullptr) {
            parent->SetChilds(new GVChilds(parent));
            parent->GetChilds()->SetOwning(true);
        }
        auto* child = new T;
        child->SetId(id);
        child->SetLink(link);
        parent->GetChilds()->Append(child, id);
        child->AttachTo(&mLayer, parent, false);
        return child;
    }

    GVLayer mLayer;
    manager_test::TProbeDialog* mDialog = nullptr;
    manager_test::TProbe* mHost = nullptr;
    std::vector<std::unique_ptr<GVObject>> mRoots;
};

} // namespace visual_test
