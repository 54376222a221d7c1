// The two readers of animation descriptions: the chunked ".anm" file and the XML file.

#include "engine/core/file.h"
#include "engine/core/log.h"
#include "engine/core/xml.h"
#include "engine/media/animatedtexture.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Reads the little-endian fields of a ".anm" file. Every read is checked against what is left of
// the file, so a damaged count or length fails the read instead of asking for memory the file
// cannot fill. The first failed read makes every later one fail too.
class TAnmFile {
public:
    explicit TAnmFile(TFile* file)
        : mFile(file), mLeft(std::max<int64_t>(0, static_cast<int64_t>(file->GetSize()) -
                                                      static_cast<int64_t>(file->Tell()))) {}

    bool Ok() const { return mOk; }

    int32_t ReadInt() {
        uint8_t bytes[4] = {};
        if (!ReadBytes(bytes, 4)) {
            return 0;
        }
        return static_cast<int32_t>(
            static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
    }

    float ReadFloat() {
        const uint32_t bits = static_cast<uint32_t>(ReadInt());
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // A length of 0 or less is the empty string.
    str ReadString() {
        const int32_t length = ReadInt();
        if (!mOk || length <= 0) {
            return str();
        }
        if (length > mLeft) {
            mOk = false;
            return str();
        }
        std::string buffer(static_cast<size_t>(length), '\0');
        if (!ReadBytes(buffer.data(), length)) {
            return str();
        }
        return str(buffer.data(), length);
    }

    // True when the next four bytes are `tag`; nothing is consumed otherwise, so an optional
    // chunk may be absent.
    bool ReadTag(const char* tag) {
        if (!mOk || mLeft < 4) {
            return false;
        }
        char bytes[4] = {};
        if (!ReadBytes(bytes, 4)) {
            return false;
        }
        return std::memcmp(bytes, tag, 4) == 0;
    }

    // A count of records of at least `recordSize` bytes each: negative counts and counts the rest
    // of the file cannot hold fail the read.
    int32_t ReadCount(int64_t recordSize) {
        const int32_t count = ReadInt();
        if (!mOk || count < 0 || count > mLeft / recordSize) {
            mOk = false;
            return 0;
        }
        return count;
    }

private:
    bool ReadBytes(void* buffer, int count) {
        if (!mOk || count > mLeft || FileRead(mFile, buffer, count) != count) {
            mOk = false;
            return false;
        }
        mLeft -= count;
        return true;
    }

    TFile* mFile;
    int64_t mLeft;
    bool mOk = true;
};

// The smallest frame record: six ints, six floats, an empty name and no anchors.
constexpr int64_t kMinFrameRecord = 6 * 4 + 6 * 4 + 4 + 4;
// The smallest anchor: two ints and an empty name.
constexpr int64_t kMinAnchorRecord = 2 * 4 + 4;

// Six numbers separated by blanks; fewer leave `out` as it was and answer false.
bool ParseTransform(const str& text, float out[6]) {
    float values[6];
    const char* cursor = text.CStr();
    for (float& value : values) {
        char* end = nullptr;
        value = std::strtof(cursor, &end);
        if (end == cursor) {
            return false;
        }
        cursor = end;
    }
    std::copy(values, values + 6, out);
    return true;
}

} // namespace

str TAnimatedTexture::MakeDefaultScript(int frameCount) {
    str script = "function DoAnim()\n    delay(60);\n";
    if (frameCount > 0) {
        script += "    frames{";
        for (int i = 1; i <= frameCount; ++i) {
            script += str::FromFormat(i == 1 ? "%d" : ",%d", i);
        }
        script += "};\n";
    }
    script += "end\n";
    return script;
}

bool TAnimatedTexture::ReadAnm(const str& fileName) {
    TFile* file = FileOpen(fileName.CStr(), kModeReadBinary);
    if (file == nullptr) {
        return false;
    }
    TAnmFile in(file);
    bool read = false;
    if (in.ReadTag("ANIM")) {
        in.ReadInt();
        const int32_t version = in.ReadInt();
        mAnim.mName = in.ReadString();
        mAnim.mSource = in.ReadString();
        if (in.ReadTag("IMGN")) {
            mAnim.mImageRegX = in.ReadInt();
            mAnim.mImageRegY = in.ReadInt();
            mAnim.mImageWidth = in.ReadInt();
            mAnim.mImageHeight = in.ReadInt();
            if (version == 1) {
                for (int i = 0; i < 4; ++i) {
                    in.ReadFloat();
                }
            }
            mAnim.mImageName = in.ReadString();
            mAnim.mMaskName = in.ReadString();
            if (in.ReadTag("FRMS")) {
                const int64_t frameRecord = kMinFrameRecord + (version > 1 ? 4 : 0);
                const int32_t count = in.ReadCount(frameRecord);
                mAnim.mFrames.clear();
                mAnim.mFrames.resize(static_cast<size_t>(count));
                for (TAnimFrame& frame : mAnim.mFrames) {
                    frame.mRegX = in.ReadInt();
                    frame.mRegY = in.ReadInt();
                    frame.mX = in.ReadInt();
                    frame.mY = in.ReadInt();
                    frame.mW = in.ReadInt();
                    frame.mH = in.ReadInt();
                    if (version > 1) {
                        frame.mAlpha = in.ReadFloat();
                    }
                    for (float& value : frame.mTransform) {
                        value = in.ReadFloat();
                    }
                    frame.mName = in.ReadString();
                    const int32_t anchors = in.ReadCount(kMinAnchorRecord);
                    frame.mAnchors.resize(static_cast<size_t>(anchors));
                    for (TAnimAnchor& anchor : frame.mAnchors) {
                        anchor.mX = in.ReadInt();
                        anchor.mY = in.ReadInt();
                        anchor.mName = in.ReadString();
                    }
                    mAnim.mMaxFrameWidth = std::max(mAnim.mMaxFrameWidth, frame.mW);
                    mAnim.mMaxFrameHeight = std::max(mAnim.mMaxFrameHeight, frame.mH);
                }
                if (in.Ok() && in.ReadTag("SCRP")) {
                    mAnim.mScript = in.ReadString();
                } else {
                    mAnim.mScript = MakeDefaultScript(count);
                }
                read = in.Ok();
            }
        }
    }
    FileClose(file);
    return read;
}

bool TAnimatedTexture::ReadXml(const str& fileName) {
    TXmlNode root;
    if (!root.LoadFile(fileName.CStr())) {
        return false;
    }
    const char* path = mAnim.mPath.CStr();
    TXmlNode* sequence = root.FindChild("sequence");
    if (sequence == nullptr) {
        Log("Animation %s does not contain a sequence node", path);
        return false;
    }
    mAnim.mName = sequence->GetAttribute("name");
    mAnim.mSource = sequence->GetAttribute("source");

    bool read = true;
    if (TXmlNode* image = sequence->FindChild("img")) {
        const str regX = image->GetAttribute("regx");
        if (regX.Length() != 0) {
            mAnim.mImageRegX = regX.ToInt();
            mAnim.mImageRegY = image->GetAttribute("regy").ToInt();
        }
        mAnim.mImageWidth = image->GetAttribute("w").ToInt();
        mAnim.mImageHeight = image->GetAttribute("h").ToInt();
        mAnim.mImageName = image->GetAttribute("name");
        mAnim.mMaskName = image->GetAttribute("mask");
    } else {
        Log("Animation %s does not contain an img node", path);
        read = false;
    }

    TXmlNode* frameList = sequence->FindChild("framelist");
    if (frameList == nullptr) {
        Log("Animation %s does not contain a framelist node", path);
        return false;
    }
    size_t count = 0;
    str name;
    TXmlNode* child = nullptr;
    frameList->ResetChildren();
    while (frameList->NextChild(name, child)) {
        count += name == "frame" ? 1 : 0;
    }
    if (count == 0) {
        Log("Animation %s does not contain any frames!", path);
        return false;
    }
    mAnim.mFrames.clear();
    mAnim.mFrames.resize(count);
    size_t index = 0;
    frameList->ResetChildren();
    while (frameList->NextChild(name, child)) {
        if (!(name == "frame")) {
            continue;
        }
        TAnimFrame& frame = mAnim.mFrames[index];
        const TAnimFrame* previous = index > 0 ? &mAnim.mFrames[index - 1] : nullptr;
        ++index;
        frame.mX = child->GetAttribute("x").ToInt();
        frame.mY = child->GetAttribute("y").ToInt();
        frame.mW = child->GetAttribute("w").ToInt();
        frame.mH = child->GetAttribute("h").ToInt();
        frame.mName = child->GetAttribute("name");
        const str alpha = child->GetAttribute("alpha");
        frame.mAlpha = alpha.Length() != 0 ? alpha.ToFloat() : 1.0f;
        const str regX = child->GetAttribute("regx");
        if (regX.Length() != 0) {
            frame.mRegX = regX.ToInt();
            frame.mRegY = child->GetAttribute("regy").ToInt();
        } else if (previous != nullptr) {
            frame.mRegX = previous->mRegX;
            frame.mRegY = previous->mRegY;
        }
        // Fewer than six numbers count as none.
        if (!ParseTransform(child->GetAttribute("xform"), frame.mTransform) &&
            previous != nullptr) {
            std::copy(previous->mTransform, previous->mTransform + 6, frame.mTransform);
        }
        str anchorName;
        TXmlNode* anchorNode = nullptr;
        child->ResetChildren();
        while (child->NextChild(anchorName, anchorNode)) {
            if (anchorName == "anchor") {
                frame.mAnchors.push_back(TAnimAnchor{anchorNode->GetAttribute("name"),
                                                     anchorNode->GetAttribute("x").ToInt(),
                                                     anchorNode->GetAttribute("y").ToInt()});
            }
        }
        mAnim.mMaxFrameWidth = std::max(mAnim.mMaxFrameWidth, frame.mW);
        mAnim.mMaxFrameHeight = std::max(mAnim.mMaxFrameHeight, frame.mH);
    }

    if (TXmlNode* script = sequence->FindChild("script")) {
        const str text = script->GetAttribute("luascript");
        mAnim.mScript = text.Length() != 0 ? text : script->GetText();
    } else {
        mAnim.mScript = MakeDefaultScript(static_cast<int>(count));
    }
    return read;
}
