// One running make-up, hair-style or poise power: who performs it, the scene it waits for, the
// scenes it made, and the girls it took out of their stations. The logical manager keeps them
// while the power runs. Main thread only.
#pragma once

#include "engine/core/str.h"

#include <cstdint>
#include <vector>

class GGameObject;

struct GPowerRecord {
    enum : int32_t { kWaiting = 0, kStarted = 1, kFinished = 2 };

    // The personage who performs the power (the heroine); not owned.
    GGameObject* mOwner = nullptr;
    // The number of the scene the owner must finish before the power starts; 0 when none.
    int32_t mPendingScene = 0;
    // The number of the last scene the power made.
    int32_t mPowerScene = 0;
    int32_t mState = kWaiting;
    int32_t mKind = 0;
    // The owner's speed before the power, given back when the record finishes (when above 0).
    int32_t mSavedSpeed = 80;
    // The owner's speed while the power runs.
    int32_t mPowerSpeed = 250;
    // The stations the power serves.
    std::vector<str> mSceneNames;
    // The girls the power took out of those stations; not owned.
    std::vector<GGameObject*> mGirls;
};
