#include "game/world/GObjectFactory.h"

#include "engine/script/luawrapper.h"
#include "game/common/GLogManager.h"
#include "game/visual/GVFactory.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameData.h"
#include "game/world/GGameObject.h"
#include "game/world/GInDoor.h"
#include "game/world/GJudgingQueue.h"
#include "game/world/GJudgingScene.h"
#include "game/world/GJudgingSceneDoor.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalScene.h"
#include "game/world/GMainHeroine.h"
#include "game/world/GMarivellPowerMeter.h"
#include "game/world/GMovingTask.h"
#include "game/world/GPacifierContainer.h"
#include "game/world/GPacifierObject.h"
#include "game/world/GPacifierScene.h"
#include "game/world/GPreparationQueue.h"
#include "game/world/GQueueLogicalScene.h"
#include "game/world/GSeat.h"
#include "game/world/GSimpleTask.h"
#include "game/world/GStatistics.h"
#include "game/world/GStudent.h"
#include "game/world/GStudentUpgrade.h"
#include "game/world/GTouchUpScene.h"

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

bool GObjectFactory::RegisterSceneCreator(const str& className, TSceneCreator creator) {
    mSceneCreators.emplace(className, creator);
    return true;
}

GBaseLogicalScene* GObjectFactory::GetScene(const str& name, TLuaTable* definition) {
    const auto found = mScenePrototypes.find(name);
    if (found != mScenePrototypes.end()) {
        return found->second->Clone(++mSceneCounter);
    }
    TScript* script = GLogicalManager::Instance().GetSceneScript();
    if (definition == nullptr || script == nullptr) {
        return nullptr;
    }
    const auto creator = mSceneCreators.find(definition->GetString("class_name"));
    if (creator == mSceneCreators.end()) {
        return nullptr;
    }
    std::unique_ptr<GBaseLogicalScene> prototype(creator->second());
    if (prototype == nullptr || !prototype->InitFromTable(name, script, definition)) {
        return nullptr;
    }
    GBaseLogicalScene* kept = prototype.get();
    mScenePrototypes[name] = std::move(prototype);
    return kept;
}

GBaseLogicalScene* GObjectFactory::FindScenePrototype(const str& name) const {
    const auto found = mScenePrototypes.find(name);
    return found != mScenePrototypes.end() ? found->second.get() : nullptr;
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

GLevel* GObjectFactory::CreateLevel(int level, int stage, bool preloadOnly) {
    auto made = std::make_unique<GLevel>();
    if (!made->Load(GLevel::kStageFile, stage, level, str(), preloadOnly)) {
        // A level without its tables has no objects and would never end.
        GLogRecord record;
        record.level = GLogManager::kError;
        record.module = "Logical";
        record.message = str::FromFormat("Level %d of stage %d not loaded from %s", level, stage,
                                         GLevel::kStageFile);
        record.sourceFile = ".\\GObjectFactory.cpp";
        record.line = __LINE__;
        GetLogManager()->Write(record);
        return nullptr;
    }
    if (!preloadOnly) {
        GStatistics::Instance()->OnLevelStart(level);
    }
    return made.release();
}

GGameData* GObjectFactory::GetGameData() {
    if (mGameData == nullptr) {
        GVFactory& visuals = GVFactory::Instance();
        visuals.SetObjectFolder("xml/");
        visuals.SetTextureFolder("anim/");
        mGameData = std::make_unique<GGameData>();
        mGameData->Load();
    }
    return mGameData.get();
}

void GObjectFactory::Clear(bool deleteGameData, bool deleteScenePrototypes) {
    mObjectPrototypes.clear();
    if (deleteScenePrototypes) {
        mScenePrototypes.clear();
    }
    if (deleteGameData) {
        mGameData.reset();
    }
}

// The game-object classes, in the order their ids are taken. Registered here, beside the
// registry: a unit that only registered itself would be dropped from the static library.
int GGameObject::sClassId = GObjectFactory::NextClassId();
int GInDoor::sClassId = GObjectFactory::NextClassId();
int GMainHeroine::sClassId = GObjectFactory::NextClassId();
int GPacifierObject::sClassId = GObjectFactory::NextClassId();
int GPacifierContainer::sClassId = GObjectFactory::NextClassId();
int GPersonage::sClassId = GObjectFactory::NextClassId();
int GPreparationQueue::sClassId = GObjectFactory::NextClassId();
int GMarivellPowerMeter::sClassId = GObjectFactory::NextClassId();
int GSeat::sClassId = GObjectFactory::NextClassId();
int GStudent::sClassId = GObjectFactory::NextClassId();
int GStudentUpgrade::sClassId = GObjectFactory::NextClassId();
int GJudgingQueue::sClassId = GObjectFactory::NextClassId();
int GJudgingScene::sClassId = GObjectFactory::NextClassId();
int GJudgingSceneDoor::sClassId = GObjectFactory::NextClassId();

namespace {

template <class Object>
GGameObject* CreateGameObject() {
    return new Object;
}

template <class Scene>
GBaseLogicalScene* CreateLogicalScene() {
    return new Scene;
}

const bool gGameObjectRegistered =
    GObjectFactory::Instance().RegisterObjectCreator("GGameObject", &CreateGameObject<GGameObject>);
const bool gInDoorRegistered =
    GObjectFactory::Instance().RegisterObjectCreator("GInDoor", &CreateGameObject<GInDoor>);
const bool gMainHeroineRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "GMainHeroine", &CreateGameObject<GMainHeroine>);
const bool gPacifierObjectRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "GPacifierObject", &CreateGameObject<GPacifierObject>);
const bool gPacifierContainerRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "GPacifierContainer", &CreateGameObject<GPacifierContainer>);
const bool gPersonageRegistered =
    GObjectFactory::Instance().RegisterObjectCreator("GPersonage", &CreateGameObject<GPersonage>);
const bool gPreparationQueueRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "GPreparationQueue", &CreateGameObject<GPreparationQueue>);
const bool gPowerMeterRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "GMarivellPowerMeter", &CreateGameObject<GMarivellPowerMeter>);
const bool gSeatRegistered =
    GObjectFactory::Instance().RegisterObjectCreator("GSeat", &CreateGameObject<GSeat>);
const bool gStudentRegistered =
    GObjectFactory::Instance().RegisterObjectCreator("GStudent", &CreateGameObject<GStudent>);
const bool gStudentUpgradeRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "GStudentUpgrade", &CreateGameObject<GStudentUpgrade>);
const bool gJudgingQueueRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "GJudgingQueue", &CreateGameObject<GJudgingQueue>);
const bool gJudgingSceneRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "GJudgingScene", &CreateGameObject<GJudgingScene>);
const bool gJudgingSceneDoorRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "GJudgingSceneDoor", &CreateGameObject<GJudgingSceneDoor>);
const bool gLogicalSceneRegistered = GObjectFactory::Instance().RegisterSceneCreator(
    "GLogicalScene", &CreateLogicalScene<GLogicalScene>);
const bool gQueueLogicalSceneRegistered = GObjectFactory::Instance().RegisterSceneCreator(
    "GQueueLogicalScene", &CreateLogicalScene<GQueueLogicalScene>);
const bool gPacifierSceneRegistered = GObjectFactory::Instance().RegisterSceneCreator(
    "GPacifierScene", &CreateLogicalScene<GPacifierScene>);
const bool gTouchUpSceneRegistered = GObjectFactory::Instance().RegisterSceneCreator(
    "GTouchUpScene", &CreateLogicalScene<GTouchUpScene>);

} // namespace
