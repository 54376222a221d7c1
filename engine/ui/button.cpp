#include "engine/ui/button.h"

#include "engine/core/log.h"
#include "engine/media/texture.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "engine/ui/image.h"
#include "engine/ui/message.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowstyle.h"

#include <cstdio>
#include <memory>

namespace {

constexpr int kButtonLayers = 4;
// A mask pixel darker than this in red, green and blue is not part of the button.
constexpr uint32_t kMaskThreshold = 20;

void InvalidateButton() {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
}

// A Lua string literal that reads back as exactly the text: every byte that could end the
// literal or the line, or that is no printable ASCII, is written as a decimal escape.
str QuoteForLua(const str& text) {
    str quoted = "\"";
    for (int i = 0; i < text.Length(); ++i) {
        const auto c = static_cast<unsigned char>(text[static_cast<unsigned>(i)]);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03u", static_cast<unsigned>(c));
            quoted += escape;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    quoted += "\"";
    return quoted;
}

// Turns off the other buttons of a radio button's group: the children of its parent in the order
// they were added, from the last group start before the button up to the next group start.
class TRadioButtonSpider final : public TWindowSpider {
public:
    explicit TRadioButtonSpider(TButton* button) : mButton(button) {}

    bool Visit(TWindow* child) override {
        if (!mTurningOff) {
            // A button that begins a group is the start of its own group.
            if ((child->GetFlags() & TWindow::kRadioGroupStart) != 0) {
                mGroupStart = child;
            }
            return child != mButton;
        }
        if (!mInGroup) {
            if (child != mGroupStart) {
                return true;
            }
            mInGroup = true;
        } else if ((child->GetFlags() & TWindow::kRadioGroupStart) != 0) {
            return false;
        }
        if (child != mButton && child->IsKindOf(TButton::ClassId())) {
            static_cast<TButton*>(child)->SetToggleState(false);
        }
        return true;
    }

    // After the first walk: walk again to turn the group off.
    bool StartTurningOff() {
        mTurningOff = true;
        return mGroupStart != nullptr;
    }

private:
    TButton* mButton;
    TWindow* mGroupStart = nullptr;
    bool mTurningOff = false;
    bool mInGroup = false;
};

} // namespace

TButton::LuaAction::LuaAction(TLuaFunction* function) : mFunction(function) {}

TButton::LuaAction::~LuaAction() = default;

void TButton::LuaAction::Run(TButton* button) {
    auto* message =
        new TMessage(TMessage::kCommandOnly, str("LuaAction:") + button->GetName(), nullptr);
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr) {
        delete message;
        return;
    }
    if (TWindowScript* script = manager->GetWindowScript()) {
        script->DoLuaString(str("function GetButtonName() return ") +
                            QuoteForLua(button->GetName()) + "; end;");
    }
    manager->PassToScript(message, mFunction.get());
}

TButton::TButton() : TLayeredWindow(kButtonLayers) {
    SelectLayer(0);
}

TButton::~TButton() {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->StopTracking(this);
    }
}

TWindow* TButton::Create() {
    return new TButton;
}

bool TButton::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TLayeredWindow::IsKindOf(id);
}

bool TButton::OnAttach() {
    SetState(kNormal);
    return true;
}

void TButton::PostCreate(TWindowStyle& style) {
    TWindow::PostCreate(style);
    SetState(kNormal);
}

void TButton::SetType(int type) {
    mTypeAndState = (mTypeAndState & ~0xFu) | (static_cast<uint32_t>(type) & 0xFu);
}

int TButton::GetType() const {
    const int type = static_cast<int>(mTypeAndState & 0xFu);
    return (type & 0x8) != 0 ? type - 16 : type;
}

void TButton::SetState(int state) {
    const int old = GetState();
    mTypeAndState = (mTypeAndState & ~0x70u) | ((static_cast<uint32_t>(state) & 0x7u) << 4);
    OnStateChange(state, old);
}

void TButton::OnStateChange(int newState, int oldState) {
    // The press sound belongs to Press; there are sounds for the first three states only.
    if (newState != oldState && newState != kPressed && newState >= 0 && newState < 3 &&
        mSounds[newState] && (mFlags & kEnabled) != 0) {
        mSounds[newState]->Play(false);
    }
    const bool on = IsToggledOn();
    switch (GetType()) {
    case kPush:
        if (newState >= kNormal && newState <= kHover) {
            SelectLayer(newState);
        }
        break;
    case kToggle:
    case kRadio:
        if (newState == kNormal) {
            SelectLayer(on ? 1 : 0);
        } else if (newState == kPressed) {
            SelectLayer(on ? 0 : 1);
        } else if (newState == kHover) {
            SelectLayer(on ? 3 : 2);
        }
        break;
    default:
        break;
    }
}

