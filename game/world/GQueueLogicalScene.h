// The one-step scene that places a girl in a judging queue place: no entries and no stages, only
// its three hooks. Its link puts the girl into the row, moving the others along. Main thread
// only.
#pragma once

#include "game/world/GBaseLogicalScene.h"

class GQueueLogicalScene : public GBaseLogicalScene {
public:
    const str& GetName() const override { return mName; }
    bool InitFromTable(const str& name, TScript* script, TLuaTable* table) override;
    // Begin: the OnBegin hook, then the scene closes.
    int BeginIfFull() override { return Begin(); }
    int Close() override { return End(); }
    GBaseLogicalScene* Clone(int number) const override;
    // 0 for a blocked object; 1 when the object takes part in scenes of this name.
    int CanAccept(GGameObject* object, bool undo) override;
    // The girl goes onto the place (or the place of the girl she was dropped on); an occupied
    // place is emptied first by moving the row toward a free place. False when there is no place
    // or no room.
    bool OnLink(GGameObject* object, GGameObject* target) override;
    int Create() override;
    int Begin() override;
    int End() override;

    const str& GetOnCreate() const { return mOnCreate; }
    const str& GetOnBegin() const { return mOnBegin; }
    const str& GetOnEnd() const { return mOnEnd; }

private:
    // The hook, with this scene the manager's current scene; 1 for an unnamed hook.
    int CallHook(const str& hook);

    str mName;
    // The logical manager's scene script; not owned.
    TScript* mScript = nullptr;
    str mOnBegin;
    str mOnEnd;
    str mOnCreate;
};
