// The timer caller of one owner class: it calls the owner's method each period while an owner is
// set, and answers false once detached, so that its task list deletes it. The owner keeps a
// pointer to its timer (the holder), which the caller sets when made and clears when detached or
// deleted. Host is the class whose task list and clock the caller is placed in. Main thread only.
#pragma once

#include "engine/system/platform.h"
#include "game/visual/TCustomOnTimerCaller.h"

template <class Owner, class Host>
class TOnTimerCaller final : public TCustomOnTimerCaller {
public:
    using TMethod = void (Owner::*)();

    // Becomes the holder's timer; a timer the holder had before is detached.
    TOnTimerCaller(Owner* owner, TMethod method, TOnTimerCaller** holder)
        : mOwner(owner), mMethod(method), mHolder(holder) {
        if (mHolder != nullptr) {
            if (*mHolder != nullptr) {
                (*mHolder)->Detach();
            }
            *mHolder = this;
        }
    }
    ~TOnTimerCaller() override { TOnTimerCaller::Detach(); }
    TOnTimerCaller(const TOnTimerCaller&) = delete;
    TOnTimerCaller& operator=(const TOnTimerCaller&) = delete;

    bool Animate() override {
        if (mOwner == nullptr) {
            return false;
        }
        (mOwner->*mMethod)();
        // The owner may have let go of its timer during the call.
        return mOwner != nullptr;
    }

    void Detach() override {
        mOwner = nullptr;
        if (mHolder != nullptr && *mHolder == this) {
            *mHolder = nullptr;
        }
        mHolder = nullptr;
    }

    // Into the host's task list, on the host's clock; without a host, into the platform's main
    // task list on the platform time. False when there is no platform either: the caller is then
    // still the caller's to delete.
    bool PlaceIn(Host* host) {
        if (host != nullptr) {
            SetClock(&host->GetClock());
            host->AddTask(this);
            return true;
        }
        TPlatform* platform = TPlatform::GetInstance();
        if (platform == nullptr) {
            return false;
        }
        SetClock(nullptr);
        platform->AddTask(this);
        return true;
    }

    Owner* GetOwner() const { return mOwner; }

private:
    // Not owned; null once detached.
    Owner* mOwner;
    TMethod mMethod;
    // The owner's pointer to this timer; null once detached.
    TOnTimerCaller** mHolder;
};
