#include "engine/media/minivecdrawcache.h"

#include <bit>
#include <cstdint>

namespace {

bool MiniVecSameBits(float a, float b) {
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

} // namespace

bool TMiniVecGlyphKey::SameAs(const TMiniVecGlyphKey& other) const {
    return mOutline == other.mOutline && mPhaseX == other.mPhaseX && mPhaseY == other.mPhaseY &&
           mSlant == other.mSlant && MiniVecSameBits(mScaleX, other.mScaleX) &&
           MiniVecSameBits(mScaleY, other.mScaleY) && MiniVecSameBits(mStroke1, other.mStroke1) &&
           MiniVecSameBits(mStroke2, other.mStroke2) && MiniVecSameBits(mCos, other.mCos) &&
           MiniVecSameBits(mSin, other.mSin);
}

TMiniVecDrawCache::TMiniVecDrawCache() : mBuckets(kBuckets, -1) {
    mBlocks.push_back(std::make_unique<TMiniVecSpan[]>(kBlockSpans));
}

size_t TMiniVecDrawCache::BucketOf(const unsigned char* outline) {
    return static_cast<size_t>(reinterpret_cast<uintptr_t>(outline) % kBuckets);
}

const TMiniVecDrawCache::TRecord* TMiniVecDrawCache::Find(const TMiniVecGlyphKey& key) const {
    for (int32_t i = mBuckets[BucketOf(key.mOutline)]; i >= 0; i = mRecords[i].mNext) {
        if (mRecords[i].mKey.SameAs(key)) {
            return &mRecords[i];
        }
    }
    return nullptr;
}

void TMiniVecDrawCache::BeginRecord(const TMiniVecGlyphKey& key) {
    if (GetBytes() > kBudgetBytes) {
        Clear();
        ++mClears;
    }
    const size_t bucket = BucketOf(key.mOutline);
    mRecords.push_back(TRecord{key, mEndBlock, mEndIndex, mBuckets[bucket]});
    mBuckets[bucket] = static_cast<int32_t>(mRecords.size() - 1);
    mRecording = true;
    mRecordedSpans = 0;
}

void TMiniVecDrawCache::Record(const TMiniVecSpan& span) {
    if (!mRecording) {
        return;
    }
    if (++mRecordedSpans * sizeof(TMiniVecSpan) > kBudgetBytes) {
        AbandonRecord();
        return;
    }
    Append(span);
}

void TMiniVecDrawCache::EndRecord() {
    if (!mRecording) {
        return;
    }
    Append(TMiniVecSpan{0, 0, 0, kEndLevel, 0});
    mRecording = false;
}

void TMiniVecDrawCache::AbandonRecord() {
    const TRecord& record = mRecords.back();
    mBuckets[BucketOf(record.mKey.mOutline)] = record.mNext;
    mEndBlock = record.mBlock;
    mEndIndex = record.mIndex;
    mRecords.pop_back();
    mRecording = false;
}

void TMiniVecDrawCache::Append(const TMiniVecSpan& span) {
    if (mEndIndex == kBlockSpans) {
        ++mEndBlock;
        mEndIndex = 0;
        if (mEndBlock == mBlocks.size()) {
            mBlocks.push_back(std::make_unique<TMiniVecSpan[]>(kBlockSpans));
        }
    }
    mBlocks[mEndBlock][mEndIndex++] = span;
}

void TMiniVecDrawCache::Clear() {
    mRecords.clear();
    mRecords.shrink_to_fit();
    mBuckets.assign(kBuckets, -1);
    mBlocks.resize(1);
    mEndBlock = 0;
    mEndIndex = 0;
    mRecording = false;
}

size_t TMiniVecDrawCache::GetBytes() const {
    return mRecords.capacity() * sizeof(TRecord) + mBuckets.size() * sizeof(int32_t) +
           mBlocks.size() * kBlockSpans * sizeof(TMiniVecSpan);
}
