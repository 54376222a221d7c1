// The hiscore window of the window type "HiscoreWindow": fills the ten rows its script built (name,
// score and rank texts) from the local score table of the current game mode, best first, shows
// the captions that say whether the current player is in it, shrinks names until they fit, and
// publishes five Lua functions with which the script reads and clears the table. Its "GetState"
// stands in for the engine's game-state query while it lives, which gets its place back after.
// The hiscore client belongs to the user profiles. Owned by its parent window. Main thread only.
#pragma once

#include "engine/core/rect.h"
#include "engine/ui/window.h"

#include <cstdint>

struct lua_State;
class TImage;
class TQzHiscores;
class TText;

class THiscore : public TWindow {
public:
    static constexpr int kRows = 10;

    // Publishes "GetState", "ScoreAvailable" and "UpdateText", keeping the "GetState" they
    // replace.
    THiscore();
    const char* GetClassName() const override { return "THiscore"; }
    bool IsKindOf(TWindowClassId id) const override;
    // Takes its five globals back and gives "GetState" back to the one it replaced.
    ~THiscore() override;
    // Publishes "CPP_Clear" and "CPP_GetScoreCount", finds the rows, moves "leftpanel" under
    // "hiscorelocal", fills the rows and lets the script update its buttons.
    void PostCreate(TWindowStyle& style) override;
    // Button presses "viewlocal", "scrollup" and "scrolldown" refresh the rows; every message goes
    // on to the script.
    bool OnMessage(TMessage* message) override;
    bool OnAnimate() override { return true; }
    // Slot 28: the screen the window covers.
    virtual bool GetScreenBounds(TRect* out);

    // The factory function of the type name "HiscoreWindow".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // The Lua functions of the same names.
    int GetState() { return mViewState; }
    bool ScoreAvailable();
    void UpdateText();
    int CPP_Clear();
    int CPP_GetScoreCount();

    void HideAll();
    void ShowLocalTable();
    void UpdateButtons();

    int GetScrollOffset() const { return mScrollOffset; }

private:
    struct GRow {
        // Not owned: descendants found at PostCreate.
        TText* name = nullptr;
        TText* score = nullptr;
        TText* rank = nullptr;
        TImage* badge = nullptr;
    };

    void ShowChild(const char* name, bool show);
    // Lowers the name's font size until its text fits the window.
    static void FitName(TText& text);

    int32_t mViewState = 0;
    // Owned by the user profiles; null without them.
    TQzHiscores* mHiscores = nullptr;
    int32_t mScrollOffset = 0;
    GRow mRows[kRows];
    // The state the functions were published in; null without a window script.
    lua_State* mPublished = nullptr;
};
