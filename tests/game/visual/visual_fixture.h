// Trees of visual objects in a draw list bound to a window inside a headless dialog, on the
// stand-in's fake clock. Trees are assembled through the children list, frames and states through
// the lists' append operations, as loading will do, and moved through the objects' own data.
#pragma once

#include "engine/media/renderer.h"
#include "game/visual/GVChilds.h"
#include "game/visual/GVFrames.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"
#include "game/visual/GVStates.h"
#include "game/world/GStateKey.h"
#include "platform/win32/standin.h"
#include "tests/engine/ui/manager_fixture.h"

#include <boost/make_shared.hpp>

#include <initializer_list>
#include <memory>
#include <vector>

namespace visual_test {

// Moves the object's base data, as game code does.
inline void Move(GVObject* object, float dx, float dy = 0.0f) {
    object->mDeltaX += dx;
    object->mDeltaY += dy;
    object->MarkChanged();
}

inline GStateKey Key(const char* name) {
    return GStateKey::FromString(name);
}

// A frame cut from texture `texture` at `rect`, with its raw registration point and mode.
struct TFrameDesc {
    TRect rect{0, 0, 10, 10};
    int texture = 0;
    float regX = 0.0f;
    float regY = 0.0f;
    int mode = GVFrame::kModeNotSet;
};

inline boost::shared_ptr<GVFrames> MakeFrames(const std::vector<TFrameDesc>& frames,
                                              const GVTextures* textures = nullptr,
                                              int listMode = GVFrame::kModeNotSet) {
    auto list = boost::make_shared<GVFrames>();
    list->mMode = listMode;
    for (const TFrameDesc& desc : frames) {
        auto* frame = new GVFrame;
        frame->mRect = desc.rect;
        frame->mTexture = desc.texture;
        frame->mRegistration = TVec2(desc.regX, desc.regY);
        frame->mMode = desc.mode;
        list->AppendFrame(frame);
    }
    list->ComputeRegistrations(textures);
    return list;
}

// `count` frames of 10 x 10 side by side on texture 0.
inline boost::shared_ptr<GVFrames> MakeFrames(int count) {
    std::vector<TFrameDesc> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(TFrameDesc{TRect{10 * i, 0, 10 * i + 10, 10}});
    }
    return MakeFrames(frames);
}

struct TStateDesc {
    const char* name;
    std::vector<int> frames;
    int delay = 100;
    const char* next = "";
};

// The states in order, and "normal" over every frame unless one of them is "normal".
inline GVStates* MakeStates(std::initializer_list<TStateDesc> states, int frameCount) {
    auto* list = new GVStates(nullptr);
    list->mFrameCount = frameCount;
    for (const TStateDesc& desc : states) {
        auto* state = new GVState;
        state->mKey = Key(desc.name);
        state->mNextKey = Key(desc.next);
        state->mDelay = desc.delay;
        state->mFrames = desc.frames;
        list->AppendState(state);
    }
    list->AddNormal(frameCount);
    return list;
}

// Runs the dialog's timers after `ms` more milliseconds.
inline void Tick(int ms) {
    standin::AdvanceTime(static_cast<DWORD>(ms));
    GetWindowManager()->HandleEvent(manager_test::MakeEvent(kEventIdle));
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

    // An object with the lists, attached below the parent (top-level and owned by the fixture
    // without one) with "normal" applied.
    template <class T = GVObject>
    T* Sprite(const char* id, const boost::shared_ptr<GVFrames>& frames, GVStates* states,
              GVObject* parent = nullptr, int link = GVObject::kLinkInherited) {
        auto* object = new T;
        object->SetId(id);
        object->SetLink(link);
        object->SetFrames(frames);
        object->SetStates(states);
        if (parent == nullptr) {
            mRoots.emplace_back(object);
        } else {
            if (parent->GetChilds() == nullptr) {
                parent->SetChilds(new GVChilds(parent));
                parent->GetChilds()->SetOwning(true);
            }
            parent->GetChilds()->Append(object, id);
        }
        object->AttachTo(&mLayer, parent, true);
        return object;
    }

    GVLayer mLayer;
    manager_test::TProbeDialog* mDialog = nullptr;
    manager_test::TProbe* mHost = nullptr;
    std::vector<std::unique_ptr<GVObject>> mRoots;
};

} // namespace visual_test
