#include "engine/core/task.h"
#include "engine/core/tasklist.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// What the probes saw: the order they ran in and how often each was deleted.
struct TRecord {
    std::vector<std::string> runs;
    std::map<std::string, int> deleted;
};

class TProbe : public TTask {
public:
    TProbe(TRecord& record, std::string name, std::function<bool()> step = {})
        : mRecord(record), mName(std::move(name)), mStep(std::move(step)) {}
    ~TProbe() override { ++mRecord.deleted[mName]; }

    bool DoTask() override {
        mRecord.runs.push_back(mName);
        return mStep ? mStep() : true;
    }

private:
    TRecord& mRecord;
    std::string mName;
    std::function<bool()> mStep;
};

using Names = std::vector<std::string>;

class TaskListTest : public testing::Test {
protected:
    TProbe* Make(const std::string& name, std::function<bool()> step = {}) {
        return new TProbe(mRecord, name, std::move(step));
    }
    TProbe* Add(const std::string& name, std::function<bool()> step = {}) {
        TProbe* probe = Make(name, std::move(step));
        mList.Add(probe);
        return probe;
    }
    Names RunOnce(int phase = 0) {
        mRecord.runs.clear();
        mList.Run(phase);
        return mRecord.runs;
    }
    int Deleted(const std::string& name) { return mRecord.deleted[name]; }

    TRecord mRecord;
    TTaskList mList;
};

TEST_F(TaskListTest, PlainTasksRunInOrderInBothPhases) {
    Add("a");
    Add("b");
    Add("c");
    EXPECT_EQ(RunOnce(0), (Names{"a", "b", "c"}));
    EXPECT_EQ(RunOnce(1), (Names{"a", "b", "c"}));
    EXPECT_EQ(RunOnce(7), (Names{"a", "b", "c"}));
}

TEST_F(TaskListTest, FinishedTaskIsDeletedAndLeavesTheList) {
    Add("a");
    Add("done", [] { return false; });
    Add("c");
    EXPECT_EQ(RunOnce(), (Names{"a", "done", "c"}));
    EXPECT_EQ(Deleted("done"), 1);
    EXPECT_EQ(RunOnce(), (Names{"a", "c"}));
}

TEST_F(TaskListTest, RemoveOutsideARunHandsTheTaskBack) {
    TProbe* a = Add("a");
    Add("b");
    TProbe stranger(mRecord, "stranger");
    EXPECT_FALSE(mList.Remove(&stranger));
    EXPECT_TRUE(mList.Remove(a));
    EXPECT_FALSE(mList.Remove(a));
    EXPECT_EQ(RunOnce(), (Names{"b"}));
    EXPECT_EQ(Deleted("a"), 0);
    delete a;
}

TEST_F(TaskListTest, RemovingALaterTaskDuringARunSkipsIt) {
    TProbe* later = Make("later");
    Add("remover", [&] { return mList.Remove(later); });
    mList.Add(later);
    Add("last");
    EXPECT_EQ(RunOnce(), (Names{"remover", "last"}));
    EXPECT_EQ(Deleted("later"), 0);
    // Out of the list after the run: a second removal finds nothing.
    EXPECT_FALSE(mList.Remove(later));
    delete later;
}

TEST_F(TaskListTest, TaskRemovedAndFreedByItsOwnerDuringARunIsNotTouchedAgain) {
    TProbe* later = Make("later");
    Add("owner", [&] {
        mList.Remove(later);
        delete later;
        return true;
    });
    mList.Add(later);
    Add("last");
    EXPECT_EQ(RunOnce(), (Names{"owner", "last"}));
    EXPECT_EQ(Deleted("later"), 1);
}

TEST_F(TaskListTest, RemovingAnEarlierTaskDuringARunTakesEffectAtTheEnd) {
    TProbe* first = Add("first");
    bool removed = false;
    Add("remover", [&] {
        removed = mList.Remove(first);
        return true;
    });
    EXPECT_EQ(RunOnce(), (Names{"first", "remover"}));
    EXPECT_TRUE(removed);
    EXPECT_EQ(RunOnce(), (Names{"remover"}));
    EXPECT_FALSE(removed);
    EXPECT_EQ(Deleted("first"), 0);
    delete first;
}

TEST_F(TaskListTest, TaskRemovingItselfIsNotDeleted) {
    TProbe* self = nullptr;
    self = Add("self", [&] { return mList.Remove(self); });
    Add("b");
    EXPECT_EQ(RunOnce(), (Names{"self", "b"}));
    EXPECT_EQ(RunOnce(), (Names{"b"}));
    EXPECT_EQ(Deleted("self"), 0);
    delete self;
}

