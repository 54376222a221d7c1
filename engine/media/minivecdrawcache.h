// The glyph rasteriser's memory of what it drew: the spans of every glyph it rasterised, found
// again by the glyph's key (its outline and everything that changes its pixels), so that a glyph
// drawn again is replayed instead of rasterised. Bounded: once the cache and its spans take more
// than kBudgetBytes, the next new glyph empties both, and glyphs are rasterised again on demand.
// Owned by TQzMiniVecDraw; main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// One anti-aliased run of pixels on one pixel row, relative to the glyph's pixel position: pixels
// mStart up to (not including) mEnd of row mRow, coverage level mLevel of plane mPlane.
struct TMiniVecSpan {
    int16_t mStart;
    int16_t mEnd;
    int16_t mRow;
    uint8_t mLevel;
    uint8_t mPlane;
};
static_assert(sizeof(TMiniVecSpan) == 8);

// Everything a glyph's spans depend on. Floats compare by their bits, so a NaN key finds itself.
struct TMiniVecGlyphKey {
    const unsigned char* mOutline = nullptr;
    uint8_t mPhaseX = 0;
    uint8_t mPhaseY = 0;
    bool mSlant = false;
    float mScaleX = 1.0f;
    float mScaleY = 1.0f;
    float mStroke1 = 0.0f;
    float mStroke2 = 0.0f;
    float mCos = 1.0f;
    float mSin = 0.0f;

    bool SameAs(const TMiniVecGlyphKey& other) const;
};

class TMiniVecDrawCache {
public:
    // What the cache and its span blocks may hold before the next new glyph empties them: about
    // 500 000 spans, some 10 000 glyphs of 16-pixel text (50 spans each).
    static constexpr size_t kBudgetBytes = size_t{4} << 20;
    static constexpr int kBuckets = 2039;
    static constexpr int kBlockSpans = 8192;

    TMiniVecDrawCache();

    // Calls emit(span) for each recorded span of the key, in the order they were recorded; false
    // when the key is not cached.
    template <class F>
    bool Replay(const TMiniVecGlyphKey& key, F&& emit) const {
        const TRecord* record = Find(key);
        if (record == nullptr) {
            return false;
        }
        size_t block = record->mBlock;
        size_t index = record->mIndex;
        for (;;) {
            if (index == kBlockSpans) {
                ++block;
                index = 0;
            }
            const TMiniVecSpan& span = mBlocks[block][index++];
            if (span.mLevel == kEndLevel) {
                return true;
            }
            emit(span);
        }
    }

    // Starts recording the spans of a new key (emptying the cache first when it is past its
    // budget). A glyph whose spans alone pass the budget is not kept.
    void BeginRecord(const TMiniVecGlyphKey& key);
    void Record(const TMiniVecSpan& span);
    void EndRecord();
    // Forgets every glyph and frees the span blocks but one.
    void Clear();

    // Bytes held by records, buckets and span blocks.
    size_t GetBytes() const;
    int GetGlyphCount() const { return static_cast<int>(mRecords.size()); }
    // Spans stored, the glyphs' end marks included.
    size_t GetSpanCount() const { return size_t{mEndBlock} * kBlockSpans + mEndIndex; }
    // How often the budget emptied the cache.
    int GetClearCount() const { return mClears; }

private:
    // Level of the span that ends a glyph's spans.
    static constexpr uint8_t kEndLevel = 255;

    struct TRecord {
        TMiniVecGlyphKey mKey;
        uint32_t mBlock;
        uint32_t mIndex;
        // Next record of the bucket, or -1.
        int32_t mNext;
    };

    const TRecord* Find(const TMiniVecGlyphKey& key) const;
    static size_t BucketOf(const unsigned char* outline);
    void Append(const TMiniVecSpan& span);
    // Drops the glyph being recorded, which is the newest record and the head of its bucket.
    void AbandonRecord();

    std::vector<int32_t> mBuckets;
    std::vector<TRecord> mRecords;
    std::vector<std::unique_ptr<TMiniVecSpan[]>> mBlocks;
    // Where the next span goes.
    uint32_t mEndBlock = 0;
    uint32_t mEndIndex = 0;
    bool mRecording = false;
    size_t mRecordedSpans = 0;
    int mClears = 0;
};
