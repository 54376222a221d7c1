#include "game/shell/TCustomTextEdit.h"

#include "engine/media/sound.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowstyle.h"
#include "game/common/WindowKind.h"

namespace {

constexpr uint8_t kDeleteKey = 46;

const char* const kTypingSounds[] = {"audio/sfx/typing.ogg?group=1000", nullptr};
constexpr int kTypingSoundCount = 1;

} // namespace

TWindow* TCustomTextEdit::Create() {
    return new TCustomTextEdit;
}

bool TCustomTextEdit::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TTextEdit::IsKindOf(id);
}

TCustomTextEdit::TCustomTextEdit() {
    mTypingSounds.AddAssets(kTypingSounds);
}

TCustomTextEdit::~TCustomTextEdit() = default;

void TCustomTextEdit::Init(TWindowStyle& style) {
    mInitialCleared = !style.GetBool("clearinitial", false);
    mEnableWindow = style.GetString("enablewindow", str());
    TTextEdit::Init(style);
}

bool TCustomTextEdit::ClearInitial() {
    if (mInitialCleared) {
        return false;
    }
    mInitialCleared = true;
    SetText("");
    return true;
}

bool TCustomTextEdit::OnMouseUp(const TPoint& point) {
    if (ClearInitial()) {
        UpdateEnableWindow();
        return true;
    }
    return TText::OnMouseUp(point);
}

bool TCustomTextEdit::OnChar(uint8_t character) {
    const str before = GetText();
    const bool handled = TTextEdit::OnChar(character);
    if (!(GetText() == before)) {
        UpdateEnableWindow();
    }
    return handled;
}

bool TCustomTextEdit::OnKeyDown(uint8_t key, int modifiers) {
    const str before = GetText();
    const bool handled = TTextEdit::OnKeyDown(key, modifiers);
    if (key == kDeleteKey || !(GetText() == before)) {
        UpdateEnableWindow();
    }
    return handled;
}

bool TCustomTextEdit::AllowEdit(int action, uint8_t character) {
    const bool cleared = ClearInitial();
    if (action == kEditInsert) {
        if (!TTextEdit::AllowEdit(action, character)) {
            return false;
        }
        PlayTypingSound();
        return true;
    }
    // The text the caret was placed in is gone: a move or delete has nothing left to act on.
    if (cleared && action == kEditMoveOrDelete) {
        return false;
    }
    return TTextEdit::AllowEdit(action, character);
}

void TCustomTextEdit::PlayTypingSound() {
    const auto index = static_cast<int>(RandomUnitReal(mRandom) * kTypingSoundCount);
    if (TSoundPtr sound = mTypingSounds.GetSound(kTypingSounds[index])) {
        // The instance is let go at once; the sound plays on.
        sound->Play(false);
    }
}

void TCustomTextEdit::UpdateEnableWindow() {
    if (mEnableWindow.Length() == 0) {
        return;
    }
    TWindow* modal = GetModalParent();
    TWindow* target = modal != nullptr ? modal->FindChild(mEnableWindow, -1) : nullptr;
    if (target == nullptr) {
        return;
    }
    SetWindowShown(target, GetText().Length() > 0);
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
}
