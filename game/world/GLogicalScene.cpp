#include "game/world/GLogicalScene.h"

#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameData.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GMainHeroine.h"
#include "game/world/GStudent.h"
#include "game/world/ScriptCall.h"

#include <algorithm>

namespace {

// The continue-or-stop hooks and the entry numbers read like every Lua number the game reads.
int32_t Truncate(double value) {
    return LuaNumberToInt(value);
}

std::vector<str> ReadStrings(const TLuaTable* table) {
    std::vector<str> strings;
    if (table == nullptr) {
        return strings;
    }
    const int count = table->GetCount();
    for (int i = 1; i <= count; ++i) {
        if (table->PushFieldAt(i)) {
            lua_State* state = table->GetState();
            if (lua_type(state, -1) == LUA_TSTRING) {
                strings.push_back(LuaGetString(state, -1));
            }
            lua_pop(state, 1);
        }
    }
    return strings;
}

std::vector<int32_t> ReadNumbers(const TLuaTable* table) {
    std::vector<int32_t> numbers;
    if (table == nullptr) {
        return numbers;
    }
    const int count = table->GetCount();
    for (int i = 1; i <= count; ++i) {
        if (table->PushFieldAt(i)) {
            lua_State* state = table->GetState();
            if (lua_type(state, -1) == LUA_TNUMBER) {
                numbers.push_back(Truncate(lua_tonumber(state, -1)));
            }
            lua_pop(state, 1);
        }
    }
    return numbers;
}

} // namespace

GLogicalScene::GLogicalScene() = default;

GLogicalScene::~GLogicalScene() {
    *mLife = false;
}

template <typename... Args>
int GLogicalScene::CallHook(const str& hook, const Args&... args) {
    if (hook.Length() == 0) {
        return 1;
    }
    GLogicalManager::Instance().SetCurrentScene(this);
    return ScriptCallInt(mScript, hook, args...);
}

// The derived scenes call the hooks without arguments; an optimised build inlines every use here.
template int GLogicalScene::CallHook<>(const str& hook);

bool GLogicalScene::InitFromTable(const str& name, TScript* script, TLuaTable* table) {
    mScript = script;
    if (table == nullptr) {
        return false;
    }
    mName = name;
    mOnBegin = table->GetString("OnBegin");
    mOnEnd = table->GetString("OnEnd");
    mOnCreate = table->GetString("OnCreate");

    std::unique_ptr<TLuaTable> objects(table->GetTable("objects"));
    if (objects == nullptr) {
        return false;
    }
    const int objectCount = objects->GetCount();
    for (int i = 1; i <= objectCount; ++i) {
        std::unique_ptr<TLuaTable> element(objects->GetTableAt(i));
        if (element == nullptr) {
            continue;
        }
        GEntry entry;
        const str baseType = element->GetString("base_type");
        const str objectName = element->GetString("name");
        const str classType = element->GetString("class_type");
        if (baseType.Length() > 0) {
            entry.mKey = baseType;
        } else if (objectName.Length() > 0) {
            entry.mKind = kObjectName;
            entry.mKey = objectName;
        } else if (classType.Length() > 0) {
            entry.mKind = kClassType;
            entry.mKey = classType;
        } else {
            continue;
        }
        entry.mBlockOnBegin = Truncate(element->GetNumber("block_on_begin"));
        mEntries.push_back(entry);
        mObjects.push_back(nullptr);
    }

    std::unique_ptr<TLuaTable> stages(table->GetTable("stages"));
    if (stages == nullptr) {
        return false;
    }
    const int stageCount = stages->GetCount();
    for (int i = 1; i <= stageCount; ++i) {
        std::unique_ptr<TLuaTable> element(stages->GetTableAt(i));
        if (element == nullptr) {
            continue;
        }
        GStage stage;
        stage.mOnBegin = element->GetString("OnBegin");
        stage.mOnEnd = element->GetString("OnEnd");
        std::unique_ptr<TLuaTable> tasks(element->GetTable("tasks"));
        stage.mTasks = ReadStrings(tasks.get());
        std::unique_ptr<TLuaTable> mustFree(element->GetTable("must_free"));
        stage.mMustFree = ReadNumbers(mustFree.get());
        mStages.push_back(std::move(stage));
    }
    mWaitPersonage = table->GetNumber("wait_personage") != 0;
    return true;
}

