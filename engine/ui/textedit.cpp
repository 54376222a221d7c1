#include "engine/ui/textedit.h"

#include "engine/core/event.h"
#include "engine/system/platform.h"
#include "engine/ui/message.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowstyle.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kBlinkPeriodMs = 800;
constexpr int kBlinkHiddenMs = 400;
constexpr int kAnimationMs = 200;

constexpr uint8_t kBackspace = 8;
constexpr uint8_t kTab = 9;
constexpr uint8_t kEnter = 13;
constexpr uint8_t kKeyInsert = 0x2D;
constexpr uint8_t kKeyLeft = 0x25;
constexpr uint8_t kKeyRight = 0x27;
constexpr uint8_t kKeyDelete = 0x2E;
constexpr uint8_t kKeyV = 'V';
constexpr uint8_t kLastLetterKey = 'Z';

std::string EditToStd(const str& text) {
    return text.CStr() != nullptr ? std::string(text.CStr(), static_cast<size_t>(text.Length()))
                                  : std::string();
}

str EditFromStd(const std::string& text) {
    return str(text.data(), static_cast<int>(text.size()));
}

bool EditIgnores(const str& set, char c) {
    return set.Length() != 0 && set.FindChar(c) >= 0;
}

// The shown text is markup: a typed '<' or '\' must show as itself.
void AppendEditEscaped(std::string& out, const std::string& text) {
    for (const char c : text) {
        if (c == '<' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
}

} // namespace

// Walks a modal window's descendants, depth first from the front, for a text edit whose group
// the searching edit joins.
class TextSpider : public TWindowSpider {
public:
    explicit TextSpider(TTextEdit* edit) : mEdit(edit) {}

    bool Visit(TWindow* child) override {
        if (child != mEdit && child->IsKindOf(TTextEdit::ClassId())) {
            auto* other = static_cast<TTextEdit*>(child);
            if (other->mGroup) {
                mEdit->mGroup = other->mGroup;
                mEdit->mGroup->push_back(mEdit);
                mFound = true;
                return false;
            }
        }
        child->VisitChildren(*this, false);
        return !mFound;
    }

    bool Found() const { return mFound; }

private:
    TTextEdit* mEdit;
    bool mFound = false;
};

TTextEdit::TTextEdit() {
    mFlags |= kFocusable;
    mBlinkClock.Reset(0);
    mBlinkClock.Resume();
}

TTextEdit::~TTextEdit() {
    if (mGroup) {
        mGroup->erase(std::remove(mGroup->begin(), mGroup->end(), this), mGroup->end());
        mGroup.reset();
    }
    DetachAnimation();
}

TWindow* TTextEdit::Create() {
    return new TTextEdit;
}

bool TTextEdit::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TText::IsKindOf(id);
}

void TTextEdit::Init(TWindowStyle& style) {
    Attach();
    const bool password = style.GetBool("password", false);
    const int length = style.GetInt("length", 10);
    const str ignore = style.GetString("ignore", str());
    TWindowManager* manager = GetWindowManager();
    // The label is the initial text as typed, never a string-table key.
    const bool translated = manager != nullptr && manager->SetTranslateLabels(false);
    if (password) {
        SetPassword(true);
    }
    TText::Init(style);
    if (manager != nullptr) {
        manager->SetTranslateLabels(translated);
    }
    mLengthLimit = length;
    SetIgnore(ignore);
}

void TTextEdit::Draw() {
    Attach();
    TText::Draw();
}

bool TTextEdit::OnAnimate() {
    RefreshDisplay();
    return true;
}

void TTextEdit::SetText(const str& text) {
    mText = text;
    mCursor = mText.Length();
    RefreshDisplay();
}

str TTextEdit::GetText() const {
    return mText;
}

bool TTextEdit::AllowEdit(int action, uint8_t /*character*/) {
    switch (action) {
    case kEditInsert:
        if (mText.Length() < mLengthLimit) {
            return true;
        }
        AllowEdit(kEditRefused, 0);
        return false;
    case kEditMoveOrDelete:
    case kEditPaste:
        return true;
    default:
        return false;
    }
}

void TTextEdit::SetPassword(bool on) {
    mPassword = on;
    RefreshDisplay();
}

void TTextEdit::SetIgnore(const str& characters) {
    mIgnore = characters;
}

void TTextEdit::DeleteBefore() {
    if (mCursor == 0) {
        return;
    }
    mText.Erase(mCursor - 1, 1);
    --mCursor;
    RefreshDisplay();
}

void TTextEdit::Attach() {
    if (mGroup) {
        return;
    }
    TModalWindow* modal = GetModalParent();
    if (modal == nullptr) {
        return;
    }
    StartAnimation(kAnimationMs, true, true, false);
    TextSpider spider(this);
    modal->VisitChildren(spider, false);
    if (!spider.Found()) {
        mGroup = std::make_shared<TGroup>(TGroup{this});
    }
}

