// A pattern of game objects that a tutorial step names: the object that started the tutorial
// ("-1"), or an object name and an exact position, each optional. The logical manager matches
// level objects with it to point arrows and to leave objects usable. Owned by the step. Main
// thread only.
#pragma once

#include "engine/core/str.h"
#include "game/world/GTutorialComponent.h"

class GGameObject;

class GTutorialFilter : public GTutorialComponent {
public:
    // Reads "id" and "pos" ({x, y}); false without a table, owner, id or pos.
    bool Load(TLuaTable* table, GTutorialRun* owner) override;
    // The filter that matches the start object; false without an owner.
    bool LoadStartObject(GTutorialRun* owner);
    // The start object is read through the slot, which belongs to the tutorial that owns the
    // filter and so outlives it.
    void BindStartObject(GGameObject* const* slot) { mStartObject = slot; }

    // A start-object filter matches the current start object only (nothing while there is none);
    // otherwise the name when one is given and the position when one is given.
    bool Matches(const GGameObject* object) const;

    bool IsStartObject() const { return mIsStartObject; }
    const str& GetId() const { return mId; }
    int GetX() const { return mX; }
    int GetY() const { return mY; }

private:
    bool mIsStartObject = false;
    str mId;
    int mX = kAnyTutorialPos;
    int mY = kAnyTutorialPos;
    GGameObject* const* mStartObject = nullptr;
};

// Reads a {x, y} table into the two coordinates (0 for a missing one); false when the field is
// no table, leaving them as they were.
bool ReadTutorialPos(TLuaTable& table, const char* field, int& x, int& y);
// Whether the object stands exactly at the position; every object stands at the any-position.
bool IsAtTutorialPos(const GGameObject& object, int x, int y);
