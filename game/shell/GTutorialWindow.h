// A tutorial window, window type "TutorialWindow": the step of a tutorial shown with its message,
// background, picture, arrows pointing at game objects and OK and skip buttons (children
// "txtMessage", "imgBG", "imgImage", "arwArrow", "btnOK", "btnSkip"). It registers itself by its
// window name with the tutorial window manager, which opens and closes it. Owned by the window
// tree; main thread only.
#pragma once

#include "engine/core/rect.h"
#include "engine/core/str.h"
#include "engine/media/texture.h"
#include "engine/ui/button.h"
#include "engine/ui/window.h"

#include <cstdint>
#include <vector>

class GRIndicatorLabel;
class TClickListener;
class TImage;
class TText;

class GTutorialWindow : public TWindow {
public:
    static constexpr int kAnimationMs = 20;
    static constexpr int kArrowCount = 4;
    static constexpr uint8_t kEscapeKey = 27;
    // The play screen the window is placed on.
    static constexpr int kScreenWidth = 800;
    static constexpr int kScreenHeight = 600;

    // A button's action: the listener's OnClick, when one is set.
    class TCurrentAction : public TButton::Action { // NOLINT(readability-identifier-naming)
    public:
        void Run(TButton* button) override;
        void SetListener(TClickListener* listener) { mListener = listener; }
        TClickListener* GetListener() const { return mListener; }

    private:
        // Not owned: the tutorial step's part, which clears it before it goes.
        TClickListener* mListener = nullptr;
    };

    GTutorialWindow() = default;
    // Leaves the manager; arrows made for a step and a skip button moved out leave the parent.
    ~GTutorialWindow() override;
    GTutorialWindow(const GTutorialWindow&) = delete;
    GTutorialWindow& operator=(const GTutorialWindow&) = delete;
    const char* GetClassName() const override { return "GTutorialWindow"; }
    bool IsKindOf(TWindowClassId id) const override;

    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Registers with the manager under its name, hidden.
    void Init(TWindowStyle& style) override;
    // Finds its children, keeps their images and gives the buttons their actions.
    void PostCreate(TWindowStyle& style) override;
    // Shows itself once the modal clock passed the show time.
    bool OnAnimate() override;
    // Esc presses the pause button the manager borrowed; every key is taken.
    bool OnKeyDown(uint8_t key, int modifiers) override;

    // The picture and background by texture name; empty goes back to the layout's own.
    void SetImage(const str& texture);
    void SetBackground(const str& texture);
    void SetMessage(const str& label);
    void SetupOkButton(bool show, const str& label, TClickListener* listener);
    void SetupSkipButton(bool skipeable, const str& label, TClickListener* listener, bool fixed);
    // Index -1: every arrow of the list (the template when the list is empty).
    void ShowArrow(int index, bool show);
    // Turns arrow 0 to 3 toward the rectangle (screen coordinates); arrow 0 moves the window.
    void PointArrow(int index, const TRect& target);
    void SetVisible(bool show);

    // What the manager sets when it opens the window.
    void Place(int x, int y, int targetBits, uint32_t showTime);
    // After a step: the skip button back inside with its label, the extra arrows gone.
    void RestoreSkipButton();
    void RemoveExtraArrows();

    TButton* GetOkButton() const { return mOkButton; }
    TButton* GetSkipButton() const { return mSkipInside != nullptr ? mSkipInside : mSkipOutside; }
    bool IsSkipOutside() const { return mSkipOutside != nullptr; }
    TText* GetMessageText() const { return mMessage; }
    TImage* GetBackgroundImage() const { return mBackground; }
    TImage* GetPictureImage() const { return mPicture; }
    // Null for an index not made yet.
    GRIndicatorLabel* GetArrow(int index) const;
    uint32_t GetShowTime() const { return mShowTime; }

private:
    // Arrow 0 is the template; 1 to 3 are made on first use. Null outside 0 to 3 or without the
    // template.
    GRIndicatorLabel* ArrowAt(int index);
    void SetTexture(TImage* image, const str& texture, const TTexturePtr& own);

    // Owned by the window's parent while a step shows them.
    std::vector<GRIndicatorLabel*> mExtraArrows;
    // Children (not owned).
    TButton* mOkButton = nullptr;
    TImage* mBackground = nullptr;
    TImage* mPicture = nullptr;
    TText* mMessage = nullptr;
    GRIndicatorLabel* mArrow = nullptr;
    std::vector<GRIndicatorLabel*> mArrows;
    TButton* mSkipOutside = nullptr;
    TButton* mSkipInside = nullptr;
    // Owned by the buttons.
    TCurrentAction* mOkAction = nullptr;
    TCurrentAction* mSkipAction = nullptr;
    TTexturePtr mOwnBackground;
    TTexturePtr mOwnPicture;
    uint32_t mShowTime = 0;
    int32_t mPositionX = 0;
    int32_t mPositionY = 0;
    str mSkipLabelBackup;
    bool mSkipLabelSaved = false;
    int32_t mPositionTargetBits = 0;
};
