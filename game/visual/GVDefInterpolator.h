// The key-frame interpolator: it runs through its keys in "time" ms, in steps of "quant" ms on a
// timer of the owner's first draw list, and applies the value it has reached to the owner's world
// data at each update; then it starts over from the first key. The kinds say what the keys are
// and what a value does. Owned by an effect list; its timer is owned by the task list it runs in.
// Main thread only.
#pragma once

#include "game/visual/GVEffect.h"
#include "game/visual/TOnTimerCaller.h"

#include <cstdint>
#include <vector>

class TModalWindow;

class GVDefInterpolator : public GVEffect {
public:
    using TTimer = TOnTimerCaller<GVDefInterpolator, TModalWindow>;

    static constexpr uint32_t kDefaultTime = 100;
    static constexpr uint32_t kDefaultQuant = 30;

    GVDefInterpolator() { mEventMask = kEventInterpolator; }
    // Detaches the timer; its task list deletes it.
    ~GVDefInterpolator() override;

    static GVClassId ClassIdentity();
    bool IsKindOf(GVClassId id) const override {
        return id == ClassIdentity() || GVEffect::IsKindOf(id);
    }

    // "time" (default 100, or defdelay x m x m in a state of m frames), "quant" (default 30) and
    // "keys"; false without a key.
    bool Load(TXmlNode* element, GVBase* owner) override;
    // Time, quant and keys into an interpolator of the same kind; null for another kind.
    GVBase* CopyTo(GVBase* target) override;
    // From the first key, on a timer of the owner's first draw list; false when the owner is
    // unknown or in no draw list.
    bool Start() override;
    // Stops the timer; true.
    bool Stop() override;
    // The value reached so far into the data, which it remembers to mark at each step.
    void Apply(GVData& data) override;

    // The timer's step: quant more ms, and the owner marked for an update; a disabled
    // interpolator stops its timer instead.
    void OnTimer();

    uint32_t GetTime() const { return mTime; }
    uint32_t GetQuant() const { return mQuant; }
    uint32_t GetElapsed() const { return mElapsed; }
    int GetKeyCount() const { return mKeyCount; }
    TTimer* GetTimer() const { return mTimer; }

protected:
    // Reads the keys from the text; the number read.
    virtual int ParseKeys(const char* text) = 0;
    // Applies k[index] + (k[index + 1] - k[index]) x fraction and marks the data changed.
    virtual void ApplyKey(GVData& data, int index, float fraction) = 0;

    // The value between key index and the next one; the last key holds when there is no next.
    static float KeyValue(const std::vector<float>& keys, int index, float fraction);

private:
    // Owned by its task list; it clears this pointer when it goes.
    TTimer* mTimer = nullptr;
    // The owner's world data the last Apply wrote; not owned.
    GVData* mTarget = nullptr;
    uint32_t mTime = kDefaultTime;
    uint32_t mQuant = kDefaultQuant;
    uint32_t mElapsed = 0;
    int mKeyCount = 0;
};
