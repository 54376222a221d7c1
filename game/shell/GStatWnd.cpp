#include "game/shell/GStatWnd.h"

#include "engine/core/random.h"
#include "engine/script/lua/luanumber.h"
#include "engine/ui/text.h"
#include "engine/ui/windowstyle.h"
#include "game/common/StringTableText.h"
#include "game/common/WindowKind.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GAwardWnd.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVObject.h"
#include "game/world/GGirlLook.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GSeparateLayer.h"
#include "game/world/GameRandom.h"
#include "game/world/ScriptCall.h"

#include <iterator>

GStatWnd::GStatWnd() = default;

GStatWnd::~GStatWnd() {
    mGirl.reset();
}

bool GStatWnd::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GStatWnd::Create() {
    return new GStatWnd;
}

str GStatWnd::DrawLevelType() {
    GLevel* level = GLogicalManager::Instance().GetLevel();
    if (level == nullptr || level->GetGirlTypes().empty()) {
        return str();
    }
    const std::set<str>& types = level->GetGirlTypes();
    const int index = RandomIntRange(GameRandom(), 0, static_cast<int>(types.size()) - 1);
    return *std::next(types.begin(), index);
}

void GStatWnd::PostCreate(TWindowStyle& style) {
    TWindow::PostCreate(style);
    const auto girlX = static_cast<float>(style.GetNumber("girl_x", 0.0));
    const auto girlY = static_cast<float>(style.GetNumber("girl_y", 0.0));
    mTypeName = DrawLevelType();
    if (mTypeName.Length() == 0) {
        const int pick = LuaNumberToInt(RandomUnitReal(GameRandom()) * 8.0);
        mTypeName = kBuiltInTypes[std::min(pick, 7)];
    }

    mGirlsLayer = FindKind<GSeparateLayer>(this, "girls_layer");
    if (mGirlsLayer != nullptr) {
        GVFactory::Instance().SetCurrentLayer(mGirlsLayer->GetLayer());
        mGirl.reset(GVFactory::Instance().CreateByPath(mTypeName, true));
        if (mGirl != nullptr) {
            mGirl->mDeltaX = girlX;
            mGirl->mDeltaY = girlY;
            mGirl->MarkChanged();
        }
        GGirlLook look;
        look.Clear();
        look.mNumbers.mHair = 100;
        look.mNumbers.mBody = 100;
        look.mNumbers.mMakeup = 100;
        for (const char* state : {"stay_right", "lips_happy_01", "girl_invisible", "poise_hide"}) {
            GAwardWnd::ApplyLook(mGirl.get(), state, &look);
        }
    }

    if (auto* say = FindKind<TText>(this, "girl_say_text")) {
        const int count = ScriptCallInt(WindowScript(), "GetSayMaxIndex", mTypeName);
        const int line = RandomIntRange(GameRandom(), 1, count);
        say->SetText(StringTableText(str::FromFormat("%s_say_text_%d", mTypeName.CStr(), line)));
    }
}
