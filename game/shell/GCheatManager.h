// The developer cheats of the game control: keyboard cheats, each bound to one virtual-key code,
// and the hint text that lists them. The game control owns the manager and offers it every key
// first; each cheat run is logged to the game log's module "cheats". Main thread only.
#pragma once

#include "engine/core/str.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// One cheat: its key, its line in the hint text and, for cheats that switch something, whether
// it is on. Owned by the cheat manager, which frees it through this base.
class GBaseCheat {
public:
    GBaseCheat(int key, const str& hint, bool toggle = false)
        : mKey(key), mHint(hint), mToggle(toggle) {}
    virtual ~GBaseCheat() = default;
    GBaseCheat(const GBaseCheat&) = delete;
    GBaseCheat& operator=(const GBaseCheat&) = delete;

    virtual int GetKey() const { return mKey; }
    virtual const str& GetHint() const { return mHint; }
    virtual void RunCheat() = 0;

    bool IsOn() const { return mToggle != 0; }

protected:
    // The Debug record "<class>::RunCheat()" in the module "cheats", from the cheats' source line.
    static void LogRun(const char* className, int line);

    int32_t mKey;
    str mHint;
    uint8_t mToggle;
};

class GCheatManager {
public:
    // No cheats, the hint shown; the module "cheats" goes to the discarding writer.
    GCheatManager();
    GCheatManager(const GCheatManager&) = delete;
    GCheatManager& operator=(const GCheatManager&) = delete;

    // Takes the cheat unless one with its key is listed already; a refused cheat is freed.
    void AddCheat(GBaseCheat* cheat);
    // Runs the first cheat of the key and rebuilds the hint text; false when none has it.
    bool OnKey(int key);
    // "Cheats:\n", then for each cheat a blank, its hint and a line break.
    void RebuildHint();

    const str& GetHintText() const { return mHintText; }
    bool IsHintShown() const { return mShowHint != 0; }
    void SetHintShown(bool shown) { mShowHint = shown ? 1 : 0; }
    std::size_t GetCheatCount() const { return mCheats.size(); }

private:
    std::vector<std::unique_ptr<GBaseCheat>> mCheats;
    str mHintText;
    uint8_t mShowHint = 1;
};
