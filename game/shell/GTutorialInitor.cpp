#include "game/shell/GTutorialInitor.h"

#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "game/shell/GTutorialProcessor.h"
#include "game/shell/GTutorialRun.h"
#include "game/world/ErrorBox.h"
#include "game/world/GGameObject.h"
#include "game/world/GTutorialFilter.h"

GTutorialInitor::GTutorialInitor() = default;
GTutorialInitor::~GTutorialInitor() = default;

bool GTutorialInitor::Load(TLuaTable* table, GTutorialRun* owner) {
    if (!GTutorialComponent::Load(table, owner)) {
        return false;
    }
    mId = table->GetString("id");
    ReadTutorialPos(*table, "pos", mX, mY);
    if (table->PushField("wish")) {
        lua_pop(table->GetState(), 1);
        mWish = table->GetString("wish");
        mHasWish = true;
    }
    if (table->PushField("action")) {
        lua_pop(table->GetState(), 1);
        mAction = table->GetString("action");
        mHasAction = true;
    }
    mWaitCreating = table->GetNumber("wait_creating") != 0 && mId.Length() != 0;
    // Each name is a link slot of this initor and a request of the processor.
    GTutorialProcessor* processor = owner->GetProcessor();
    const str dependence = table->GetString("dependence");
    const str waitTutorial = table->GetString("wait_tutorial");
    for (auto [name, slot] :
         {std::pair{dependence, &mDependence}, {waitTutorial, &mWaitTutorial}}) {
        if (name.Length() != 0) {
            owner->AddLinkSlot(name, slot);
            processor->RequestLink(name, owner);
        }
    }
    mCounter = LuaNumberToInt(table->GetNumber("counter"));
    mRemaining = mCounter;
    mIsWork.reset(table->GetFunction("isWork"));
    mNotDisabled = table->GetNumber("not_disabled") != 0;
    if (mHasWish || mHasAction || mWaitCreating) {
        return true;
    }
    if (dependence.Length() != 0 || waitTutorial.Length() != 0) {
        const str text = str("Initor \xD0\xB4\xD0\xBB\xD1\x8F \xD1\x82\xD1\x83\xD1\x82\xD0\xBE"
                             "\xD1\x80\xD0\xB8\xD0\xB0\xD0\xBB\xD0\xB0 '") +
                         owner->GetName() +
                         str("' \xD0\xBD\xD0\xB5 \xD1\x81\xD0\xBE\xD0\xB7\xD0\xB4\xD0\xB0\xD0\xBD"
                             "(\xD0\xBD\xD0\xB5 \xD1\x83\xD0\xBA\xD0\xB0\xD0\xB7\xD0\xB0\xD0\xBD"
                             "\xD1\x8B \xD0\xBD\xD0\xB5\xD0\xBE\xD0\xB1\xD1\x85\xD0\xBE\xD0\xB4"
                             "\xD0\xB8\xD0\xBC\xD1\x8B\xD0\xB5 \xD0\xBF\xD0\xB0\xD1\x80\xD0\xB0"
                             "\xD0\xBC\xD0\xB5\xD1\x82\xD1\x80\xD1\x8B)");
        ShowErrorBox(text.CStr());
    }
    return false;
}

bool GTutorialInitor::Accepts(GGameObject* object) {
    if (object == nullptr) {
        return false;
    }
    if (mId.Length() != 0 && !(mId == object->GetName())) {
        return false;
    }
    if (!IsAtTutorialPos(*object, mX, mY)) {
        return false;
    }
    if (mDependence != nullptr && !mDependence->IsFinished()) {
        return false;
    }
    if (mRemaining > 0) {
        --mRemaining;
        return false;
    }
    if (mOwner->IsFinished()) {
        return false;
    }
    if (mIsWork == nullptr) {
        return true;
    }
    lua_State* state = mIsWork->GetState();
    const int top = lua_gettop(state);
    const bool works =
        mIsWork->CallWithAlert() == 0 && lua_gettop(state) > top && lua_toboolean(state, -1) != 0;
    lua_settop(state, top);
    return works;
}
