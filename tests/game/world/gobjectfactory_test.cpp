// The object factory: prototypes by object name, classes by "class_name", first registrations
// kept, tasks by type code numbered over the run, and clearing.
#include "game/world/GObjectFactory.h"

#include "game/world/GBaseSimpleTask.h"
#include "game/world/GTaskData.h"
#include "tests/game/world/world_object_fixture.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using world_test::TWorldObjectTest;

class ObjectFactoryTest : public TWorldObjectTest {
protected:
    GGameObject* Create(const char* name, const char* type) {
        std::unique_ptr<TLuaTable> table = Table(type);
        GGameObject* object = GObjectFactory::Instance().CreateObject(name, table.get(), nullptr);
        if (object != nullptr) {
            mObjects.emplace_back(object);
        }
        return object;
    }
};

bool gOtherCreatorCalled = false;

GGameObject* OtherCreator() {
    gOtherCreatorCalled = true;
    return nullptr;
}

TEST_F(ObjectFactoryTest, OneNameGivesClonesOfTheFirstPrototype) {
    GGameObject* first = Create("chair", "{ class_name = 'GGameObject', base_type = 'red' }");
    GGameObject* second = Create("chair", "{ class_name = 'GGameObject', base_type = 'blue' }");
    GGameObject* third = Create("chair", "nil");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(third, nullptr);
    EXPECT_NE(first, second);
    for (GGameObject* object : {first, second, third}) {
        EXPECT_EQ(object->GetBaseType(), "red");
        EXPECT_STREQ(object->GetClassName(), "GGameObject");
        EXPECT_EQ(object->GetClassId(), GGameObject::sClassId);
        EXPECT_FALSE(object->IsActive());
    }
    EXPECT_TRUE(GObjectFactory::Instance().HasPrototype("chair"));
    EXPECT_GE(GGameObject::sClassId, 1);
    EXPECT_TRUE(first->IsKindOf(GGameObject::sClassId));
    EXPECT_FALSE(first->IsKindOf(GGameObject::sClassId + 1));
}

TEST_F(ObjectFactoryTest, UnknownClassesAndMissingTablesGiveNothing) {
    EXPECT_EQ(Create("a", "{ class_name = 'GNoSuchClass' }"), nullptr);
    EXPECT_EQ(Create("b", "{}"), nullptr);
    EXPECT_EQ(Create("c", "nil"), nullptr);
    GObjectFactory& factory = GObjectFactory::Instance();
    EXPECT_FALSE(factory.HasPrototype("a"));
    EXPECT_FALSE(factory.HasPrototype("b"));
}

TEST_F(ObjectFactoryTest, RegisteringAClassNameTwiceKeepsTheFirstCreator) {
    GObjectFactory& factory = GObjectFactory::Instance();
    EXPECT_TRUE(factory.RegisterObjectCreator("GGameObject", &OtherCreator));
    gOtherCreatorCalled = false;
    EXPECT_NE(Create("kept", "{ class_name = 'GGameObject' }"), nullptr);
    EXPECT_FALSE(gOtherCreatorCalled);
}

TEST_F(ObjectFactoryTest, TasksAreMadeByTypeCodeAndNumberedOverTheRun) {
    GObjectFactory& factory = GObjectFactory::Instance();
    GGameObject object;
    GTaskData data;
    data.mName = "work";
    data.mObject = &object;

    data.mSubType = 2;
    const int before = factory.GetTaskCounter();
    EXPECT_EQ(factory.CreateTask(data, nullptr), nullptr);
    EXPECT_EQ(factory.GetTaskCounter(), before) << "no number for no task";

    data.mSubType = 0;
    std::unique_ptr<GBaseSimpleTask> first(factory.CreateTask(data, nullptr));
    std::unique_ptr<GBaseSimpleTask> second(factory.CreateTask(data, nullptr));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->mTaskId, before + 1);
    EXPECT_EQ(second->mTaskId, before + 2);
    EXPECT_EQ(data.mTaskId, before + 2);
    EXPECT_EQ(first->GetState(), GBaseSimpleTask::kReady);

    // A task that cannot run (no object, no name) is destroyed, yet took its number.
    data.mObject = nullptr;
    EXPECT_EQ(factory.CreateTask(data, nullptr), nullptr);
    data.mObject = &object;
    data.mName = "";
    EXPECT_EQ(factory.CreateTask(data, nullptr), nullptr);
    EXPECT_EQ(factory.GetTaskCounter(), before + 4);

    factory.Clear(true, true);
    EXPECT_EQ(factory.GetTaskCounter(), before + 4);
}

TEST_F(ObjectFactoryTest, ClearDropsThePrototypesSoTheNextTableCounts) {
    ASSERT_NE(Create("chair", "{ class_name = 'GGameObject', base_type = 'red' }"), nullptr);
    GObjectFactory::Instance().Clear(false, true);
    EXPECT_FALSE(GObjectFactory::Instance().HasPrototype("chair"));
    GGameObject* after = Create("chair", "{ class_name = 'GGameObject', base_type = 'blue' }");
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(after->GetBaseType(), "blue");
}

} // namespace
