// The sound asset: an Ogg Vorbis file found or loaded by name through TSound::Get, shared by
// reference and registered with the asset manager under a key that carries its load options. A
// sound can be played any number of times at once; each playing copy is a TSoundInstance driven
// by a stream of the sound manager. Main thread.
#pragma once

#include "engine/core/asset.h"
#include "engine/core/str.h"
#include "engine/media/soundinstance.h"

#include <boost/shared_ptr.hpp>

class TSound;
class TSoundData;
using TSoundPtr = boost::shared_ptr<TSound>;

class TSound : public TAsset {
public:
    static const void* ClassId();
    const char* GetClassName() const override;
    bool IsKindOf(const void* classId) const override;
    // Stops every playing copy first.
    ~TSound() override;
    TSound(const TSound&) = delete;
    TSound& operator=(const TSound&) = delete;

    // The sound of `name`, a path that may end in options after '?': "group=" and a number picks
    // the volume category, else `defaultCategory` holds; other options are ignored. Read whole
    // into memory (`inMemory`) or decoded from the open file while it plays. A live sound under
    // the same key is returned as it is. Empty on failure: silently for an empty name or one
    // without ".ogg", with a log line when the file is missing or cannot be decoded.
    static TSoundPtr Get(const str& name, bool inMemory, int defaultCategory);
    // The live sound registered under `key`; empty for none or another kind of asset.
    static TSoundPtr Find(const str& key);

    // Starts a copy, looping or once; empty (with a log line) without data or a sound manager.
    // Without a sound device the copy runs silently for the sound's length.
    TSoundInstancePtr Play(bool loop);
    // Stops every copy; true when there was any.
    bool Stop();
    // Stops one copy; false only for an empty reference. The other copies play on.
    bool StopInstance(const TSoundInstancePtr& instance);
    // Pauses or resumes every copy; true when there was any.
    bool Pause(bool pause);
    // In seconds; 0 without data.
    float GetLength() const;

    const boost::shared_ptr<TSoundData>& GetData() const { return mData; }

private:
    TSound();

    // Never replaced; the sound alone owns it.
    boost::shared_ptr<TSoundData> mData;
};