void GLogicalScene::CopyDefinition(GLogicalScene& copy) const {
    copy.mEntries = mEntries;
    copy.mObjects.assign(mEntries.size(), nullptr);
    copy.mStages = mStages;
    copy.mScript = mScript;
    copy.mName = mName;
    copy.mOnCreate = mOnCreate;
    copy.mOnBegin = mOnBegin;
    copy.mOnEnd = mOnEnd;
    copy.mWaitPersonage = mWaitPersonage;
    copy.mWalkMode = mWalkMode;
}

GBaseLogicalScene* GLogicalScene::Clone(int number) const {
    GLogicalScene* copy = NewOfClass();
    CopyDefinition(*copy);
    copy->mNumber = number;
    return copy;
}

int GLogicalScene::AddObject(GGameObject* object) {
    if (object == nullptr) {
        return -1;
    }
    for (size_t i = 0; i < mEntries.size(); ++i) {
        if (mObjects[i] != nullptr) {
            continue;
        }
        const GEntry& entry = mEntries[i];
        bool matches = false;
        switch (entry.mKind) {
        case kClassType:
            matches = entry.mKey == str(object->GetClassName());
            break;
        case kObjectName:
            matches = entry.mKey == object->GetName();
            break;
        default:
            matches = entry.mKey == object->GetBaseType();
            break;
        }
        if (matches) {
            mObjects[i] = object;
            ++mFilledCount;
            return static_cast<int>(i);
        }
    }
    return -1;
}

int GLogicalScene::CanAccept(GGameObject* object, bool undo) {
    const int index = AddObject(object);
    if (index < 0) {
        return 0;
    }
    if (undo) {
        mObjects[static_cast<size_t>(index)] = nullptr;
        --mFilledCount;
    }
    return 1;
}

GGameObject* GLogicalScene::GetObject(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= mObjects.size()) {
        return nullptr;
    }
    return mObjects[static_cast<size_t>(index)];
}

int GLogicalScene::IndexOfObject(const GGameObject* object) const {
    if (object == nullptr) {
        return -1;
    }
    const auto found = std::find(mObjects.begin(), mObjects.end(), object);
    return found != mObjects.end() ? static_cast<int>(found - mObjects.begin()) : -1;
}

bool GLogicalScene::IsFull() const {
    return static_cast<size_t>(std::max(mFilledCount, 0)) >= mEntries.size();
}

void GLogicalScene::ClearObjects() {
    std::fill(mObjects.begin(), mObjects.end(), nullptr);
    mFilledCount = 0;
}

void GLogicalScene::ForgetObject(const GGameObject* object) {
    if (object == nullptr) {
        return;
    }
    std::replace(mObjects.begin(), mObjects.end(), const_cast<GGameObject*>(object),
                 static_cast<GGameObject*>(nullptr));
}

GGameObject* GLogicalScene::GetStudent() const {
    for (GGameObject* object : mObjects) {
        if (object != nullptr && object->IsStudent()) {
            return object;
        }
    }
    return nullptr;
}

int GLogicalScene::ShowNumbers(int number) {
    int sum = 0;
    for (GGameObject* object : mObjects) {
        if (object != nullptr) {
            sum += object->ShowNumber(number);
        }
    }
    return sum;
}

bool GLogicalScene::OnLink(GGameObject* object, GGameObject* target) {
    GGameObject* oldHolder = object != nullptr ? object->GetHolder() : nullptr;
    if (object != nullptr && target != nullptr && target->CanHold()) {
        target->TakeObject(object);
    }
    if (oldHolder != nullptr && GLogicalManager::IsPreparationQueue(oldHolder)) {
        GLogicalManager::Instance().CompactPreparationQueues();
    }
    AddObject(object);
    if (target != nullptr) {
        AddObject(target);
    }
    return true;
}

int GLogicalScene::RunOnCreate() {
    const int result = CallHook(mOnCreate);
    if (!mStages.empty() && result != 0) {
        return result;
    }
    Close();
    return 0;
}

int GLogicalScene::Create() {
    for (size_t i = 0; i < mObjects.size(); ++i) {
        GGameObject* object = mObjects[i];
        if (object == nullptr) {
            continue;
        }
        if (mEntries[i].mBlockOnBegin != 0) {
            object->SetMouseEnabled(false);
            object->SetLocked(true);
        } else {
            object->Block(mName);
        }
    }
    return RunOnCreate();
}

