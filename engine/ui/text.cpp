#include "engine/ui/text.h"

#include "engine/core/log.h"
#include "engine/media/renderer.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "engine/system/platform.h"
#include "engine/ui/button.h"
#include "engine/ui/textsprite.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowstyle.h"

#include <algorithm>
#include <memory>

namespace {

const char* TextLogText(const str& text) {
    return text.CStr() != nullptr ? text.CStr() : "";
}

void InvalidateText() {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
}

bool TranslatesLabels() {
    TWindowManager* manager = GetWindowManager();
    const TWindowScript* script = manager != nullptr ? manager->GetWindowScript() : nullptr;
    return script != nullptr && script->GetTranslateLabels();
}

// '#' marks a label that is shown as it stands; numbers are never looked up.
str TranslateLabel(const str& label) {
    if (label.Length() == 0 || !TranslatesLabels()) {
        return label;
    }
    if (label[0] == '#') {
        return label.Substr(1);
    }
    bool number = true;
    for (int i = 0; i < label.Length() && number; ++i) {
        const char c = label[static_cast<unsigned>(i)];
        number = (c >= '0' && c <= '9') || c == '.';
    }
    if (number) {
        return label;
    }
    TPlatform* platform = TPlatform::GetInstance();
    TStringTableLink* table = platform != nullptr ? platform->GetStringTable() : nullptr;
    return table != nullptr ? table->GetString(label) : label;
}

} // namespace

TText::TText() = default;

TText::~TText() {
    TTextSprite::Delete(mSprite);
}

TWindow* TText::Create() {
    return new TText;
}

bool TText::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

void TText::Init(TWindowStyle& style) {
    str fontName = "__DEFAULT";
    int fontSize = 16;
    TColor color{0.0f, 1.0f, 0.0f, 1.0f};
    if (std::unique_ptr<TLuaTable> font{style.GetTable("font")}) {
        fontName = font->GetStringAt(1, fontName);
        fontSize = LuaNumberToInt(font->GetNumberAt(2, fontSize));
        color = font->GetColorAt(3, color);
    }
    if (fontSize == 0) {
        fontSize = 12;
    }
    const str name = style.GetString("name", str());
    const str label = TranslateLabel(style.GetString("label", str()));
    const int defaultFlags = style.GetInt("defflags", 0);
    const int flags = style.GetInt("flags", defaultFlags);
    const int padding = style.GetInt("padding", 0);
    const auto rotation = static_cast<float>(style.GetNumber("rotation", 0.0));
    const int originX = style.GetInt("rotationOriginX", 0);
    const int originY = style.GetInt("rotationOriginY", 0);
    const int rotationAlign = style.GetInt("rotationAlign", 0);

    TWindow::Init(style);
    if (GetWidth() == 0 || GetHeight() == 0) {
        Log("ERROR: Attempting to create text window of size(0,0): named '%s', label '%s'",
            TextLogText(name), TextLogText(label));
        return;
    }
    mPadding = padding;
    CreateSprite(label, GetWidth(), GetHeight(), flags, fontName, fontSize, color);
    if (rotation != 0.0f) {
        const TPoint origin = ResolveCodedPoint(originX, originY, rotationAlign);
        SetRotation(rotation, origin.x, origin.y);
    }
}

bool TText::CreateSprite(const str& text, int width, int height, int flags, const str& fontName,
                         int fontSize, const TColor& color) {
    if (width == 0 || height == 0) {
        return false;
    }
    TTextSprite::Delete(mSprite);
    mSprite = TTextSprite::Create(text, width, height, flags, fontName, fontSize, color);
    SetSize(width, height);
    SetText(text);
    return true;
}

void TText::SetText(const str& text) {
    if (mSprite == nullptr || text == mSprite->GetText()) {
        return;
    }
    if (mSprite->GetText().Length() != 0) {
        InvalidateText();
    }
    mSprite->SetText(text);
}

