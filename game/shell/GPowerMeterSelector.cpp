#include "game/shell/GPowerMeterSelector.h"

#include "engine/script/lua/luanumber.h"
#include "engine/ui/text.h"
#include "engine/ui/windowstyle.h"
#include "game/common/GLogManager.h"
#include "game/common/LuaValues.h"
#include "game/common/StringTableText.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/StyleTemplate.h"
#include "game/world/GGameData.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GUpgradeData.h"

namespace {

constexpr char kSodaIcon[] = "buttons/powers/soda.png";
constexpr char kLockedIcon[] = "buttons/powers/locked.png";

void ShowPowerText(TWindow* root, const char* name, const str& text) {
    TWindow* window = root != nullptr ? root->FindChild(name, -1) : nullptr;
    if (window != nullptr && window->IsKindOf(TText::ClassId())) {
        static_cast<TText*>(window)->SetText(text);
    }
}

// The soda, or the power whose labels have the number.
void Offer(GPowerMeterButton* button, const char* icon, int number) {
    button->SetIcon(icon);
    button->SetEnabled(true);
    button->SetCaption(StringTableText(str::FromFormat("marivell_power_%d", number)));
    button->SetHint(StringTableText(str::FromFormat("marivell_power_%d_hint", number)));
}

// Whether the game data's power of the index is unlocked at the current level.
bool IsUnlocked(int index) {
    const GGameData* data = GLogicalManager::Instance().GetGameData();
    if (data == nullptr) {
        return false;
    }
    const str power = data->GetPowerName(index);
    if (power.Length() == 0) {
        return false;
    }
    const GUpgradeData* record = data->FindUpgrade(power, 0);
    return record != nullptr && data->GetCurrentLevelNumber() >= record->mLevel;
}

} // namespace

bool GPowerMeterButton::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TButton::IsKindOf(id);
}

TWindow* GPowerMeterButton::Create() {
    return new GPowerMeterButton;
}

void GPowerMeterButton::Init(TWindowStyle& style) {
    TButton::Init(style);
    const TRect rect = GetClientRect();
    mWidth = rect.right - rect.left;
    mHeight = rect.bottom - rect.top;
    mName = style.GetString("name", str());
}

bool GPowerMeterButton::OnMouseDown(const TPoint& point) {
    if (mEnabled != 0) {
        TButton::OnMouseDown(point);
    }
    return true;
}

bool GPowerMeterButton::OnMouseMove(const TPoint& point) {
    if (mEnabled == 0) {
        return true;
    }
    const bool result = TButton::OnMouseMove(point);
    TWindow* root = GetModalParent();
    ShowPowerText(root, "power_name", mCaption);
    ShowPowerText(root, "power_hint", mHint);
    return result;
}

void GPowerMeterButton::SetIcon(const str& image) {
    if (TScript* script = WindowScript()) {
        script->DoLuaString(str::FromFormat("SetPowerIconBitmap(%s, %s)",
                                            LuaStringLiteral(mName + "_icon").CStr(),
                                            LuaStringLiteral(image).CStr()));
    }
}

GPowerMeterSelector::GPowerMeterSelector() {
    mPublished = WindowScriptState();
    if (mPublished != nullptr) {
        LuaPublish(mPublished, "CPP_OnPowersInitComplete", this,
                   &GPowerMeterSelector::CPP_OnPowersInitComplete);
    }
}

GPowerMeterSelector::~GPowerMeterSelector() {
    WithdrawFromWindowScript(this, mPublished);
    mButtons.clear();
}

bool GPowerMeterSelector::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GPowerMeterSelector::Create() {
    return new GPowerMeterSelector;
}

void GPowerMeterSelector::Init(TWindowStyle& style) {
    TWindow::Init(style);
    mTemplate = style.GetString("button_template_name", str());
    mButtonCount = LuaNumberToInt(style.GetNumber("buttons_num", 0.0));
}

GPowerMeterButton* GPowerMeterSelector::FindButton(const str& name) {
    TWindow* root = GetModalParent();
    TWindow* window = (root != nullptr ? root : static_cast<TWindow*>(this))->FindChild(name, -1);
    return window != nullptr && window->IsKindOf(GPowerMeterButton::ClassId())
               ? static_cast<GPowerMeterButton*>(window)
               : nullptr;
}

void GPowerMeterSelector::CPP_OnPowersInitComplete() {
    mButtons.clear();
    if (mButtonCount > 0 && !IsNameTemplate(mTemplate.CStr())) {
        GLogRecord record;
        record.level = GLogManager::kWarning;
        record.module = "Powers";
        record.message = str::FromFormat(
            "GPowerMeterSelector: button_template_name %s does not hold one integer conversion; "
            "no buttons filled",
            mTemplate.CStr());
        record.sourceFile = ".\\GPowerMeterSelector.cpp";
        record.line = __LINE__;
        GetLogManager()->Write(record);
        return;
    }
    for (int i = 0; i < mButtonCount; ++i) {
        GPowerMeterButton* button = FindButton(FormatNameTemplate(mTemplate.CStr(), i));
        // A screen without the button: nothing to fill.
        if (button == nullptr) {
            continue;
        }
        if (i == 0) {
            Offer(button, kSodaIcon, 1);
        } else if (IsUnlocked(i)) {
            Offer(button, kSodaIcon, i + 1);
        } else {
            button->SetIcon(kLockedIcon);
        }
        mButtons.push_back(button);
    }
}
