#include "game/shell/GTutorialCloseTriger.h"

#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "engine/system/platform.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GTutorialProcessor.h"
#include "game/shell/GTutorialRun.h"
#include "game/world/GGameObject.h"

#include <memory>

namespace {

// The names of a string or of an array of strings, in array order.
std::set<str> ReadNames(TLuaTable& list, double index) {
    std::set<str> names;
    std::unique_ptr<TLuaTable> inner(list.GetTableAt(index));
    if (inner == nullptr) {
        names.insert(list.GetStringAt(index));
        return names;
    }
    const int count = inner->GetCount();
    for (int i = 1; i <= count; ++i) {
        names.insert(inner->GetStringAt(i));
    }
    return names;
}

} // namespace

bool GTutorialCloseTriger::Load(TLuaTable* table, GTutorialRun* owner) {
    if (!GTutorialComponent::Load(table, owner)) {
        return false;
    }
    mTimer = LuaNumberToInt(table->GetNumber("timer"));
    mButton = table->GetString("button");
    if (std::unique_ptr<TLuaTable> actions{table->GetTable("action")}) {
        // Expected from the last element to the first.
        for (int i = actions->GetCount(); i >= 1; --i) {
            mActionNames.push_back(actions->GetStringAt(i));
        }
    } else if (table->PushField("action")) {
        lua_pop(table->GetState(), 1);
        mActionNames.push_back(table->GetString("action"));
    }
    if (std::unique_ptr<TLuaTable> clicks{table->GetTable("click")}) {
        const int count = clicks->GetCount();
        for (int i = 1; i <= count; ++i) {
            mClickSteps.push_back(ReadNames(*clicks, i));
        }
    } else if (table->PushField("click")) {
        lua_pop(table->GetState(), 1);
        mClickSteps.push_back({table->GetString("click")});
    }
    return mTimer != 0 || HasButton() || !mActionNames.empty() || !mClickSteps.empty();
}

void GTutorialCloseTriger::OnClick() {
    new GAdjournLuaCommand("StopTutorial(false);", WindowScript());
}

void GTutorialCloseTriger::Start() {
    mStartTime = TPlatform::GetTime();
    mClickIndex = 0;
    mActionIndex = 0;
}

void GTutorialCloseTriger::FinishTutorial() {
    if (mOwner != nullptr) {
        mOwner->Finish(false);
    }
}

void GTutorialCloseTriger::OnObjectClick(GGameObject* object) {
    if (object == nullptr || mClickSteps.empty() ||
        mClickIndex >= static_cast<int>(mClickSteps.size())) {
        return;
    }
    if (mClickSteps[static_cast<size_t>(mClickIndex)].count(object->GetName()) == 0) {
        return;
    }
    if (++mClickIndex == static_cast<int>(mClickSteps.size())) {
        FinishTutorial();
    }
}

void GTutorialCloseTriger::OnEvent(GGameObject* object, const str& name) {
    if (object == nullptr || mActionNames.empty() ||
        mActionIndex >= static_cast<int>(mActionNames.size())) {
        return;
    }
    if (!(mActionNames[static_cast<size_t>(mActionIndex)] == name)) {
        return;
    }
    if (++mActionIndex == static_cast<int>(mActionNames.size())) {
        FinishTutorial();
    }
}

bool GTutorialCloseTriger::IsTimeUp(uint32_t now) const {
    return mTimer != 0 &&
           static_cast<int32_t>(now - (mStartTime + static_cast<uint32_t>(mTimer))) >= 0;
}
