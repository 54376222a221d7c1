// The fifteen developer cheats the game control lists when the main script's "gCheatMode" is 1,
// each bound to its key. They act on the logical manager, the current level, the path grid, the
// game control and the main script. Main thread only.
#pragma once

#include "game/shell/GCheatManager.h"

class GGameCtrl;

// Adds the fifteen cheats to the control's manager in their fixed order.
void AddDeveloperCheats(GCheatManager& manager, GGameCtrl& control);

// H: hides and shows the hint text.
class GCheatDrawCheatHint final : public GBaseCheat {
public:
    explicit GCheatDrawCheatHint(GCheatManager& manager);
    void RunCheat() override;

private:
    GCheatManager& mManager;
};

// W, G, P: the path grid's three debug switches.
class GCheatDrawWalkalability final : public GBaseCheat {
public:
    GCheatDrawWalkalability();
    void RunCheat() override;
};

class GCheatDrawGrid final : public GBaseCheat {
public:
    GCheatDrawGrid();
    void RunCheat() override;
};

class GCheatDrawPathPoints final : public GBaseCheat {
public:
    GCheatDrawPathPoints();
    void RunCheat() override;
};

// O: the outside object editor.
class GCheatStartObjectEditor final : public GBaseCheat {
public:
    GCheatStartObjectEditor();
    void RunCheat() override;
};

// R: the same level loaded again from files.
class GCheatReloadAll final : public GBaseCheat {
public:
    GCheatReloadAll();
    void RunCheat() override;
};

// A and Z: a running level ends won (at the expert score or not) or lost.
class GCheatEndGameWin final : public GBaseCheat {
public:
    GCheatEndGameWin();
    void RunCheat() override;
};

class GCheatEndGameLoose final : public GBaseCheat {
public:
    GCheatEndGameLoose();
    void RunCheat() override;
};

// Q: starts the position editor while no scene runs, and stops it saving.
class GCheatPositionEditor final : public GBaseCheat {
public:
    GCheatPositionEditor();
    void RunCheat() override;
};

// PgUp, PgDn and L: the main script's level jumps.
class GCheatJumpToNextLevel final : public GBaseCheat {
public:
    GCheatJumpToNextLevel();
    void RunCheat() override;
};

class GCheatJumpToPrevLevel final : public GBaseCheat {
public:
    GCheatJumpToPrevLevel();
    void RunCheat() override;
};

class GCheatJumpToLevelNumber final : public GBaseCheat {
public:
    GCheatJumpToLevelNumber();
    void RunCheat() override;
};

// S and I: points for the level and for the power meter.
class GCheatAddScores final : public GBaseCheat {
public:
    GCheatAddScores();
    void RunCheat() override;
};

class GCheatAddScoresToPowers final : public GBaseCheat {
public:
    GCheatAddScoresToPowers();
    void RunCheat() override;
};

// K: the game control's flag for drawing the objects' rectangles; its hint stays.
class GCheatToggleDrawObjectRects final : public GBaseCheat {
public:
    explicit GCheatToggleDrawObjectRects(GGameCtrl& control);
    void RunCheat() override;

private:
    GGameCtrl& mControl;
};
