// The entrance door through which the girls arrive: a game object that opens with a sound when a
// girl appears and that the level editor can move. In play it carries the door strategy once it
// has been in edit mode. Main thread only.
#pragma once

#include "game/world/GGameObject.h"

class GInDoor : public GGameObject {
public:
    static int sClassId;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GInDoor"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    bool IsEditable() const override { return true; }
    // On: the editor's strategy, with the mouse; off: the door strategy. Either is bound to the
    // door and the current level.
    void SetEditMode(bool on, int level) override;

    // Shows "open" and plays "door_open".
    void Open();
};
