// The registry of the tutorial windows by name, and the one step shown: it opens a window for a
// step, over a modal window "TutorialModalWindow" that pauses the game when the step stops it (a
// transfer window passes the mouse on to the game control and Esc to the borrowed pause button),
// and closes it again. One instance, made on first use; main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/ui/window.h"

#include <map>

class GTutorialWindow;
class GTutorialWindowManager;
class TButton;

// The child of the tutorial modal window that holds the tutorial window while a stop step shows:
// the game control gets the mouse through it. Answers as a plain window.
class TTransferWindow : public TWindow { // NOLINT(readability-identifier-naming)
public:
    static constexpr int kAnimationMs = 10;

    explicit TTransferWindow(GTutorialWindowManager* manager) : mManager(manager) {}
    // The manager forgets it.
    ~TTransferWindow() override;
    TTransferWindow(const TTransferWindow&) = delete;
    TTransferWindow& operator=(const TTransferWindow&) = delete;

    // A redraw on every tick.
    bool OnAnimate() override;
    // Passed on to the game control (a press first clears the pressed object of the mouse
    // strategies); false while there is none.
    bool OnMouseDown(const TPoint& point) override;
    bool OnMouseUp(const TPoint& point) override;
    bool OnMouseMove(const TPoint& point) override;
    // Esc presses the borrowed pause button; every key is taken.
    bool OnKeyDown(uint8_t key, int modifiers) override;

private:
    // The point in the game control's coordinates; null without one.
    TWindow* GameControlAt(const TPoint& point, TPoint& local) const;

    // Not owned: the process's manager.
    GTutorialWindowManager* mManager;
};

class GTutorialWindowManager {
public:
    static GTutorialWindowManager& Instance();

    GTutorialWindowManager() = default;
    GTutorialWindowManager(const GTutorialWindowManager&) = delete;
    GTutorialWindowManager& operator=(const GTutorialWindowManager&) = delete;

    // A later window of the same name replaces the entry.
    void Register(GTutorialWindow* window);
    // Out of the registry; when it is the current window, the step's state goes with it (the
    // window is being deleted, and with it the tutorial modal window when it is inside one).
    void Unregister(GTutorialWindow* window);

    // The named window shows the step; false when none is registered under the name.
    bool OpenWindow(const str& name, bool stop, int x, int y, int targetBits, int delay);
    void CloseWindow();
    GTutorialWindow* GetCurrentWindow() const { return mCurrentWindow; }
    GTutorialWindow* FindWindow(const str& name) const;

    void SetTransferring(int transferring) { mTransferring = transferring; }
    int GetTransferring() const { return mTransferring; }
    TModalWindow* GetTutorialModal() const { return mTutorialModal; }
    TWindow* GetGameControl() const { return mGameControl; }
    TTransferWindow* GetTransferWindow() const { return mTransferWindow; }
    TButton* GetPauseButton() const { return mPauseButton; }
    // Presses the borrowed pause button, when there is one.
    void PressPauseButton();
    // The transfer window is gone: nothing of the stop step may be reached any more.
    void ForgetTransferWindow(const TTransferWindow* window);

private:
    // Forgets the stop step's windows without touching them.
    void ForgetStopWindows();

    std::map<str, GTutorialWindow*> mWindows;
    // Not owned: windows of the tree.
    TModalWindow* mTutorialModal = nullptr;
    TWindow* mGameControl = nullptr;
    TTransferWindow* mTransferWindow = nullptr;
    TWindow* mPreviousParent = nullptr;
    int mTransferring = 0;
    GTutorialWindow* mCurrentWindow = nullptr;
    TButton* mPauseButton = nullptr;
    TWindow* mPauseParent = nullptr;
};

// Takes the window from its parent into the new one at the same place on the screen.
void MoveKeepingScreenPlace(TWindow* window, TWindow* newParent);
