// The scene in which a girl takes a pacifier: it links the pacifier and the girl, does not block
// its objects, begins only when the girl can take the pacifier, and holds retained the scenes
// that wait for it until it ends. Main thread only.
#pragma once

#include "game/world/GLogicalScene.h"

class GPacifierScene : public GLogicalScene {
public:
    // Needs both: the pacifier and the girl, whose entry it remembers.
    bool OnLink(GGameObject* object, GGameObject* target) override;
    int Create() override;
    int Begin() override;
    int End() override;
    int AddWaiting(GBaseLogicalScene* scene) override;
    bool GetWalkMode() const override { return false; }
    void SetWalkMode(bool /*flag*/) override {}
    bool HasNextStage() const override { return false; }

    int GetGirlEntry() const { return mGirlEntry; }
    const std::vector<GBaseLogicalScene*>& GetWaitingScenes() const { return mWaiting; }

protected:
    GLogicalScene* NewOfClass() const override { return new GPacifierScene; }

private:
    // The girl of the girl entry and the first pacifier of the scene: the girl is blocked for
    // taking it. False when either is missing.
    bool TakePacifier();

    int32_t mGirlEntry = -1;
    // Retained until this scene ends; not owned.
    std::vector<GBaseLogicalScene*> mWaiting;
};
