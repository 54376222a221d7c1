#include "engine/media/minivecfont.h"

#include "engine/core/log.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kHeaderSize = 12;
constexpr size_t kRecordSize = 18;
constexpr uint32_t kNoOutline = UINT32_MAX;

// Record fields.
constexpr int kOffsetX = 4;
constexpr int kOffsetY = 6;
constexpr int kTop = 8;
constexpr int kBottom = 10;
constexpr int kAdvance = 12;
constexpr int kOutline = 14;

// Share of a text cell above the ascent and below the descent.
constexpr float kCellAbove = 0.15f;
constexpr float kCellBelow = 0.05f;

uint32_t Le32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

int Le16Signed(const unsigned char* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

float Units(int value) {
    return static_cast<float>(value) / 128.0f;
}

// Checks command streams against the buffer, remembering the verdict for every command start it
// passes, so that glyphs sharing or overlapping streams cost one walk in all.
class TOutlineChecker {
public:
    explicit TOutlineChecker(const std::vector<unsigned char>& data)
        : mData(data), mVerdict(data.size(), kUnknown) {}

    // Whether the stream at `start` holds only commands with complete operands and ends with
    // kMiniVecEnd inside the buffer.
    bool Check(size_t start) {
        mPath.clear();
        uint8_t verdict = kBad;
        for (size_t at = start; at < mData.size();) {
            if (mVerdict[at] != kUnknown) {
                verdict = mVerdict[at];
                break;
            }
            mPath.push_back(at);
            // A command whose operands run past the end leaves the loop at its next step.
            const auto length = static_cast<size_t>(MiniVecCommandLength(mData[at]));
            if (length == 0) {
                break;
            }
            if (mData[at] == kMiniVecEnd) {
                verdict = kGood;
                break;
            }
            at += length;
        }
        for (const size_t at : mPath) {
            mVerdict[at] = verdict;
        }
        return verdict == kGood;
    }

private:
    enum : uint8_t { kUnknown, kGood, kBad };

    const std::vector<unsigned char>& mData;
    std::vector<uint8_t> mVerdict;
    std::vector<size_t> mPath;
};

} // namespace

int MiniVecCommandLength(unsigned char command) {
    switch (command) {
    case kMiniVecContour:
    case kMiniVecEnd:
        return 1;
    case kMiniVecFill:
    case kMiniVecFillAlt:
        return 2;
    case kMiniVecMove:
    case kMiniVecLine:
        return 5;
    case kMiniVecCurve:
        return 9;
    case kMiniVecDefColour:
        return 4;
    default:
        return 0;
    }
}

float MiniVecCellFraction() {
    return 1.0f - kCellAbove - kCellBelow;
}

std::unique_ptr<TMiniVecFont> TMiniVecFont::Load(std::vector<unsigned char> data) {
    std::unique_ptr<TMiniVecFont> font(new TMiniVecFont());
    font->mData = std::move(data);
    font->Parse();
    return font;
}

void TMiniVecFont::Parse() {
    const size_t size = mData.size();
    if (size < kHeaderSize || std::memcmp(mData.data(), "MVC4", 4) != 0) {
        Log("TMiniVecFont::Load: not a vector font (no \"MVC4\"); it has no glyphs");
        return;
    }
    const int count = mData[4] | mData[5] << 8;
    if (static_cast<size_t>(count) > (size - kHeaderSize) / kRecordSize) {
        Log("TMiniVecFont::Load: %d glyph records do not fit in %zu bytes; the font has no glyphs",
            count, size);
        return;
    }
    mCount = count;
    mCodes.resize(static_cast<size_t>(count));
    mOutlines.resize(static_cast<size_t>(count));
    TOutlineChecker checker(mData);
    int damaged = 0;
    for (int i = 0; i < count; ++i) {
        const unsigned char* record = mData.data() + kHeaderSize + kRecordSize * i;
        mCodes[i] = Le32(record);
        const uint32_t outline = Le32(record + kOutline);
        if (checker.Check(outline)) {
            mOutlines[i] = outline;
        } else {
            mOutlines[i] = kNoOutline;
            ++damaged;
        }
    }
    if (damaged > 0) {
        Log("TMiniVecFont::Load: %d of %d glyph outlines are damaged; those glyphs do not draw",
            damaged, count);
    }

    const int w = FindGlyph('W');
    if (w >= 0) {
        mAscent = Units(-RecordValue(w, kTop));
    } else {
        bool any = false;
        for (int i = 0; i < count; ++i) {
            if (mCodes[i] < 128) {
                const float ascent = Units(-RecordValue(i, kTop));
                mAscent = any ? std::max(mAscent, ascent) : ascent;
                any = true;
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        if (mCodes[i] < 128 && mCodes[i] != '_') {
            mDescent = std::max(mDescent, Units(RecordValue(i, kBottom)));
        }
    }

    // A glyph reaching above the ascent or below the descent by more than the cell's margin is
    // shrunk into its cell. A font without height (ascent and descent 0) has no cell to fit.
    const float above = ComputeCellScale(true) + mAscent;
    const float below = ComputeCellScale(false) + mDescent;
    mScales.assign(static_cast<size_t>(count), 1.0f);
    if (above == 0.0f || below == 0.0f) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        const float a = Units(-RecordValue(i, kTop)) / above;
        const float c = Units(RecordValue(i, kBottom)) / below;
        if (a > 1.0f || c > 1.0f) {
            mScales[i] = 1.0f / std::max(a, c);
        }
    }
}

void TMiniVecFont::Release() {
    *this = TMiniVecFont();
}

int TMiniVecFont::FindGlyph(uint32_t code) const {
    int low = 0;
    int high = mCount - 1;
    while (low <= high) {
        const int middle = low + (high - low) / 2;
        if (mCodes[middle] == code) {
            return middle;
        }
        if (mCodes[middle] < code) {
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return -1;
}

const unsigned char* TMiniVecFont::GetGlyphOutline(int index) const {
    if (index < 0 || index >= mCount || mOutlines[index] == kNoOutline) {
        return nullptr;
    }
    return mData.data() + mOutlines[index];
}

int TMiniVecFont::RecordValue(int index, int field) const {
    return Le16Signed(mData.data() + kHeaderSize + kRecordSize * index + field);
}

float TMiniVecFont::GetGlyphAdvance(int index) const {
    return index < 0 || index >= mCount ? 0.0f : Units(RecordValue(index, kAdvance));
}

float TMiniVecFont::GetGlyphOffsetX(int index) const {
    return index < 0 || index >= mCount ? 0.0f : Units(RecordValue(index, kOffsetX));
}

float TMiniVecFont::GetGlyphOffsetY(int index) const {
    return index < 0 || index >= mCount ? 0.0f : Units(RecordValue(index, kOffsetY));
}

float TMiniVecFont::GetGlyphScale(int index) const {
    return index < 0 || index >= mCount ? 1.0f : mScales[index];
}

float TMiniVecFont::ComputeCellScale(bool above) const {
    return (above ? kCellAbove : kCellBelow) * (mAscent + mDescent) / MiniVecCellFraction();
}
