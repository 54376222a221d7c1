// A one-line text edit: a text window that keeps its own text and shows it, or one star per byte
// for a password, with a blinking caret while it has the keyboard focus. It takes typed characters
// up to a length limit, moves the caret with the arrow keys, deletes, pastes from the clipboard and
// passes the focus on Tab to the next text edit of its modal window (its group). Every change
// posts kTextEditChanged for the dialog script. Created by the type name "TextEdit"; the game
// derives its name edit from it and overrides AllowEdit. Owned by its parent window. Main thread
// only.
#pragma once

#include "engine/core/clock.h"
#include "engine/core/str.h"
#include "engine/ui/text.h"

#include <cstdint>
#include <memory>
#include <vector>

class TTextEdit : public TText {
public:
    // The actions AllowEdit is asked about.
    enum : int {
        kEditInsert = 0,
        kEditMoveOrDelete = 1,
        kEditEnter = 2,
        kEditTab = 3,
        kEditPaste = 4,
        kEditRefused = 5,
    };

    // The text edits of one modal window, in the order they joined.
    using TGroup = std::vector<TTextEdit*>;

    TTextEdit();
    const char* GetClassName() const override { return "TTextEdit"; }
    bool IsKindOf(TWindowClassId id) const override;
    // Leaves the group and detaches the animation.
    ~TTextEdit() override;
    // Joins the group, reads "password", "length" and "ignore", then the text window's behaviour
    // with the label (never translated) as the initial text.
    void Init(TWindowStyle& style) override;
    void Draw() override;
    // Refreshes the caret; the animation keeps running.
    bool OnAnimate() override;
    bool OnChar(uint8_t character) override;
    // Moves and deletes, pastes; true for keys without control, alt or extended modifiers so that
    // plain keys do not reach the dialog's hot keys.
    bool OnKeyDown(uint8_t key, int modifiers) override;
    // Slot 28: replaces the edited text; the caret goes to its end.
    void SetText(const str& text) override;
    // Slot 29: the edited text, not the shown one.
    str GetText() const override;
    // Slot 30: the permission hook. Insertion is allowed below the length limit (a refusal is
    // noticed through kEditRefused); moves, deletes and pastes are allowed; Enter, Tab and the
    // notice are not.
    virtual bool AllowEdit(int action, uint8_t character);

    // The factory function of the type name "TextEdit".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    void SetPassword(bool on);
    bool IsPassword() const { return mPassword; }
    void SetIgnore(const str& characters);
    const str& GetIgnore() const { return mIgnore; }
    // Removes the byte before the caret; nothing at 0.
    void DeleteBefore();
    // Joins the group of the first other text edit of the modal window that has one, or starts
    // one, and starts the blink animation; once, and only inside a modal window.
    void Attach();
    void SetLengthLimit(int limit) { mLengthLimit = limit; }
    int GetLengthLimit() const { return mLengthLimit; }
    int GetCursor() const { return mCursor; }
    bool IsEditable() const { return mEditable; }
    void SetEditable(bool on) { mEditable = on; }
    const std::shared_ptr<TGroup>& GetGroup() const { return mGroup; }

private:
    friend class TextSpider;

    // Shows the text (or stars) with the caret in its blink phase through the text window.
    void RefreshDisplay();
    void PostChanged();

    int mLengthLimit = 10;
    std::shared_ptr<TGroup> mGroup;
    str mText;
    // In bytes, 0 .. length.
    int mCursor = 0;
    bool mEditable = true;
    bool mPassword = false;
    bool mCursorShown = false;
    str mIgnore;
    TClock mBlinkClock;
};