int GLogicalScene::BeginIfFull() {
    return IsFull() ? Begin() : 0;
}

int GLogicalScene::Begin() {
    if (mUseCount > 0) {
        mDeferredAction = 2;
        return 1;
    }
    GiveCombo();
    for (size_t i = 0; i < mObjects.size(); ++i) {
        if (mObjects[i] != nullptr && mEntries[i].mBlockOnBegin > 0) {
            mObjects[i]->Block(mName);
        }
    }
    const int result = CallHook(mOnBegin);
    if (!mStages.empty() && result != 0) {
        mStageIndex = 0;
        return BeginStage();
    }
    Close();
    return 0;
}

void GLogicalScene::GiveCombo() {
    GGameData* data = GLogicalManager::Instance().GetGameData();
    if (data == nullptr) {
        return;
    }
    for (GGameObject* object : mObjects) {
        if (auto* girl = dynamic_cast<GStudent*>(object)) {
            str group;
            const int count = data->IsInComboList(mName, &group);
            girl->SetCombo(count, group);
            return;
        }
    }
}

int GLogicalScene::BeginStage() {
    if (mUseCount > 0) {
        mDeferredAction = 1;
        return 1;
    }
    return RunStage();
}

int GLogicalScene::RunStage() {
    if (mStageIndex < 0 || static_cast<size_t>(mStageIndex) >= mStages.size()) {
        return 0;
    }
    mPendingTasks = 0;
    const GStage& stage = mStages[static_cast<size_t>(mStageIndex)];
    if (stage.mOnBegin.Length() > 0 && CallHook(stage.mOnBegin, mStageIndex) == 0) {
        CallHook(stage.mOnEnd, mStageIndex);
        Close();
        return 0;
    }
    // Hooks and task starts may end the scene: the stage is read from a copy and the scene's
    // life is checked after each call that can reach it.
    const std::shared_ptr<bool> life = Life();
    const std::vector<str> tasks = stage.mTasks;
    for (size_t i = 0; i < tasks.size() && i < mObjects.size(); ++i) {
        GGameObject* object = mObjects[i];
        const str& task = tasks[i];
        if (task.Length() == 0 || object == nullptr) {
            continue;
        }
        int added = 0;
        if (task[0] == '@') {
            added = object->WalkTo(mName, task.Substr(1), this, mHold);
        } else {
            added = object->AddTask(task, this, false);
        }
        if (!*life) {
            return 0;
        }
        if (added >= 1) {
            ++mPendingTasks;
        }
    }
    const std::vector<GGameObject*> objects = mObjects;
    for (GGameObject* object : objects) {
        if (object != nullptr) {
            object->StartCurrentTask();
            if (!*life) {
                return 0;
            }
        }
    }
    return 1;
}

int GLogicalScene::OnTaskEnd(GGameObject* object, int /*reason*/) {
    if (mPendingTasks > 0) {
        --mPendingTasks;
    }
    if (mStageIndex >= 0 && static_cast<size_t>(mStageIndex) < mStages.size() &&
        !mStages[static_cast<size_t>(mStageIndex)].mMustFree.empty()) {
        const int index = IndexOfObject(object);
        if (index >= 0 && !FreeEntry(index)) {
            return 0;
        }
    }
    if (mPendingTasks <= 0) {
        EndStage();
    }
    return 0;
}

void GLogicalScene::FinishStage() {
    if (mPendingTasks > 0) {
        return;
    }
    if (mStageIndex >= 0 && static_cast<size_t>(mStageIndex) < mStages.size()) {
        const std::vector<int32_t> mustFree = mStages[static_cast<size_t>(mStageIndex)].mMustFree;
        for (int32_t index : mustFree) {
            if (!FreeEntry(index)) {
                return;
            }
        }
    }
    EndStage();
}

bool GLogicalScene::FreeEntry(int index) {
    GGameObject* object = GetObject(index);
    if (object == nullptr) {
        return true;
    }
    object->Unblock(mName);
    // The personage let go may start a power that takes this scene's girl and the scene with her.
    const std::shared_ptr<bool> life = Life();
    GLogicalManager::Instance().ReleaseFromScene(this, object, true);
    if (!*life) {
        return false;
    }
    mObjects[static_cast<size_t>(index)] = nullptr;
    return true;
}

