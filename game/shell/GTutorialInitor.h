// The start condition of a tutorial: the wish, the game event or the arrival of a girl that starts
// it, the object's name and position, a count of events to let pass, the tutorials it depends on
// or waits for, and an optional Lua check. Owned by its tutorial; main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/world/GTutorialComponent.h"

#include <cstdint>
#include <memory>

class GGameObject;
class TLuaFunction;

class GTutorialInitor : public GTutorialComponent {
public:
    GTutorialInitor();
    ~GTutorialInitor() override;
    GTutorialInitor(const GTutorialInitor&) = delete;
    GTutorialInitor& operator=(const GTutorialInitor&) = delete;

    // False without "wish", "action" or "wait_creating" with an id; such an initor that names a
    // dependence or wait_tutorial shows the error box.
    bool Load(TLuaTable* table, GTutorialRun* owner) override;
    // Whether an event of this object starts the tutorial (counting down the events to let pass).
    bool Accepts(GGameObject* object);
    void RestoreCounter() { mRemaining = mCounter; }

    const str& GetId() const { return mId; }
    bool HasWish() const { return mHasWish; }
    const str& GetWish() const { return mWish; }
    bool HasAction() const { return mHasAction; }
    const str& GetAction() const { return mAction; }
    bool WaitsCreating() const { return mWaitCreating; }
    bool IsNotDisabled() const { return mNotDisabled; }
    int GetRemaining() const { return mRemaining; }
    GTutorialRun* GetDependence() const { return mDependence; }
    GTutorialRun* GetWaitTutorial() const { return mWaitTutorial; }

private:
    str mId;
    str mWish;
    bool mHasWish = false;
    str mAction;
    bool mHasAction = false;
    int32_t mX = kAnyTutorialPos;
    int32_t mY = kAnyTutorialPos;
    int32_t mCounter = 0;
    int32_t mRemaining = 0;
    // Not owned; null until resolved, or when no such tutorial exists.
    GTutorialRun* mDependence = nullptr;
    GTutorialRun* mWaitTutorial = nullptr;
    bool mNotDisabled = false;
    bool mWaitCreating = false;
    std::unique_ptr<TLuaFunction> mIsWork;
};
