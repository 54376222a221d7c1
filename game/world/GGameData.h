// The game-wide holder of the upgrade and power tables and of the current level. This is the part
// the game objects reach: the closing flag, the upgrade record of an object and the current level
// number. Until the upgrade tables are read, no object has an upgrade group. Owned by the object
// factory; main thread only.
#pragma once

#include "engine/core/str.h"

class GGameObject;
struct GUpgradeData;

class GGameData {
public:
    // Set while the game closes the level: tasks destroyed then do not unhook their timers.
    bool IsClosing() const { return mClosing; }
    void SetClosing(bool closing) { mClosing = closing; }

    // -1 when no upgrade group is named like the object; 1 when the next upgrade level is offered
    // on the current level (copied out); 0 otherwise.
    int GetObjectUpgrade(const GGameObject* object, int upgradeLevel, GUpgradeData& record);
    // The record of the group at the 0-based position, or null.
    const GUpgradeData* FindUpgrade(const str& name, int position) const;
    // The current level's number; 0 without a level.
    int GetCurrentLevelNumber() const { return 0; }

private:
    bool mClosing = false;
};
