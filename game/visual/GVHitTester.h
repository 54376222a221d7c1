// Decides whether a point in a frame's own pixels hits an object: "default" takes every point of
// the frame, "alpha" only its opaque pixels. Testers are made by name through the registry,
// attached to the object they were made for and then shared by its clones, so a tester keeps
// nothing of that object. Main thread only.
#pragma once

#include "engine/core/rect.h"
#include "engine/core/str.h"
#include "game/visual/GVBase.h"

#include <map>

class GVFrame;
class GVObject;

class GVHitTester : public GVBase {
public:
    GVHitTester() : GVBase(kParams) {}
    GVHitTester(const GVHitTester&) = delete;
    GVHitTester& operator=(const GVHitTester&) = delete;

    // Testers are not written back.
    bool Save(TXmlNode* /*element*/) override { return false; }

    // Whether the point (frame pixels, after mirroring) hits the frame.
    virtual bool HitTest(const TPoint& point, const GVFrame* frame) = 0;
    // Prepares the tester for the object's frames; false when it cannot serve it.
    virtual bool Attach(GVObject* object) = 0;
    // The name it is registered under.
    virtual const char* GetTypeName() const = 0;
};

using GVHitTesterCreator = GVHitTester* (*)();

// Tester names to the functions that make them; "default" and "alpha" are registered before the
// program starts.
std::map<str, GVHitTesterCreator>& GetHitTesterCreators();
// The entry for the name, made empty when missing.
GVHitTesterCreator& HitTesterCreatorSlot(const str& name);
