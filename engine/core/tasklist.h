// Runs tasks in order and deletes those that report they are finished. A task may add, remove or
// clear tasks of the list while it runs: additions are reached later in the same run, removals
// and clears take effect when the run ends. The list owns its tasks. Main thread only.
#pragma once

#include <list>

class TTask;

class TTaskList {
public:
    TTaskList() = default;
    TTaskList(const TTaskList&) = delete;
    TTaskList& operator=(const TTaskList&) = delete;
    // Deletes every task still in the list.
    virtual ~TTaskList();

    // Appends; the list takes ownership. A null task is ignored.
    void Add(TTask* task);
    // Hands the task back to the caller without deleting it; false when it is not in the list.
    // During a run the task is skipped for the rest of the run and unlinked at its end.
    bool Remove(TTask* task);
    // Deletes every task; during a run the tasks are skipped and deleted when the run ends.
    void Clear();
    // Runs every ready task once. A run started from inside a run of the same list returns at once.
    void Run(int phase);

private:
    struct TEntry {
        TTask* task;
        bool removal = false;  // removal asked for during the run
        bool deletion = false; // deletion asked for by a clear during the run
    };

    bool mRunning = false;
    std::list<TEntry> mTasks;
};
