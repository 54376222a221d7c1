// The logical manager's scenes: the scene script and its file, the live scenes from creation to
// destruction, and what scenes ask of the manager while they run.
#include "engine/core/random.h"
#include "engine/script/lua/lualib.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "game/common/GLogManager.h"
#include "game/common/WindowScriptState.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GPersonage.h"
#include "game/world/GameRandom.h"
#include "game/world/ScriptCall.h"

#include <algorithm>

namespace {

void LogScene(const char* format, const str& scene, int line) {
    GLogRecord record;
    record.level = GLogManager::kDebug;
    record.module = "Logical";
    record.message = str::FromFormat(format, scene.CStr());
    record.sourceFile = ".\\GLogicalManager.cpp";
    record.line = line;
    GetLogManager()->Write(record);
}

} // namespace

GLogicalManager::~GLogicalManager() {
    DeleteScenes();
    DeleteDroppedScenes();
    WithdrawFromWindowScript(this, mPublishedState);
    mSceneScript.reset();
    mTutorialProcessor.reset();
}

void GLogicalManager::DeleteScenes() {
    std::vector<GBaseLogicalScene*> scenes;
    scenes.swap(mLiveScenes);
    mCurrentScene = nullptr;
    for (GBaseLogicalScene* scene : scenes) {
        ForgetDialogScene(scene);
        delete scene;
    }
    mEventDispatcher.Clear();
}

void GLogicalManager::LoadScenes(const str& file) {
    DeleteScenes();
    // The prototypes run their hooks in the script that goes now: kept, they would call into a
    // freed state, and a name defined again would hand back a copy nobody owns.
    GObjectFactory::Instance().Clear(false, true);
    mSceneScript.reset();
    mSceneFile = file;
    mSceneScript = std::make_unique<TScript>();
    lua_State* state = mSceneScript->GetState();
    luaopen_math(state);
    lua_settop(state, 0);
    RegisterLuaFunctions(state);
    if (lua_State* mainState = WindowScriptState()) {
        RegisterLuaFunctions(mainState);
        mPublishedState = mainState;
    }
    mSceneScript->RunScript(file);
    std::unique_ptr<TLuaTable> scenes(mSceneScript->GetGlobalTable("scenes"));
    if (scenes == nullptr) {
        return;
    }
    TLuaObjectWrapper* key = nullptr;
    while (true) {
        std::unique_ptr<TLuaObjectWrapper> value(scenes->Next(&key));
        if (value == nullptr || key == nullptr) {
            break;
        }
        if (!value->IsTable()) {
            continue;
        }
        value->Push();
        TLuaTable definition(value->GetState());
        // The factory keeps the prototype; what it answers here is that prototype.
        GObjectFactory::Instance().GetScene(key->ToString(), &definition);
    }
    delete key;
}

bool GLogicalManager::IsLiveScene(const GBaseLogicalScene* scene) const {
    return scene != nullptr &&
           std::find(mLiveScenes.begin(), mLiveScenes.end(), scene) != mLiveScenes.end();
}

GBaseLogicalScene* GLogicalManager::CreateScene(const str& name, GGameObject* object,
                                                GGameObject* target, bool beginWhenFull,
                                                bool keepState) {
    bool made = false;
    return MakeScene(name, object, target, beginWhenFull, keepState, made);
}

GBaseLogicalScene* GLogicalManager::MakeScene(const str& name, GGameObject* object,
                                              GGameObject* target, bool beginWhenFull,
                                              bool keepState, bool& made) {
    made = false;
    if (!keepState) {
        SetGameState(2);
    }
    GBaseLogicalScene* scene = GObjectFactory::Instance().GetScene(name, nullptr);
    if (scene == nullptr) {
        return nullptr;
    }
    LogScene("scene %s created!", scene->GetName(), 287);
    if (!scene->OnLink(object, target)) {
        delete scene;
        return nullptr;
    }
    mLiveScenes.push_back(scene);
    made = true;
    // A scene that closes itself while it is created or begun is gone: nothing may reach it.
    if (scene->Create() == 0 || !IsLiveScene(scene)) {
        return nullptr;
    }
    if (beginWhenFull && scene->IsFull()) {
        scene->BeginIfFull();
        if (!IsLiveScene(scene)) {
            return nullptr;
        }
    }
    return scene;
}

