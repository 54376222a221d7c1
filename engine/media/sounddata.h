// What a sound is made of: its Ogg Vorbis data either decoded to 16-bit PCM at load (sounds of at
// most 2 seconds read into memory) or kept as an open decoder that the memory spoolers of its
// playing copies share, and the set of those copies. Owned by its TSound alone; spoolers and
// streams hold it weakly. Built and changed on the main thread; the sound thread reads the PCM
// and drives the decoder under the sound mutex.
#pragma once

#include "engine/core/str.h"
#include "engine/media/soundinstance.h"
#include "engine/media/soundstream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>

class TFile;
class TSound;
struct OggVorbis_File;

class TSoundData final : public TStreamNotify {
public:
    struct TByAddress {
        bool operator()(const TSoundInstancePtr& a, const TSoundInstancePtr& b) const {
            return std::less<const TSoundInstance*>()(a.get(), b.get());
        }
    };
    // The playing copies, ordered by address.
    using TInstanceSet = std::set<TSoundInstancePtr, TByAddress>;

    // The largest PCM block decoded at load; a sound that would need more fails to load.
    static constexpr uint32_t kMaxDecodedBytes = 64u << 20;

    TSoundData() = default;
    // Frees the PCM block and clears the decoder, which closes its source.
    ~TSoundData() override;
    TSoundData(const TSoundData&) = delete;
    TSoundData& operator=(const TSoundData&) = delete;

    // Opens the decoder over `file`: read whole into memory and closed (fromFile false), or read
    // through the engine's file layer, the decoder then owning the open file. A sound of at most
    // 2 seconds in memory is decoded at once and its decoder freed. False with a log line when
    // the data cannot be decoded; a file read from disk is then still the caller's to close.
    bool Load(TFile* file, bool fromFile);
    // Main thread: the stream of one copy has died; the copy leaves the set.
    void OnStreamEnd(TSoundStream* stream) override;

    const TInstanceSet& GetInstances() const { return mInstances; }
    int GetCategory() const { return mCategory; }
    int GetRate() const { return mRate; }
    int GetChannels() const { return mChannels; }
    double GetLength() const { return mLength; }
    // Null unless the sound was decoded at load.
    const uint8_t* GetPcm() const { return mPcm.get(); }
    uint32_t GetCapacity() const { return mCapacity; }
    uint32_t GetDecoded() const { return mDecoded; }
    // Null when the sound was decoded at load. Used under the sound mutex only.
    OggVorbis_File* GetDecoder() const { return mDecoder.get(); }
    // Once the decoder reported an error other than a hole it is never called again: a decoder
    // whose set-up failed once builds itself from half-made tables when it is asked again.
    bool IsDecoderBroken() const { return mDecoderBroken; }
    void SetDecoderBroken() { mDecoderBroken = true; }
    const str& GetName() const { return mName; }

private:
    friend class TSound;

    struct TDecoderDeleter {
        void operator()(OggVorbis_File* decoder) const;
    };

    // Decodes the whole sound into the PCM block; false when the block would be too large.
    bool DecodeAll();

    TInstanceSet mInstances;
    int32_t mCategory = -1;
    // 16-bit signed little-endian interleaved samples, with 4 spare bytes.
    std::unique_ptr<uint8_t[]> mPcm;
    int32_t mRate = 0;
    int32_t mChannels = 0;
    // All logical streams together.
    double mLength = 0.0;
    uint32_t mCapacity = 0;
    uint32_t mDecoded = 0;
    std::unique_ptr<OggVorbis_File, TDecoderDeleter> mDecoder;
    bool mDecoderBroken = false;
    // The file path, without options.
    str mName;
    // Cleared by the sound's destructor.
    TSound* mOwner = nullptr;
};