void TButton::SetOptions(uint32_t bits) {
    if ((bits & kOptionBeginGroup) != 0) {
        mFlags |= kRadioGroupStart;
    }
    if ((bits & kOptionSendToParent) != 0) {
        mOptions |= kSendToParent;
    }
    mOptions |= static_cast<uint8_t>(bits & (kClose | kDefault | kCancel));
}

void TButton::ToggleState() {
    mOptions ^= kToggleOn;
    SetState(GetState());
}

void TButton::SetToggleState(bool on) {
    if (GetType() == kRadio && on && GetParent() != nullptr) {
        TRadioButtonSpider group(this);
        GetParent()->VisitChildren(group, true);
        if (group.StartTurningOff()) {
            GetParent()->VisitChildren(group, true);
        }
    }
    if (on) {
        mOptions |= kToggleOn;
    } else {
        mOptions &= static_cast<uint8_t>(~kToggleOn);
    }
    SetState(GetState());
    InvalidateButton();
}

void TButton::SetAction(Action* action) {
    mAction.reset(action);
}

void TButton::LoadSound(int slot, const str& name) {
    if (slot >= 0 && slot < 3) {
        mSounds[slot] = TSound::Get(name, true, 0);
    }
}

void TButton::SetHitMask(const TTexturePtr& texture) {
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!texture || !texture->Lock(&pixels, &pitch)) {
        return;
    }
    const int width = texture->GetWidth();
    const int height = texture->GetHeight();
    if (pixels == nullptr || width <= 0 || height <= 0 || pitch < width) {
        texture->Unlock();
        return;
    }
    std::vector<uint32_t> mask(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels + static_cast<size_t>(y) * static_cast<size_t>(pitch);
        std::copy(row, row + width, mask.begin() + static_cast<ptrdiff_t>(y) * width);
    }
    texture->Unlock();
    mHitMask.swap(mask);
    mMaskWidth = width;
    mMaskHeight = height;
}

bool TButton::IsOutside(const TPoint& point) {
    const int width = GetWidth();
    const int height = GetHeight();
    bool outside = point.x < 0 || point.y < 0 || point.x >= width || point.y >= height;
    if (!outside && !mHitMask.empty()) {
        const int64_t x = static_cast<int64_t>(point.x) * mMaskWidth / width;
        const int64_t y = static_cast<int64_t>(point.y) * mMaskHeight / height;
        if (x >= mMaskWidth || y >= mMaskHeight) {
            outside = true;
        } else {
            const uint32_t pixel = mHitMask[static_cast<size_t>(y * mMaskWidth + x)];
            outside = (pixel & 0xFF) < kMaskThreshold && ((pixel >> 8) & 0xFF) < kMaskThreshold &&
                      ((pixel >> 16) & 0xFF) < kMaskThreshold;
        }
    }
    if (outside) {
        OnMouseLeave();
    }
    return outside;
}

bool TButton::RunCommand() {
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr) {
        return false;
    }
    TModalWindow* modal = GetModalParent();
    if ((mOptions & kClose) != 0 && modal != nullptr) {
        manager->PostMessage(new TMessage(TMessage::kCloseWindow, modal->GetIdText(), nullptr));
        if (TWindowScript* script = manager->GetWindowScript()) {
            script->SetGlobalString("gReturnValue", GetName());
        }
    }
    TWindow* target = GetParent();
    if ((mOptions & kSendToParent) != 0) {
        TModalWindow* top = manager->GetTopModal();
        target = top != nullptr ? top->GetParent() : nullptr;
    }
    auto message = std::make_unique<TMessage>(TMessage::kButtonPress, GetName(), target);
    if (!mAction) {
        manager->PostMessage(message.release());
        return false;
    }
    mAction->Run(this);
    const TWindow* root = manager->GetRootWindow();
    bool inTree = false;
    for (const TWindow* window = this; window != nullptr; window = window->GetParent()) {
        inTree = inTree || window == root;
    }
    if (inTree) {
        manager->PostMessage(message.release());
        return false;
    }
    if ((mOptions & kSendToParent) != 0) {
        manager->PostMessage(message.release());
    }
    return true;
}

