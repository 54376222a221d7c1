// A touch-up of a girl by the heroine (or a personage): it listens for its girl being carried
// away or removed, which cancels it, and its second stage waits while the girl is being dragged
// until the drop is over. It blocks nobody at creation or begin, and gives no combo key. Main
// thread only.
#pragma once

#include "game/world/GEventDispatcher.h"
#include "game/world/GLogicalScene.h"

class GTouchUpScene : public GLogicalScene, public GEventSceneListener {
public:
    // Leaves the dispatcher.
    ~GTouchUpScene() override;

    // Only a girl is linked; she fills her entry and is watched.
    bool OnLink(GGameObject* object, GGameObject* target) override;
    int Create() override;
    int Begin() override;
    int End() override;
    // Stage 1 waits while the girl is being dragged; without a girl the scene closes.
    int BeginStage() override;
    // The personage walks to the approach point of the girl's holder.
    int CalcPath(GGameObject* object, int mode) override;
    void OnPersonageStarted() override { mStarted = true; }
    void ForgetObject(const GGameObject* object) override;
    bool GetWalkMode() const override { return false; }
    void SetWalkMode(bool /*flag*/) override {}

    // The girl was carried away or removed: the scene stops and closes.
    void OnKeyedEvent() override;
    // The drop is over: the waiting stage begins.
    void OnBroadcastEvent() override;

    GGameObject* GetGirl() const { return mGirl; }
    int GetGirlEntry() const { return mGirlEntry; }
    bool HasStarted() const { return mStarted; }

protected:
    GLogicalScene* NewOfClass() const override { return new GTouchUpScene; }

private:
    int32_t mGirlEntry = -1;
    // Not owned; null when the scene was linked to something else or the girl went.
    GGameObject* mGirl = nullptr;
    bool mStarted = false;
};
