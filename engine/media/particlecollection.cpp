#include "engine/media/particlecollection.h"

#include <new>

TParticleCollection::~TParticleCollection() = default;

bool TParticleCollection::Reset(int n, int floats, float* buffer) {
    Clear();
    if (n < 0 || floats < 0 || floats > INT32_MAX / 4) {
        return false;
    }
    if (buffer == nullptr) {
        mOwnedRecords.reset(
            new (std::nothrow) float[static_cast<size_t>(n) * static_cast<size_t>(floats)]);
        if (mOwnedRecords == nullptr) {
            return false;
        }
        buffer = mOwnedRecords.get();
    }
    mNext.reset(new (std::nothrow) int32_t[static_cast<size_t>(n)]);
    mPrev.reset(new (std::nothrow) int32_t[static_cast<size_t>(n)]);
    if (mNext == nullptr || mPrev == nullptr) {
        Clear();
        return false;
    }
    mRecords = buffer;
    mExternal = mOwnedRecords == nullptr;
    mRecordCount = n;
    mRecordStride = floats * 4;
    for (int32_t i = 0; i < n; ++i) {
        PushFront(i, kFree);
    }
    return true;
}

void TParticleCollection::Clear() {
    mOwnedRecords.reset();
    mRecords = nullptr;
    mExternal = false;
    mRecordCount = 0;
    mRecordStride = 0;
    mNext.reset();
    mPrev.reset();
    mHead[kLive] = mHead[kFree] = kNone;
    mCount[kLive] = mCount[kFree] = 0;
}

void TParticleCollection::MakeLive(int32_t index) {
    Unlink(index, kFree);
    PushFront(index, kLive);
}

void TParticleCollection::MakeFree(int32_t index) {
    Unlink(index, kLive);
    PushFront(index, kFree);
}

void TParticleCollection::Unlink(int32_t index, int list) {
    const int32_t next = mNext[index];
    const int32_t prev = mPrev[index];
    if (prev != kNone) {
        mNext[prev] = next;
    } else {
        mHead[list] = next;
    }
    if (next != kNone) {
        mPrev[next] = prev;
    }
    --mCount[list];
}

void TParticleCollection::PushFront(int32_t index, int list) {
    const int32_t head = mHead[list];
    mPrev[index] = kNone;
    mNext[index] = head;
    if (head != kNone) {
        mPrev[head] = index;
    }
    mHead[list] = index;
    ++mCount[list];
}