bool TButton::Press() {
    if (IsEnabledToModalRoot() && mSounds[1]) {
        mSounds[1]->Play(false);
    }
    if (!RunCommand()) {
        if (GetType() == kRadio) {
            SetToggleState(true);
        } else if (GetType() == kToggle) {
            ToggleState();
        }
        TWindowManager* manager = GetWindowManager();
        TModalWindow* modal = GetModalParent();
        if (manager != nullptr && modal != nullptr && manager->GetTopModal() == modal) {
            return true;
        }
    }
    OnMouseLeave();
    return false;
}

bool TButton::OnMouseDown(const TPoint& point) {
    if (GetState() == kNormal) {
        if (TWindowManager* manager = GetWindowManager()) {
            manager->StartTracking(this);
        }
    }
    SetState(kPressed);
    IsOutside(point);
    return true;
}

bool TButton::OnMouseMove(const TPoint& point) {
    if (IsOutside(point)) {
        return false;
    }
    if (GetState() == kNormal) {
        SetState(kHover);
        if (TWindowManager* manager = GetWindowManager()) {
            manager->StartTracking(this);
        }
    }
    return true;
}

bool TButton::OnMouseUp(const TPoint& point) {
    if (GetState() == kNormal || IsOutside(point)) {
        return true;
    }
    if (GetState() == kPressed && !Press()) {
        return true;
    }
    if (IsEnabledToModalRoot()) {
        SetState(kHover);
    } else {
        OnMouseLeave();
    }
    return true;
}

bool TButton::OnMouseLeave() {
    if (GetState() != kNormal) {
        if (TWindowManager* manager = GetWindowManager()) {
            manager->StopTracking(this);
        }
        SetState(kNormal);
    }
    return true;
}

void TButton::Init(TWindowStyle& style) {
    TWindow::Init(style);
    const str sound = style.GetString("sound", str());
    const str rolloverSound = style.GetString("rolloversound", str());
    const str mask = style.GetString("mask", str());
    SetType(style.GetInt("type", kPush));
    const auto scale = static_cast<float>(style.GetNumber("scale", 1.0));
    uint32_t options = 0;
    if (style.GetBool("sendToParent", false)) {
        options |= kOptionSendToParent;
    }
    if (style.GetBool("beginGroup", false)) {
        options |= kOptionBeginGroup;
    }
    if (style.GetBool("close", false)) {
        options |= kClose;
    }
    if (style.GetBool("default", false)) {
        options |= kDefault;
    }
    if (style.GetBool("cancel", false)) {
        options |= kCancel;
    }
    SetOptions(options);
    if (style.GetBool("on", false)) {
        SetToggleState(true);
    }
    if (sound.Length() != 0) {
        LoadSound(1, sound);
    }
    if (rolloverSound.Length() != 0) {
        LoadSound(2, rolloverSound);
    }
    if (mask.Length() != 0) {
        SetHitMask(TTexture::Get(mask, 0));
    }

    if (std::unique_ptr<TLuaTable> graphics{style.GetTable("graphics")}) {
        const int count = GetType() == kPush ? 3 : 4;
        uint32_t flip = 0;
        if (style.GetBool("hflip", false)) {
            flip |= TImage::kFlipHorizontal;
        }
        if (style.GetBool("vflip", false)) {
            flip |= TImage::kFlipVertical;
        }
        const bool rotate = style.GetBool("rotate", false);
        TImage* previous = nullptr;
        for (int i = 0; i < count; ++i) {
            const str entry = graphics->GetStringAt(i + 1, str());
            if (entry.Length() != 0) {
                auto* image = new TImage;
                image->SetImage(TTexture::Get(entry, 0), scale);
                image->SetName(str::FromFormat("image%d", i));
                image->SetFlip(flip);
                image->SetRotated(rotate);
                previous = image;
                SelectLayer(i);
                if (!AddChild(image, true)) {
                    delete image;
                    previous = nullptr;
                }
            } else if (previous != nullptr) {
                // An empty entry shows the previous image in this state too; with no previous
                // image there is nothing to show.
                SelectLayer(i);
                AddChild(previous, true);
            }
        }
        FitToChildren();
    }

    if (TLuaFunction* command = style.GetFunction("command")) {
        SetAction(new LuaAction(command));
    }
    SelectLayer(kAllLayers);
}
