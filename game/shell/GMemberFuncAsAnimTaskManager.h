// Timers that call a member function of their owner: GAnimTaskMemberFuncWrapper<T> is an animation
// task that runs owner->method() each period, and GMemberFuncAsAnimTaskManager<T> is the base of an
// owner that keeps track of its tasks. A task lives in a modal window's task list, which owns and
// deletes it; the owner's destruction only detaches its tasks, which then end at their next tick,
// so no task ever calls a gone owner and no task is deleted twice. Main thread only.
#pragma once

#include "engine/core/animtask.h"
#include "engine/ui/window.h"

#include <algorithm>
#include <vector>

template <class T>
class GMemberFuncAsAnimTaskManager;

template <class T>
class GAnimTaskMemberFuncWrapper final : public TAnimTask {
public:
    using TMethod = bool (T::*)();

    GAnimTaskMemberFuncWrapper(T* owner, TMethod method, GMemberFuncAsAnimTaskManager<T>* manager)
        : mOwner(owner), mMethod(method), mManager(manager) {}
    ~GAnimTaskMemberFuncWrapper() override {
        if (mManager != nullptr) {
            mManager->ForgetTask(this);
        }
    }
    GAnimTaskMemberFuncWrapper(const GAnimTaskMemberFuncWrapper&) = delete;
    GAnimTaskMemberFuncWrapper& operator=(const GAnimTaskMemberFuncWrapper&) = delete;

    // The member's answer; a detached task ends.
    bool Animate() override { return mOwner != nullptr && (mOwner->*mMethod)(); }
    void Detach() {
        mOwner = nullptr;
        mManager = nullptr;
    }
    bool IsDetached() const { return mOwner == nullptr; }

private:
    T* mOwner;
    TMethod mMethod;
    GMemberFuncAsAnimTaskManager<T>* mManager;
};

template <class T>
class GMemberFuncAsAnimTaskManager {
public:
    GMemberFuncAsAnimTaskManager() = default;
    virtual ~GMemberFuncAsAnimTaskManager() {
        for (GAnimTaskMemberFuncWrapper<T>* task : mTasks) {
            task->Detach();
        }
    }
    GMemberFuncAsAnimTaskManager(const GMemberFuncAsAnimTaskManager&) = delete;
    GMemberFuncAsAnimTaskManager& operator=(const GMemberFuncAsAnimTaskManager&) = delete;

    // A task calling owner->method() every periodMs in the host's task list, on its clock; null
    // without a host.
    GAnimTaskMemberFuncWrapper<T>*
    AddMemberTask(T* owner, typename GAnimTaskMemberFuncWrapper<T>::TMethod method,
                  TModalWindow* host, int periodMs) {
        if (host == nullptr) {
            return nullptr;
        }
        auto* task = new GAnimTaskMemberFuncWrapper<T>(owner, method, this);
        task->SetClock(&host->GetClock());
        host->AddTask(task);
        task->Start(periodMs, true, true, false);
        mTasks.push_back(task);
        return task;
    }
    // The task list deleted the task.
    void ForgetTask(GAnimTaskMemberFuncWrapper<T>* task) {
        mTasks.erase(std::remove(mTasks.begin(), mTasks.end(), task), mTasks.end());
    }
    const std::vector<GAnimTaskMemberFuncWrapper<T>*>& GetTasks() const { return mTasks; }

private:
    // Not owned: each belongs to its task list.
    std::vector<GAnimTaskMemberFuncWrapper<T>*> mTasks;
};
