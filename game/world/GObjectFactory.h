// The process-wide registry that turns names into game objects and tasks. Every game-object class
// registers a creator under its class name at start-up; a level asks for an object by a name and
// its Lua type table, whose "class_name" picks the class. The first request for a name builds a
// prototype from the tables; every object handed out is a clone of it. Tasks are made by their
// type code and numbered over the run. Made on first use (by the first registration), destroyed
// at process exit. Main thread only.
#pragma once

#include "engine/core/str.h"

#include <cstdint>
#include <map>
#include <memory>

class GBaseLogicalScene;
class GBaseSimpleTask;
class GGameData;
class GGameObject;
class GLevel;
class GTaskData;
class TLuaTable;

class BaseProductCreator {
public:
    virtual ~BaseProductCreator() = default;
    virtual const str& GetName() const = 0;
};

template <class Product>
class ProductCreator final : public BaseProductCreator {
public:
    ProductCreator(Product* prototype, const str& name) : mPrototype(prototype), mName(name) {}
    const str& GetName() const override { return mName; }
    // A clone of the prototype; the caller owns it.
    Product* MakeProduct(const str& /*name*/) const { return mPrototype->Clone(); }

private:
    std::unique_ptr<Product> mPrototype;
    str mName;
};

class GObjectFactory {
public:
    using TObjectCreator = GGameObject* (*)();
    using TSceneCreator = GBaseLogicalScene* (*)();

    static GObjectFactory& Instance();
    // The next value of the process-wide class-id counter (the first class gets 1).
    static int NextClassId();

    GObjectFactory() = default;
    ~GObjectFactory();
    GObjectFactory(const GObjectFactory&) = delete;
    GObjectFactory& operator=(const GObjectFactory&) = delete;

    // True; a class name already registered keeps its first creator.
    bool RegisterObjectCreator(const str& className, TObjectCreator creator);
    // True; a class name already registered keeps its first creator.
    bool RegisterSceneCreator(const str& className, TSceneCreator creator);
    // A numbered copy of the scene's prototype (the caller owns it). Without a prototype, a
    // definition table makes one of its "class_name" with the logical manager's scene script,
    // which is kept and answered itself (not owned by the caller); null without a table, a scene
    // script, a known class or a definition the class accepts.
    GBaseLogicalScene* GetScene(const str& name, TLuaTable* definition);
    // The prototype itself, or null.
    GBaseLogicalScene* FindScenePrototype(const str& name) const;
    // A clone of the name's prototype, built from the tables on the first request; null without a
    // type table, for an unknown "class_name" or when the prototype fails to read the tables. The
    // caller owns it.
    GGameObject* CreateObject(const str& name, TLuaTable* typeTable, TLuaTable* instanceData);
    // A task of the data's type code (0 simple, 1 moving), numbered by the task counter,
    // initialised with the listener; null for another code or when it cannot run. The caller owns
    // it.
    GBaseSimpleTask* CreateTask(GTaskData& data, GBaseLogicalScene* listener);
    // A level loaded from the stage file; unless preload only, the statistics hear that it
    // started. Null (and a line in the game log) when the stage file did not load. The caller
    // owns it.
    GLevel* CreateLevel(int level, int stage, bool preloadOnly);
    // The game data, made and loaded on first use (the visual objects then come from "xml/" and
    // their textures from "anim/").
    GGameData* GetGameData();
    // Deletes the object prototypes and, with the first flag, the game data, with the second the
    // scene prototypes. The counters keep their values.
    void Clear(bool deleteGameData, bool deleteScenePrototypes);

    int GetTaskCounter() const { return mTaskCounter; }
    int GetSceneCounter() const { return mSceneCounter; }
    bool HasPrototype(const str& name) const { return mObjectPrototypes.count(name) != 0; }

private:
    std::map<str, std::unique_ptr<ProductCreator<GGameObject>>> mObjectPrototypes;
    std::map<str, TObjectCreator> mObjectCreators;
    std::unique_ptr<GGameData> mGameData;
    int32_t mTaskCounter = 0;
    std::map<str, TSceneCreator> mSceneCreators;
    std::map<str, std::unique_ptr<GBaseLogicalScene>> mScenePrototypes;
    int32_t mSceneCounter = 0;
};
