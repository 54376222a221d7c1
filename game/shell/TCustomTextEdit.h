// The game's name edit: the engine's one-line text edit with three additions for the new-player
// dialog. Its initial text can vanish at the first click or key ("clearinitial"), a named window
// (the dialog's OK button) is enabled only while it holds text ("enablewindow"), and every typed
// character plays a typing sound. The game registers it under "TextEdit", so every text edit a
// script makes is one. Owned by its parent window. Main thread only.
#pragma once

#include "engine/core/assetmap.h"
#include "engine/core/random.h"
#include "engine/core/str.h"
#include "engine/ui/textedit.h"

class TCustomTextEdit : public TTextEdit {
public:
    // Loads the typing sound.
    TCustomTextEdit();
    const char* GetClassName() const override { return "TCustomTextEdit"; }
    bool IsKindOf(TWindowClassId id) const override;
    ~TCustomTextEdit() override;
    // Reads "clearinitial" and "enablewindow", then the text edit's keys.
    void Init(TWindowStyle& style) override;
    // The first click empties the edit while the initial text is still there.
    bool OnMouseUp(const TPoint& point) override;
    // Both follow the text with the enable window once the change is made.
    bool OnChar(uint8_t character) override;
    bool OnKeyDown(uint8_t key, int modifiers) override;
    // The first edit of any kind empties the initial text; an accepted insertion plays a typing
    // sound.
    bool AllowEdit(int action, uint8_t character) override;

    // The factory function that replaces the engine's under the type name "TextEdit".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Enables the enable window while the edit holds text, disables it otherwise; nothing without
    // one.
    void UpdateEnableWindow();

    bool IsInitialCleared() const { return mInitialCleared; }
    const str& GetEnableWindowName() const { return mEnableWindow; }

private:
    // Empties the initial text when it is still there; true when this call did.
    bool ClearInitial();
    void PlayTypingSound();

    TAssetMap mTypingSounds;
    TRandom mRandom;
    bool mInitialCleared = true;
    str mEnableWindow;
};
