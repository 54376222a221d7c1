// A deferred call into the level's switch interface: a strategy posts it while the level offers a
// mouse event to every object, and the level runs the one pending call after all of them saw the
// event. Each invoker class has exactly one static instance; posting overwrites its fields.
// Main thread only.
#pragma once

#include "game/world/G_ICanListenSwitch.h"

class G_VoidLink;

class G_Invoker {
public:
    // Calls the listener's slot; nothing without a listener.
    virtual void Invoke() = 0;
    virtual G_VoidLink* GetArg() const { return mArg1; }

    // Not owned.
    G_ICanListenSwitch* mListener = nullptr;
    G_VoidLink* mArg1 = nullptr;
    G_VoidLink* mArg2 = nullptr;

protected:
    G_Invoker() = default;
    ~G_Invoker() = default;
};

class G_Invoker1p : public G_Invoker {
public:
    void Set(G_ICanListenSwitch* listener, G_VoidLink* object) {
        mListener = listener;
        mArg1 = object;
        mArg2 = nullptr;
    }

protected:
    G_Invoker1p() = default;
    ~G_Invoker1p() = default;
};

class G_Invoker2p : public G_Invoker {
public:
    void Set(G_ICanListenSwitch* listener, G_VoidLink* first, G_VoidLink* second) {
        mListener = listener;
        mArg1 = first;
        mArg2 = second;
    }

protected:
    G_Invoker2p() = default;
    ~G_Invoker2p() = default;
};

// The one-argument invoker of a switch slot.
template <void (G_ICanListenSwitch::*Slot)(G_VoidLink*)>
class G_Invoke1p final : public G_Invoker1p {
public:
    static G_Invoke1p& Instance() {
        static G_Invoke1p invoker;
        return invoker;
    }
    void Invoke() override {
        if (mListener != nullptr) {
            (mListener->*Slot)(mArg1);
        }
    }

private:
    G_Invoke1p() = default;
};

// The two-argument invoker of a switch slot.
template <void (G_ICanListenSwitch::*Slot)(G_VoidLink*, G_VoidLink*)>
class G_Invoke2p final : public G_Invoker2p {
public:
    static G_Invoke2p& Instance() {
        static G_Invoke2p invoker;
        return invoker;
    }
    void Invoke() override {
        if (mListener != nullptr) {
            (mListener->*Slot)(mArg1, mArg2);
        }
    }

private:
    G_Invoke2p() = default;
};

using G_Invoke_OOOA = G_Invoke2p<&G_ICanListenSwitch::OnOOOA>;
using G_Invoke_OODTA = G_Invoke2p<&G_ICanListenSwitch::OnOODTA>;
using G_Invoke_OTL = G_Invoke2p<&G_ICanListenSwitch::OnOTL>;
using G_Invoke_OFD = G_Invoke1p<&G_ICanListenSwitch::OnOFD>;
using G_Invoke_OTU = G_Invoke1p<&G_ICanListenSwitch::OnOTU>;
using G_Invoke_OSD = G_Invoke1p<&G_ICanListenSwitch::OnOSD>;
using G_Invoke_OCOn = G_Invoke1p<&G_ICanListenSwitch::OnOCOn>;
using G_Invoke_OCOff = G_Invoke1p<&G_ICanListenSwitch::OnOCOff>;
using G_Invoke_Click = G_Invoke1p<&G_ICanListenSwitch::OnClick>;
using G_Invoke_OnBMC = G_Invoke1p<&G_ICanListenSwitch::OnBMC>;
