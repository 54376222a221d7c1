// The part selector, window type "GSelectMenu" (named "select_control"): a radial menu of choices
// (GSelectMenuChild) that the selector's Lua builds and flies out of the heroine (GSelectPopupper).
// It gives each choice a mood of the girl, shows her lips as the mouse moves over the choices and
// reports the choice to the logical manager. It publishes "CPP_OnSelectorInitComplete",
// "CPP_BeginSelectorDialogFly", "CPP_EndSelectorChoose" and "CPP_OnBeginClosingSelector" in the
// main script while it exists. Made once by the first opening and kept by the logical manager
// between openings; main thread only.
#pragma once

#include "engine/core/task.h"
#include "engine/ui/window.h"
#include "game/shell/GMemberFuncAsAnimTaskManager.h"

#include <cstdint>
#include <vector>

class GSelectMenuChild;
class GSelectPopupper;
class TPSimple;
class TScript;
struct lua_State;

class GSelectMenu : public TWindow, public TTask, public GMemberFuncAsAnimTaskManager<GSelectMenu> {
public:
    static constexpr int kTimerMs = 100;
    static constexpr int kGlowTimerMs = 16;
    // The particle time that lets the happy glow's particles die out at once.
    static constexpr int kGlowFadeMs = 3000;

    // Where the moods' seed comes from: seconds since 1970. Null restores the system clock. For
    // tests and harness runs, so that the moods repeat.
    using TSecondsClock = int64_t (*)();
    static void SetSecondsClock(TSecondsClock clock);

    // Publishes the four callbacks in the main script.
    GSelectMenu();
    // Withdraws all four callbacks, so that no Lua call reaches a gone menu.
    ~GSelectMenu() override;
    GSelectMenu(const GSelectMenu&) = delete;
    GSelectMenu& operator=(const GSelectMenu&) = delete;
    const char* GetClassName() const override { return "GSelectMenu"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "GSelectMenu".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    bool OnAttach() override { return true; }
    // Reads the style and starts the click-delay timer; the base Init does not run.
    void Init(TWindowStyle& style) override;
    void PostCreate(TWindowStyle& style) override;
    void Draw() override {}
    // The click delays count down; runs while some child still waits.
    bool OnAnimate() override;
    bool OnKeyUp(uint8_t /*key*/) override { return false; }
    bool DoTask() override { return true; }

    // The Lua callbacks.
    void CPP_OnSelectorInitComplete();
    void CPP_BeginSelectorDialogFly(int count);
    void CPP_EndSelectorChoose(int dialog, int entry, int index);
    void CPP_OnBeginClosingSelector(str girl, str scene);

    // The girl's lips for the child's mood and, when the hovered child changed, the hover sound.
    void ShowChildHover(GSelectMenuChild* child);
    // One mood per choice: exactly one 1, the others 0 and -1 in turn, shuffled with the runtime's
    // generator seeded from the seconds clock.
    static std::vector<int32_t> MakeMoods(int count);
    // The sine of a whole-degree angle from the one-degree table; any angle, negative included.
    static float SineOf(int degrees);
    // The popupper forgets the menu, or the menu the popupper, when either goes.
    void ForgetPopupper(const GSelectPopupper* popupper);

    const std::vector<GSelectMenuChild*>& GetChoices() const { return mChildren; }
    const std::vector<int32_t>& GetMoods() const { return mMoods; }
    GSelectPopupper* GetPopupper() const { return mPopupper; }
    GSelectMenuChild* GetHoveredChild() const { return mHoveredChild; }
    const str& GetClosingGirl() const { return mClosingGirl; }
    const str& GetClosingScene() const { return mClosingScene; }

private:
    // The child of the index built by the child script and placed on the circle; null when the
    // script does not make it.
    GSelectMenuChild* BuildChild(int index);
    void PlaceChild(GSelectMenuChild* child, int index);
    // The modal parent's "happy_glow", looked up when needed: it may belong to an earlier modal
    // window, gone since.
    TPSimple* FindHappyGlow() const;
    void LinkPopupper(GSelectPopupper* popupper);
    void RunMain(const str& text) const;
    static void RestartGameWindow();

    std::vector<int32_t> mMoods;
    int32_t mW = 0;
    int32_t mH = 0;
    // Not owned: the window manager's script at construction.
    TScript* mScript = nullptr;
    str mChildsScript;
    int32_t mChildsNum = 0;
    str mChildName;
    int32_t mChildStartAngle = 0;
    int32_t mChildDistanceDelta = 0;
    // Not owned: the menu's own child windows.
    std::vector<GSelectMenuChild*> mChildren;
    GSelectMenuChild* mHoveredChild = nullptr;
    // Linked both ways: whichever goes first clears the other's pointer.
    GSelectPopupper* mPopupper = nullptr;
    str mClosingGirl;
    str mClosingScene;
    lua_State* mPublished = nullptr;
};
