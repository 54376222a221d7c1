// The game's sound effects by short name ("click", "door_open", "goal_r" ...): each name stands
// for a file of "audio/sfx/", all loaded once when the registry is built and played in volume
// category 1000 at that category's volume. One instance for the program, built on first use and
// released at platform shutdown, while the sound and asset managers still exist. Main thread only.
#pragma once

#include "engine/core/assetmap.h"
#include "engine/core/str.h"
#include "engine/media/soundinstance.h"

#include <map>

class GSoundEffects final : public TAssetMap {
public:
    // Built on first use, and again on a use after a platform shutdown released it.
    static GSoundEffects* Instance();

    // Registers the game's names and loads their files. The program goes through Instance.
    GSoundEffects();
    ~GSoundEffects() override;
    GSoundEffects(const GSoundEffects&) = delete;
    GSoundEffects& operator=(const GSoundEffects&) = delete;

    // Enters the sound file (with its options) under the name; 0 when either text is null, else 1.
    int Register(const char* name, const char* file);
    // Plays the sound registered under the name, looping under `tag` when `loop` is set. False
    // for a name that is not registered or a file that could not be loaded; a file that failed
    // once is not asked for again.
    bool Play(const str& tag, const str& name, bool loop);
    // A single play of the name, as every part of the game asks for it.
    bool Play(const str& name) { return Play(str(), name, false); }
    // Stops every sound effect (volume category 1000) and forgets the looping plays.
    void StopAll();

private:
    // Sound name to its file, options included.
    std::map<str, str> mFiles;
    // Tag to the looping play started under it.
    std::map<str, TSoundInstancePtr> mLooping;
    // Sound name to the sound its first play found, empty when it could not be loaded.
    std::map<str, TSoundPtr> mLoaded;
};
