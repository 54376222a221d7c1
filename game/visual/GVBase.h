// The root of every item of the visual object model: transform records, frames, lists, states,
// effects, objects. Each item carries a type code, and copying checks the target's code, so that
// an item is only ever copied into one of its own kind. Main thread only.
#pragma once

class TXmlNode;

class GVBase {
public:
    enum : int {
        kParams = 0, // parameters and hit testers
        kData = 1,   // a transform record embedded in an object
        kFrame = 2,
        kFrames = 3,
        kTexture = 4,
        kTextures = 5,
        kState = 6,
        kStates = 7,
        kEffect = 8,
        kEffects = 9,
        kObject = 10,
        kChilds = 11,
    };

    explicit GVBase(int type) : mType(type) {}
    virtual ~GVBase() = default;

    // The item this one belongs to; null in the base.
    virtual GVBase* GetOwner() { return nullptr; }
    virtual const GVBase* GetOwnerConst() const { return nullptr; }
    // True when an element is given; the owner is the item being loaded into.
    virtual bool Load(TXmlNode* element, GVBase* owner);
    // True when written.
    virtual bool Save(TXmlNode* element) = 0;
    // Copies this item into the target and returns it; null when the target is of another kind.
    // The base returns the target unchanged.
    virtual GVBase* CopyTo(GVBase* target) { return target; }

    int GetType() const { return mType; }

protected:
    GVBase(const GVBase&) = default;
    GVBase& operator=(const GVBase&) = default;

private:
    int mType;
};