TEST_F(TaskListTest, TaskAddedDuringARunRunsInTheSamePass) {
    bool added = false;
    Add("adder", [&] {
        if (!added) {
            added = true;
            Add("new");
        }
        return true;
    });
    Add("b");
    EXPECT_EQ(RunOnce(), (Names{"adder", "b", "new"}));
    EXPECT_EQ(RunOnce(), (Names{"adder", "b", "new"}));
}

TEST_F(TaskListTest, TaskAddedByTheLastTaskStillRunsInTheSamePass) {
    Add("a");
    bool added = false;
    Add("adder", [&] {
        if (!added) {
            added = true;
            Add("new");
        }
        return true;
    });
    EXPECT_EQ(RunOnce(), (Names{"a", "adder", "new"}));
}

TEST_F(TaskListTest, ClearDuringARunStopsTheRestAndDeletesEachTaskOnce) {
    Add("a");
    Add("clearer", [&] {
        mList.Clear();
        return true;
    });
    Add("c");
    Add("d");
    EXPECT_EQ(RunOnce(), (Names{"a", "clearer"}));
    for (const char* name : {"a", "clearer", "c", "d"}) {
        EXPECT_EQ(Deleted(name), 1) << name;
    }
    EXPECT_EQ(RunOnce(), Names{});
}

TEST_F(TaskListTest, ClearingTaskThatFinishesIsDeletedOnce) {
    Add("a");
    Add("clearer", [&] {
        mList.Clear();
        return false;
    });
    Add("c");
    EXPECT_EQ(RunOnce(), (Names{"a", "clearer"}));
    for (const char* name : {"a", "clearer", "c"}) {
        EXPECT_EQ(Deleted(name), 1) << name;
    }
}

TEST_F(TaskListTest, ClearTwiceDuringARunDeletesEachTaskOnce) {
    Add("a");
    Add("clearer", [&] {
        mList.Clear();
        mList.Clear();
        return true;
    });
    Add("c");
    RunOnce();
    for (const char* name : {"a", "clearer", "c"}) {
        EXPECT_EQ(Deleted(name), 1) << name;
    }
}

TEST_F(TaskListTest, TaskAddedAfterAClearDuringTheRunSurvivesIt) {
    Add("clearer", [&] {
        mList.Clear();
        Add("new");
        return true;
    });
    Add("old");
    EXPECT_EQ(RunOnce(), (Names{"clearer", "new"}));
    EXPECT_EQ(Deleted("clearer"), 1);
    EXPECT_EQ(Deleted("old"), 1);
    EXPECT_EQ(Deleted("new"), 0);
    EXPECT_EQ(RunOnce(), (Names{"new"}));
}

// Allocates every instance in one slot, so a task created after another was deleted gets its
// address.
class TSlotProbe : public TProbe {
public:
    using TProbe::TProbe;
    static void* operator new(std::size_t size) {
        EXPECT_FALSE(sUsed);
        EXPECT_LE(size, sizeof(sSlot));
        sUsed = true;
        return sSlot;
    }
    static void operator delete(void*) { sUsed = false; }

private:
    alignas(std::max_align_t) static inline unsigned char sSlot[sizeof(TProbe)];
    static inline bool sUsed = false;
};

TEST_F(TaskListTest, FinishedTaskLeavesNoRemovalRequestForItsAddress) {
    // "self" asks for its own removal, then finishes and is deleted; "late" is then born at the
    // same address and must not be unlinked by that request when the run ends.
    TTask* self = nullptr;
    self = new TSlotProbe(mRecord, "self", [&] {
        mList.Remove(self);
        return false;
    });
    mList.Add(self);
    TTask* late = nullptr;
    Add("adder", [&] {
        late = new TSlotProbe(mRecord, "late");
        mList.Add(late);
        return false;
    });
    EXPECT_EQ(RunOnce(), (Names{"self", "adder", "late"}));
    EXPECT_EQ(late, self);
    EXPECT_EQ(Deleted("self"), 1);
    EXPECT_EQ(RunOnce(), (Names{"late"}));
}

TEST_F(TaskListTest, RunFromInsideARunOfTheSameListDoesNothing) {
    Add("a");
    Add("nested", [&] {
        mList.Run(0);
        return false;
    });
    Add("c");
    EXPECT_EQ(RunOnce(), (Names{"a", "nested", "c"}));
    EXPECT_EQ(Deleted("nested"), 1);
    EXPECT_EQ(RunOnce(), (Names{"a", "c"}));
}

TEST_F(TaskListTest, ClearOutsideARunAndDestructionDeleteEveryTask) {
    Add("a");
    Add("b");
    mList.Clear();
    EXPECT_EQ(Deleted("a"), 1);
    EXPECT_EQ(Deleted("b"), 1);
    EXPECT_EQ(RunOnce(), Names{});

    {
        TTaskList list;
        list.Add(Make("x"));
        list.Add(Make("y"));
    }
    EXPECT_EQ(Deleted("x"), 1);
    EXPECT_EQ(Deleted("y"), 1);
}

} // namespace
