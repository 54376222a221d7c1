#include "game/world/GObjectFactory.h"

#include "engine/script/luawrapper.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GMovingTask.h"
#include "game/world/GSimpleTask.h"

GObjectFactory& GObjectFactory::Instance() {
    static GObjectFactory factory;
    return factory;
}

int GObjectFactory::NextClassId() {
    static int counter = 0;
    return ++counter;
}

GObjectFactory::~GObjectFactory() {
    Clear(true, true);
}

bool GObjectFactory::RegisterObjectCreator(const str& className, TObjectCreator creator) {
    mObjectCreators.emplace(className, creator);
    return true;
}

GGameObject* GObjectFactory::CreateObject(const str& name, TLuaTable* typeTable,
                                          TLuaTable* instanceData) {
    auto found = mObjectPrototypes.find(name);
    if (found == mObjectPrototypes.end()) {
        if (typeTable == nullptr) {
            return nullptr;
        }
        const auto creator = mObjectCreators.find(typeTable->GetString("class_name"));
        if (creator == mObjectCreators.end()) {
            return nullptr;
        }
        std::unique_ptr<GGameObject> prototype(creator->second());
        if (prototype == nullptr || !prototype->InitFromTable(typeTable, instanceData)) {
            return nullptr;
        }
        found =
            mObjectPrototypes
                .emplace(name,
                         std::make_unique<ProductCreator<GGameObject>>(prototype.release(), name))
                .first;
    }
    return found->second->MakeProduct(name);
}

GBaseSimpleTask* GObjectFactory::CreateTask(GTaskData& data, GBaseLogicalScene* listener) {
    GBaseSimpleTask* task = nullptr;
    switch (data.mSubType) {
    case 0:
        task = new GSimpleTask;
        break;
    case 1:
        task = new GMovingTask;
        break;
    default:
        return nullptr;
    }
    data.mTaskId = ++mTaskCounter;
    if (!task->Init(data, listener)) {
        task->Destroy(!GLogicalManager::Instance().IsClosing());
        return nullptr;
    }
    return task;
}

void GObjectFactory::Clear(bool /*deleteGameData*/, bool /*deleteScenePrototypes*/) {
    mObjectPrototypes.clear();
}

// The game-object classes, in the order their ids are taken. Registered here, beside the
// registry: a unit that only registered itself would be dropped from the static library.
int GGameObject::sClassId = GObjectFactory::NextClassId();

namespace {

template <class Object>
GGameObject* CreateGameObject() {
    return new Object;
}

const bool gGameObjectRegistered =
    GObjectFactory::Instance().RegisterObjectCreator("GGameObject", &CreateGameObject<GGameObject>);

} // namespace