void GLogicalManager::DestroyScene(GBaseLogicalScene* scene) {
    const auto found = std::find(mLiveScenes.begin(), mLiveScenes.end(), scene);
    if (found == mLiveScenes.end()) {
        return;
    }
    LogScene("scene %s destroyed!", scene->GetName(), 416);
    mLiveScenes.erase(found);
    if (mCurrentScene == scene) {
        mCurrentScene = nullptr;
    }
    ForgetDialogScene(scene);
    if (auto* listener = dynamic_cast<GEventSceneListener*>(scene)) {
        mEventDispatcher.RemoveListenerEverywhere(listener);
    }
    delete scene;
}

bool GLogicalManager::StopScenesOf(GGameObject* object) {
    std::vector<GBaseLogicalScene*> scenes;
    for (GBaseLogicalScene* scene : mLiveScenes) {
        if (scene->IndexOfObject(object) >= 0) {
            scenes.push_back(scene);
        }
    }
    for (GBaseLogicalScene* scene : scenes) {
        // Stopping one scene may end another.
        if (IsLiveScene(scene)) {
            scene->StopAndClose();
        }
    }
    return !scenes.empty();
}

void GLogicalManager::ReleaseFromScene(GBaseLogicalScene* scene, GGameObject* object,
                                       bool reenable) {
    if (object == nullptr) {
        return;
    }
    if (reenable && mGameState != 3 && object->HasPendingTask(false)) {
        object->SetMouseEnabled(true);
    }
    // A power that starts here may destroy the scene: its name is taken first.
    const str name = scene != nullptr ? scene->GetName() : str();
    if (scene != nullptr && object->IsKindOf(GPersonage::sClassId)) {
        OnPowerSceneEvent(object, scene->GetNumber());
    }
    object->OnSceneEnd(name);
}

bool GLogicalManager::WalkToEntry(GGameObject* object, GGameObject* target, bool landing) {
    if (object == nullptr || target == nullptr) {
        return false;
    }
    GPathPoints* path = object->GetPathData();
    if (path == nullptr) {
        return false;
    }
    const TVec2 goal = landing ? target->GetLandingPoint() : target->GetApproachPoint(object);
    mPathGrid.PlanPath(object->GetPosition(), goal, *path);
    return !path->empty();
}

void GLogicalManager::ForgetObject(GGameObject* object) {
    if (object == nullptr) {
        return;
    }
    if (GGameObject* holder = object->GetHolder()) {
        if (holder->GetOccupant() == object) {
            holder->SetOccupant(nullptr);
        }
        object->SetHolder(nullptr);
    }
    for (GBaseLogicalScene* scene : mLiveScenes) {
        scene->ForgetObject(object);
    }
    ForgetInRow(object);
    if (mCarriedObject == object) {
        mCarriedObject = nullptr;
    }
    // A buy dialog still open for it must buy nothing when it ends.
    if (mPendingUpgrade == object) {
        mPendingUpgrade = nullptr;
    }
    ForgetPowerObject(object);
    if (mTutorialProcessor != nullptr) {
        mTutorialProcessor->ForgetObject(object);
    }
}

bool GLogicalManager::IsPreparationQueue(const GGameObject* object) {
    return object != nullptr && str(object->GetClassName()) == str("GPreparationQueue");
}

bool GLogicalManager::IsPacifier(const GGameObject* object) {
    return object != nullptr && str(object->GetClassName()) == str("GPacifierObject");
}

void GLogicalManager::CompactPreparationQueues() {
    CloseUp(mPreparationQueues);
}

int GLogicalManager::CloseUp(const std::vector<GGameObject*>& holders) {
    int moved = 0;
    size_t free = 0;
    for (size_t k = 0; k < holders.size(); ++k) {
        GGameObject* occupant = holders[k]->GetOccupant();
        if (occupant == nullptr) {
            continue;
        }
        if (free < k && holders[free]->TakeObject(occupant) != 0) {
            ++moved;
            ++free;
        } else {
            // Kept where it is: the next free holder can only come after it.
            free = k + 1;
        }
    }
    return moved;
}

int GLogicalManager::GetChoiceIndex(const str& girlType, const str& scene) {
    TScript* script = mSceneScript.get();
    const int low = ScriptCallInt(script, "GetMinChoiceIndex", girlType, scene);
    const int high = ScriptCallInt(script, "GetMaxChoiceIndex", girlType, scene);
    if (low > 0 && high > 0) {
        const double span = static_cast<double>(high) - low + 1.0;
        return low + LuaNumberToInt(RandomUnitReal(GameRandom()) * span);
    }
    return high != 0 ? 1 : 0;
}
