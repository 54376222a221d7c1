#include "game/shell/GSelectMenuChild.h"

#include "engine/ui/windowstyle.h"
#include "game/common/WindowKind.h"
#include "game/shell/GSelectMenu.h"

GSelectMenuChild::GSelectMenuChild() = default;

GSelectMenuChild::~GSelectMenuChild() = default;

bool GSelectMenuChild::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TButton::IsKindOf(id);
}

TWindow* GSelectMenuChild::Create() {
    return new GSelectMenuChild;
}

void GSelectMenuChild::Init(TWindowStyle& style) {
    TButton::Init(style);
    mWidth = GetRect().right - GetRect().left;
    mHeight = GetRect().bottom - GetRect().top;
    mName = style.GetString("name", str());
    mCharPartId = style.GetInt("char_part_id", 0);
    mDelayClick = style.GetInt("delay_click", 0);
}

bool GSelectMenuChild::OnMouseDown(const TPoint& point) {
    if (mClickDelayCount <= 0) {
        TButton::OnMouseDown(point);
    }
    return true;
}

bool GSelectMenuChild::OnMouseUp(const TPoint& point) {
    if (mClickDelayCount <= 0) {
        TButton::OnMouseUp(point);
    }
    return true;
}

bool GSelectMenuChild::OnMouseMove(const TPoint& point) {
    const bool handled = TButton::OnMouseMove(point);
    // The menu this child was added to; the child may have left it meanwhile.
    if (auto* menu = AsKind<GSelectMenu>(GetParent())) {
        menu->ShowChildHover(this);
    }
    return handled;
}

int GSelectMenuChild::CountDown() {
    if (mClickDelayCount > 0) {
        --mClickDelayCount;
    }
    return mClickDelayCount;
}