void GLogicalScene::EndStage() {
    const str hook = static_cast<size_t>(mStageIndex) < mStages.size() && mStageIndex >= 0
                         ? mStages[static_cast<size_t>(mStageIndex)].mOnEnd
                         : str();
    const int result = CallHook(hook, mStageIndex);
    if (mStageIndex < static_cast<int>(mStages.size()) - 1 && result != 0) {
        ++mStageIndex;
        BeginStage();
    } else {
        Close();
    }
}

bool GLogicalScene::HasNextStage() const {
    return mStageIndex < static_cast<int>(mStages.size()) - 1;
}

int GLogicalScene::Retain() {
    return ++mUseCount;
}

int GLogicalScene::Release() {
    if (mUseCount <= 0) {
        return mUseCount;
    }
    if (--mUseCount > 0) {
        return mUseCount;
    }
    const int action = mDeferredAction;
    mDeferredAction = 0;
    if (action == 2) {
        Begin();
    } else if (action == 1) {
        BeginStage();
    }
    // The scene may have ended meanwhile: the count it had is the answer.
    return 0;
}

bool GLogicalScene::ReleaseObjects(int except, bool unblock) {
    GLogicalManager& manager = GLogicalManager::Instance();
    const std::shared_ptr<bool> life = Life();
    const std::vector<GGameObject*> objects = mObjects;
    for (size_t i = 0; i < objects.size(); ++i) {
        if (!*life) {
            return false;
        }
        if (objects[i] == nullptr || static_cast<int>(i) == except) {
            continue;
        }
        if (unblock) {
            objects[i]->Unblock(mName);
        }
        manager.ReleaseFromScene(this, objects[i], true);
    }
    return *life;
}

int GLogicalScene::FinishEnd() {
    CallHook(mOnEnd);
    GLogicalManager::Instance().DestroyScene(this);
    return 1;
}

int GLogicalScene::End() {
    // A power started by a personage let go may have destroyed the scene already.
    if (!ReleaseObjects(-1, true)) {
        return 1;
    }
    return FinishEnd();
}

int GLogicalScene::StopTasks() {
    ShowNumbers(0);
    std::vector<GBaseSimpleTask*> tasks;
    tasks.swap(mTasks);
    const bool detach = !GLogicalManager::Instance().IsClosing();
    for (GBaseSimpleTask* task : tasks) {
        task->ClearListener();
    }
    for (GBaseSimpleTask* task : tasks) {
        const int state = task->GetState();
        if ((state == GBaseSimpleTask::kRunning || state == GBaseSimpleTask::kResumed) &&
            task->Finish(detach) != 0) {
            continue;
        }
        if (task->RemoveFromObject() == 0) {
            // A task no object holds is ours to destroy.
            task->Destroy(detach);
        }
    }
    return 1;
}

int GLogicalScene::StopAndClose() {
    StopTasks();
    return Close();
}

int GLogicalScene::CalcPath(GGameObject* object, int /*mode*/) {
    const int index = CallHook(str("OnCalcPath"), mName);
    GGameObject* target = GetObject(index);
    if (index < 0 || target == nullptr) {
        return 0;
    }
    return GLogicalManager::Instance().WalkToEntry(object, target, GetWalkMode()) ? 1 : 0;
}

void GLogicalScene::OnDialogResult(int entry, int result, int poiseFactor) {
    mDialogResult = result;
    mDialogPoiseFactor = poiseFactor;
    if (GGameObject* object = GetObject(entry)) {
        object->GetScript().DoLuaString(str::FromFormat(
            "scenes_used_dialog.%s=1;user_dialog_result=%d;user_dialog_poisekoef=%d;", mName.CStr(),
            result, poiseFactor));
    }
}

void GLogicalScene::OnChooseResult(int kind, int /*value*/) {
    GLogicalManager& manager = GLogicalManager::Instance();
    if (kind != 1) {
        manager.UsePower(kind);
    } else if (auto* heroine = dynamic_cast<GMainHeroine*>(manager.GetHeroine())) {
        heroine->UseSpeedPower(1);
    }
}
