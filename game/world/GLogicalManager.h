// The process-wide object that drives play on the current level. This is the part game objects
// and their tasks reach: the timers' task list (the game screen's), the game data's closing flag,
// score, change notices, removal from the level, particle effects, the buy button and the path
// grid, each giving its answer for a missing game screen, game data or level. Made on first use,
// destroyed at process exit. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/world/GGameObjectTimer.h"
#include "game/world/GPathGrid.h"

#include <cstdint>

class GFlyEmitter;
class GGameData;
class GGameObject;
class GLogicalManagerHooks;
class G_VoidLink;
class TModalWindow;

class GLogicalManager {
public:
    static GLogicalManager& Instance();

    // Binds the game log's module "Logical" to the discarding writer.
    GLogicalManager();
    GLogicalManager(const GLogicalManager&) = delete;
    GLogicalManager& operator=(const GLogicalManager&) = delete;

    // Not owned. The path grid is sized for the play area.
    void SetGameData(GGameData* data);
    GGameData* GetGameData() const { return mGameData; }
    // The modal window whose task list runs the timers (not owned); null when there is none.
    // Tests set it directly; the game control sets it when it registers.
    void SetGameScreen(TModalWindow* screen) { mGameScreen = screen; }
    TModalWindow* GetGameScreen() const { return mGameScreen; }
    // The shell's windows (not owned); null goes back to the behaviour of missing windows.
    void SetHooks(GLogicalManagerHooks* hooks);
    GLogicalManagerHooks& GetHooks() const { return *mHooks; }

    // Into the game screen's task list, which then owns it; false without a screen or a timer
    // (the timer stays the caller's).
    bool AddTimerTask(GGameObjectTimer* timer);
    // The game data's closing flag; true without game data.
    bool IsClosing() const;
    // 0 before the first level, 1 loaded, 2 playing, 3 carrying an object, 4 level ended.
    int GetGameState() const { return mGameState; }
    // The points go to the current level; nothing without game data or level.
    void AddScore(int points);
    // An object changed: unless something is carried, an object with a pending task takes the
    // mouse again.
    void OnObjectChanged(GGameObject* object);
    // Takes the object out of play and the level deletes it; 0 without game data or level.
    int RemoveObject(GGameObject* object, bool stopScenes);
    // The game window's fly emitter for the particle script, or null.
    GFlyEmitter* CreateParticleEffect(const str& script);
    // Refreshes the buy button of the upgrade phase; false without a level.
    bool UpdateBuyButton();
    // The walkability grid of the play area and its path finder: empty until game data is set.
    GPathGrid& GetPathGrid() { return mPathGrid; }

    // The mouse cursor: 1 click, 2 want, 3 drag, anything else the default arrow. The kind
    // already shown does nothing. Returns the kind.
    int SetCursor(int kind);
    // 5 until the first SetCursor, which therefore always sets a cursor.
    int GetCursorKind() const { return mCursorKind; }
    // The object's buy dialog in the main window script; the object becomes the pending upgrade.
    // Nothing for a link that is not a game object.
    void RunBuyDialog(G_VoidLink* upgrade);
    // The buy dialog's answer: with ok the pending upgrade is bought, the money shown and the
    // progress saved. The pending upgrade is cleared either way.
    void CPP_EndBuyDialog(bool ok);
    // Not owned; null when no buy dialog is open.
    GGameObject* GetPendingUpgrade() const { return mPendingUpgrade; }
    // How the upgrade screen names the object's offered upgrade: base type, "_", upgrade level.
    static str UpgradeName(GGameObject& object);
    // The Lua text that opens the buy dialog for the upgrade of that name and price.
    static str BuyDialogText(int price, const str& name);

private:
    GGameData* mGameData = nullptr;
    TModalWindow* mGameScreen = nullptr;
    GLogicalManagerHooks* mHooks;
    int32_t mGameState = 0;
    int32_t mCursorKind = 5;
    GGameObject* mPendingUpgrade = nullptr;
    GPathGrid mPathGrid;
};