void TTextEdit::RefreshDisplay() {
    const std::string text =
        mPassword ? std::string(static_cast<size_t>(mText.Length()), '*') : EditToStd(mText);
    const size_t cursor = std::min(static_cast<size_t>(std::max(mCursor, 0)), text.size());
    bool caret = false;
    TWindowManager* manager = GetWindowManager();
    if (manager != nullptr && manager->GetFocus() == this) {
        const bool shown = mBlinkClock.GetTime() % kBlinkPeriodMs > kBlinkHiddenMs;
        if (shown != mCursorShown) {
            mCursorShown = shown;
            manager->Invalidate();
        }
        caret = shown && mEditable;
    }
    std::string display;
    AppendEditEscaped(display, text.substr(0, cursor));
    if (caret) {
        display += "<cursor>";
    }
    AppendEditEscaped(display, text.substr(cursor));
    TText::SetText(EditFromStd(display));
}

void TTextEdit::PostChanged() {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->PostMessage(new TMessage(TMessage::kTextEditChanged, GetName(), nullptr));
    }
}

bool TTextEdit::OnChar(uint8_t character) {
    if (!mEditable) {
        return false;
    }
    bool changed = false;
    if (character == kBackspace) {
        if (mCursor == 0) {
            AllowEdit(kEditRefused, character);
            return false;
        }
        if (!AllowEdit(kEditMoveOrDelete, character)) {
            return false;
        }
        DeleteBefore();
        changed = true;
    } else if (character == kTab) {
        if (!AllowEdit(kEditTab, character)) {
            // An edit outside any modal window has no group: the focus stays.
            TWindowManager* manager = GetWindowManager();
            if (mGroup && manager != nullptr) {
                const TGroup& group = *mGroup;
                const auto self = std::find(group.begin(), group.end(), this);
                if (self != group.end()) {
                    const auto next =
                        std::next(self) != group.end() ? std::next(self) : group.begin();
                    manager->SetFocus(*next);
                }
            }
        }
        return false;
    } else if (character == kEnter && !AllowEdit(kEditEnter, character)) {
        return false;
    }
    if (!changed) {
        if (character < 32 || (character >= 128 && !mPassword)) {
            return false;
        }
        if (!EditIgnores(mIgnore, static_cast<char>(character))) {
            if (!AllowEdit(kEditInsert, character)) {
                return false;
            }
            const char byte = static_cast<char>(character);
            std::string text = EditToStd(mText);
            text.insert(static_cast<size_t>(mCursor), 1, byte);
            mText = EditFromStd(text);
            ++mCursor;
            RefreshDisplay();
        }
    }
    PostChanged();
    return true;
}

bool TTextEdit::OnKeyDown(uint8_t key, int modifiers) {
    Attach();
    const bool plain = (modifiers & (kModCtrl | kModAlt | kModExtended)) == 0;
    switch (key) {
    case kKeyLeft:
        if (mCursor == 0) {
            AllowEdit(kEditRefused, 0);
            return true;
        }
        if (AllowEdit(kEditMoveOrDelete, 0)) {
            --mCursor;
            RefreshDisplay();
            return true;
        }
        return plain;
    case kKeyRight:
        if (mCursor >= mText.Length()) {
            AllowEdit(kEditRefused, 0);
            return true;
        }
        if (AllowEdit(kEditMoveOrDelete, 0)) {
            ++mCursor;
            RefreshDisplay();
            return true;
        }
        return plain;
    case kKeyDelete:
        if (mCursor >= mText.Length()) {
            AllowEdit(kEditRefused, 0);
            return true;
        }
        // Asks as Backspace does, and tells the dialog as every other change does.
        if (AllowEdit(kEditMoveOrDelete, 0)) {
            mText.Erase(mCursor, 1);
            RefreshDisplay();
            PostChanged();
            return true;
        }
        return plain;
    default:
        break;
    }
    if (key > kLastLetterKey) {
        return false;
    }
    const bool paste = (key == kKeyV && (modifiers & kModCtrl) != 0) || key == kKeyInsert;
    if (paste && AllowEdit(kEditPaste, 0)) {
        TPlatform* platform = TPlatform::GetInstance();
        const str clipboard = platform != nullptr ? platform->GetClipboardText() : str();
        if (clipboard.Length() != 0) {
            const std::string cut =
                EditToStd(clipboard).substr(0, static_cast<size_t>(std::max(mLengthLimit, 0)));
            std::string kept;
            for (const char c : cut) {
                const auto byte = static_cast<uint8_t>(c);
                if (!EditIgnores(mIgnore, c) && byte >= 32 && byte <= 127) {
                    kept += c;
                }
            }
            const str before = mText;
            SetText(EditFromStd(kept));
            if (!(before == mText)) {
                PostChanged();
            }
            return true;
        }
    }
    return plain;
}