str TText::GetText() const {
    return mSprite != nullptr ? mSprite->GetText() : str();
}

void TText::SetColor(const TColor& color) {
    if (mSprite == nullptr) {
        return;
    }
    const TColor& current = mSprite->GetColor();
    if (current.r == color.r && current.g == color.g && current.b == color.b &&
        current.a == color.a) {
        return;
    }
    mSprite->SetColor(color);
    InvalidateText();
}

void TText::SetRotation(float degrees, int originX, int originY) {
    if (mSprite != nullptr) {
        mSprite->SetRotation(degrees, originX, originY);
    }
}

TRect TText::GetTextExtent() const {
    TRect extent{0, 0, 0, 0};
    if (mSprite != nullptr) {
        mSprite->GetExtent(&extent, 1.0f);
    }
    return extent;
}

void TText::Draw() {
    TRenderer* renderer = TRenderer::Existing();
    if (mSprite == nullptr || renderer == nullptr) {
        return;
    }
    TRenderer2dScope pass;
    pass.mActive = renderer->Begin2d();
    mSprite->DrawInRect(GetClientRect(), mDrawScale, mPadding, mDrawAlpha, TTexturePtr());
}

void TText::SetScroll(float factor, int /*unused*/) {
    if (mSprite == nullptr) {
        return;
    }
    // NaN reads as 0.
    const float held = factor > 0.0f ? std::min(factor, 1.0f) : 0.0f;
    mSprite->SetFirstLine(held * static_cast<float>(mSprite->GetScrollRange(mDrawScale, mPadding)));
}

bool TText::OnMouseDown(const TPoint& point) {
    if (mSprite == nullptr) {
        return false;
    }
    mPendingLink = mSprite->LinkAt(point, mPadding);
    return mPendingLink.Length() != 0;
}

bool TText::OnMouseMove(const TPoint& point) {
    if (mSprite == nullptr || !mSprite->SetHoverLink(&point, mPadding)) {
        return false;
    }
    InvalidateText();
    if (TWindowManager* manager = GetWindowManager()) {
        manager->StartTracking(this);
    }
    return true;
}

bool TText::OnMouseLeave() {
    if (mSprite != nullptr) {
        mSprite->SetHoverLink(nullptr, mPadding);
        InvalidateText();
    }
    if (TWindowManager* manager = GetWindowManager()) {
        manager->StopTracking(this);
    }
    return true;
}

bool TText::OnMouseUp(const TPoint& point) {
    if (mPendingLink.Length() == 0) {
        return false;
    }
    // Cleared first: the command may delete this window.
    const str pending = mPendingLink;
    mPendingLink = str();
    if (mSprite == nullptr || mSprite->LinkAt(point, mPadding) != pending) {
        return true;
    }
    TModalWindow* modal = GetModalParent();
    TWindow* target = modal != nullptr ? modal->FindChild(pending, -1) : nullptr;
    if (target == nullptr) {
        Log("ERROR: Command window %s not found", TextLogText(pending));
    } else if (!target->IsKindOf(TButton::ClassId())) {
        Log("ERROR: Command window %s not a derived class of TButton", TextLogText(pending));
    } else {
        static_cast<TButton*>(target)->RunCommand();
    }
    return true;
}

namespace {

// The window itself does not count, even when it is named "label".
TWindow* FindLabelWindow(const TWindow& window) {
    for (TWindow* child : window.GetChildren()) {
        if (TWindow* found = child->FindChild("label", -1)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

void TWindow::SetLabelText(const str& text) {
    TWindow* label = FindLabelWindow(*this);
    if (label != nullptr && label->IsKindOf(TText::ClassId())) {
        static_cast<TText*>(label)->SetText(text);
    }
}

str TWindow::GetLabelText() {
    TWindow* label = FindLabelWindow(*this);
    if (label != nullptr && label->IsKindOf(TText::ClassId())) {
        return static_cast<TText*>(label)->GetText();
    }
    return str();
}
