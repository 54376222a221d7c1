// The player's heroine: a personage whose walking speed a power can raise for a while, who gives
// blessings, and who numbers the jobs the player queued on her on their scenes. The level makes
// one per level and the logical manager finds her. Main thread only.
#pragma once

#include "game/world/GPersonage.h"

#include <cstdint>

class GMainHeroine : public GPersonage {
public:
    static int sClassId;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GPersonage::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GMainHeroine"; }
    int GetClassId() const override { return sClassId; }
    // The speed power counts down, then the personage's tick.
    bool OnTimer() override;
    GGameObject* Clone() const override;
    // Publishes her four functions; reads "speed" as her begin speed and the touch-up values.
    bool InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                     GLevel* level) override;
    // A queued front task's scene takes its number down first.
    void OnTaskEnd(GBaseSimpleTask* task, int reason) override;
    // Numbers the scenes of her queued jobs 1, 2, 3, ...
    void OnTasksChanged() override;
    // Only the start command of her upgrade record.
    void LoadTouchupAction() override;

    // Ends a running speed power first; kind 1 starts the energy boost for its action time and
    // answers 1, other kinds are recorded and answer 0.
    int UseSpeedPower(int kind);
    // Her begin speed back and the power buttons back; 1.
    int EndSpeedPower();
    // A negative count is the number of occupied judging places; below 2 "last_bless", else
    // "bless".
    void DoBlessing(int count);

    // Her Lua functions.
    void CPP_OnJudgingQueueChange();
    void CPP_DoPoisePower(int value);
    void CPP_DoBlessing(int count);
    void CPP_SetBeginSpeed(int speed);

    int GetActivePower() const { return mActivePower; }
    int GetBeginSpeed() const { return mBeginSpeed; }
    int GetSpeedCountdown() const { return mSpeedCountdown; }

private:
    void PublishHeroineFunctions();
    // The milliseconds her countdown goes down by at this tick: the trigger period, or with a
    // period of 0 the clock time since the last tick.
    int ElapsedForCountdown();

    int32_t mActivePower = 0;
    int32_t mBeginSpeed = 0;
    int32_t mSpeedCountdown = 0;
    // The timer's clock at the last tick while the speed power ran; -1 before the first.
    int32_t mLastTickTime = -1;
};
