// The particle pool of one particle system: a block of equal records and two lists that hold each
// record exactly once, the live particles and the free records. Moving a record from one list to
// the other only relinks it, so emission and expiry allocate nothing. The lists are kept by
// record index in two link arrays made with the pool. Owned by its TLuaParticleSystem; the
// renderer reads the live list. Main thread only.
#pragma once

#include <cstdint>
#include <memory>

class TParticleCollection {
public:
    // The end of a list.
    static constexpr int32_t kNone = -1;

    TParticleCollection() = default;
    virtual ~TParticleCollection();
    TParticleCollection(const TParticleCollection&) = delete;
    TParticleCollection& operator=(const TParticleCollection&) = delete;

    // A pool of n records of `floats` floats each, in `buffer` (which stays the caller's) or, when
    // it is null, in a block of its own. Every record goes on the front of the free list in index
    // order, so the last record is taken first; no particle lives. False, leaving the collection
    // empty, for a negative n or floats, or when the records or links cannot be allocated.
    bool Reset(int n, int floats, float* buffer);
    // Frees the records unless they are external; no records, no particles.
    void Clear();

    int32_t GetLiveCount() const { return mCount[kLive]; }
    int32_t GetFreeCount() const { return mCount[kFree]; }
    int32_t GetRecordCount() const { return mRecordCount; }
    // Bytes from one record to the next.
    int32_t GetRecordStride() const { return mRecordStride; }
    float* GetRecords() const { return mRecords; }
    bool HasExternalRecords() const { return mExternal; }

    // The floats of record `index` (0 to the record count - 1).
    float* Record(int32_t index) const {
        return mRecords + static_cast<int64_t>(index) * (mRecordStride / 4);
    }
    // The lists, walked from their first record through Next until kNone. The live list has the
    // newest particle first.
    int32_t FirstLive() const { return mHead[kLive]; }
    int32_t FirstFree() const { return mHead[kFree]; }
    int32_t Next(int32_t index) const { return mNext[index]; }

    // Moves a free record to the front of the live list.
    void MakeLive(int32_t index);
    // Moves a live record to the front of the free list.
    void MakeFree(int32_t index);

private:
    enum : int { kLive = 0, kFree = 1 };

    void Unlink(int32_t index, int list);
    void PushFront(int32_t index, int list);

    float* mRecords = nullptr;
    // The block of mRecords when the collection owns it.
    std::unique_ptr<float[]> mOwnedRecords;
    int32_t mRecordCount = 0;
    int32_t mRecordStride = 0;
    bool mExternal = false;
    // Neighbours of each record in the list that holds it.
    std::unique_ptr<int32_t[]> mNext;
    std::unique_ptr<int32_t[]> mPrev;
    int32_t mHead[2] = {kNone, kNone};
    int32_t mCount[2] = {0, 0};
};
