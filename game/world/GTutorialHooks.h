// What the logical manager asks of the tutorial engine, which the shell owns: each body here is
// the behaviour without tutorials. The manager owns the one engine it makes through the maker the
// shell registers (GLogicalManager::SetTutorialMaker). Main thread only.
#pragma once

#include "engine/core/str.h"

#include <memory>

class GBaseSimpleTask;
class GGameObject;

class GTutorialHooks {
public:
    virtual ~GTutorialHooks() = default;

    // The common set (once) and a level's set; whether the file was read.
    virtual bool Load(const str& /*file*/) { return false; }
    virtual bool LoadFile(const str& /*file*/) { return false; }
    virtual void UnloadSet(const str& /*file*/) {}
    // Every tutorial idle again; and every tutorial and set gone.
    virtual void Reset() {}
    virtual void Clear() {}
    // Closes the current step; with keep the waiting tutorials go on waiting.
    virtual void StopTutorial(bool /*keep*/) {}
    virtual bool IsTutorialRunning() const { return false; }

    // What play reports. A click answers whether it may proceed.
    virtual bool OnClick(GGameObject* /*object*/) { return true; }
    virtual void OnGameEvent(GGameObject* /*object*/, const str& /*event*/) {}
    virtual void OnTouchUp(GGameObject* /*personage*/) {}
    virtual void OnTouchUpEnd(GGameObject* /*girl*/) {}
    virtual void OnDragEnd(GGameObject* /*object*/) {}
    virtual void OnTaskStart(GBaseSimpleTask* /*task*/) {}
    virtual void OnTaskEnd(GBaseSimpleTask* /*task*/) {}
    virtual void QueueNamedEvent(GGameObject* /*girl*/, const str& /*wish*/) {}
    virtual void QueueObjectEvent(GGameObject* /*girl*/) {}
    // The object leaves the level: no tutorial may point at it any more.
    virtual void ForgetObject(GGameObject* /*object*/) {}
};

using GTutorialMaker = std::unique_ptr<GTutorialHooks> (*)();
