#include "engine/core/tasklist.h"

#include "engine/core/task.h"

#include <algorithm>

TTaskList::~TTaskList() {
    Clear();
}

void TTaskList::Add(TTask* task) {
    if (task == nullptr) {
        return;
    }
    mTasks.push_back(TEntry{task});
}

bool TTaskList::Remove(TTask* task) {
    // A task removed during a run and added again has two entries; the earlier one is the one
    // that goes, so the task stays in the list once.
    const auto it = std::find_if(mTasks.begin(), mTasks.end(), [task](const TEntry& entry) {
        return entry.task == task && !entry.removal;
    });
    if (it == mTasks.end()) {
        return std::any_of(mTasks.begin(), mTasks.end(),
                           [task](const TEntry& entry) { return entry.task == task; });
    }
    if (mRunning) {
        it->removal = true;
    } else {
        mTasks.erase(it);
    }
    return true;
}

void TTaskList::Clear() {
    if (mRunning) {
        for (TEntry& entry : mTasks) {
            entry.removal = true;
            entry.deletion = true;
        }
        return;
    }
    // Unlink before deleting: a task's destructor may reach back into the list.
    std::list<TEntry> tasks;
    tasks.swap(mTasks);
    for (const TEntry& entry : tasks) {
        delete entry.task;
    }
}

void TTaskList::Run(int phase) {
    if (mRunning) {
        return;
    }
    mRunning = true;
    // Tasks added during the run are appended and so reached later in this loop. Removals and
    // clears only mark entries, so the one entry that may go away meanwhile is the current one.
    for (auto it = mTasks.begin(); it != mTasks.end();) {
        if (it->removal) {
            ++it;
            continue;
        }
        TTask* task = it->task;
        if (task->IsReady(phase) && !task->DoTask()) {
            // The entry carries its own removal and deletion marks, so dropping it also takes the
            // task off both; no pointer to the deleted task is left behind.
            it = mTasks.erase(it);
            delete task;
        } else {
            ++it;
        }
    }
    mRunning = false;

    std::list<TEntry> deletions;
    for (auto it = mTasks.begin(); it != mTasks.end();) {
        if (it->deletion) {
            auto next = std::next(it);
            deletions.splice(deletions.end(), mTasks, it);
            it = next;
        } else if (it->removal) {
            it = mTasks.erase(it);
        } else {
            ++it;
        }
    }
    for (const TEntry& entry : deletions) {
        delete entry.task;
    }
}
