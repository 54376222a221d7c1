#include "engine/core/xml.h"

#include "engine/core/file.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <zlib.h>

namespace {

struct TEntity {
    char mChar;
    const char* mName; // after the '&', with its ';'
    int mLength;
};

const TEntity kEntities[] = {
    {'&', "amp;", 4}, {'<', "lt;", 3}, {'>', "gt;", 3}, {'"', "quot;", 5}, {'\'', "apos;", 5},
};

bool IsSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsTokenChar(int c) {
    return c == '<' || c == '>' || c == '=';
}

// Decodes in place; returns whether the first character came from an entity.
bool Unescape(std::string& text) {
    if (text.find('&') == std::string::npos) {
        return false;
    }
    bool first = false;
    size_t out = 0;
    size_t in = 0;
    const size_t size = text.size();
    while (in < size) {
        const char c = text[in];
        if (c == '&' && in + 1 < size && text[in + 1] == '#') {
            // "&#" digits ";" or "&#x" hex digits ";", the ';' right after the digits.
            size_t p = in + 2;
            const bool hex = p < size && (text[p] == 'x' || text[p] == 'X');
            if (hex) {
                ++p;
            }
            const size_t digitsStart = p;
            unsigned value = 0;
            while (p < size) {
                const char d = text[p];
                unsigned digit;
                if (d >= '0' && d <= '9') {
                    digit = static_cast<unsigned>(d - '0');
                } else if (hex && d >= 'a' && d <= 'f') {
                    digit = static_cast<unsigned>(d - 'a' + 10);
                } else if (hex && d >= 'A' && d <= 'F') {
                    digit = static_cast<unsigned>(d - 'A' + 10);
                } else {
                    break;
                }
                value = value * (hex ? 16u : 10u) + digit; // only the low byte is kept
                ++p;
            }
            if (p > digitsStart && p < size && text[p] == ';') {
                if (out == 0) {
                    first = true;
                }
                text[out++] = static_cast<char>(value & 0xFF);
                in = p + 1;
                continue;
            }
        } else if (c == '&') {
            const TEntity* match = nullptr;
            for (const TEntity& entity : kEntities) {
                if (size - in - 1 >= static_cast<size_t>(entity.mLength) &&
                    text.compare(in + 1, static_cast<size_t>(entity.mLength), entity.mName) == 0) {
                    match = &entity;
                    break;
                }
            }
            if (match != nullptr) {
                if (out == 0) {
                    first = true;
                }
                text[out++] = match->mChar;
                in += 1 + static_cast<size_t>(match->mLength);
                continue;
            }
        }
        text[out++] = c;
        ++in;
    }
    text.resize(out);
    return first;
}

void EscapeInto(std::string& out, const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 32 || c > 127) {
            out += "&#";
            out += std::to_string(c);
            out += ';';
            continue;
        }
        const TEntity* match = nullptr;
        for (const TEntity& entity : kEntities) {
            if (entity.mChar == static_cast<char>(c)) {
                match = &entity;
            }
        }
        if (match != nullptr) {
            out += '&';
            out += match->mName;
        } else {
            out += static_cast<char>(c);
        }
    }
}

void ReadToken(TGetChar& source, std::string& token, bool& quoted, bool& startsWithEntity) {
    token.clear();
    quoted = false;
    startsWithEntity = false;
    unsigned char bytes[4];
    int stored = 0;
    int consumed = 0;
    int lead;
    do {
        lead = source.ReadUtf8Char(bytes, stored, consumed);
    } while (lead >= 0 && IsSpace(lead));
    if (lead < 0) {
        return;
    }
    if (IsTokenChar(lead)) {
        token.assign(1, static_cast<char>(lead));
        return;
    }
    if (lead == '"') {
        quoted = true;
    } else {
        source.UngetBytes(bytes, consumed);
    }
    for (;;) {
        lead = source.ReadUtf8Char(bytes, stored, consumed);
        if (lead < 0) {
            break;
        }
        if (quoted) {
            if (lead == '"') {
                break;
            }
        } else if (IsSpace(lead) || IsTokenChar(lead)) {
            source.UngetBytes(bytes, consumed);
            // "name/>" reads as "name", "/", ">".
            if (lead == '>' && token.size() > 1 && token.back() == '/') {
                source.UngetChar('/');
                token.pop_back();
            }
            break;
        }
        token.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(stored));
    }
    startsWithEntity = Unescape(token);
}

str MakeStr(const std::string& text) {
    return str(text.data(), static_cast<int>(text.size()));
}

class TParser {
public:
    explicit TParser(TGetChar& source) : mSource(source) {}

    void Content(TXmlNode& node, int depth);

private:
    TXmlNode* Tag(TXmlNode& node, bool& closed);

    TGetChar& mSource;
    std::string mToken;
    bool mStop = false;
};

void TParser::Content(TXmlNode& node, int depth) {
    bool quoted = false;
    bool entity = false;
    while (!mStop) {
        ReadToken(mSource, mToken, quoted, entity);
        if (mToken.empty()) {
            return;
        }
        if (mToken[0] != '<' || entity) {
            node.AddText(MakeStr(mToken), static_cast<int>(mToken.size()));
            continue;
        }
        if (depth >= TXmlNode::kMaxDepth) {
            mStop = true;
            return;
        }
        bool closed = false;
        TXmlNode* child = Tag(node, closed);
        if (child != nullptr) {
            Content(*child, depth + 1);
        }
        if (closed) {
            return;
        }
    }
}

TXmlNode* TParser::Tag(TXmlNode& node, bool& closed) {
    enum class TState { kName, kAttribute, kValue };
    TState state = TState::kName;
    std::string pending;
    bool special = false;
    TXmlNode* child = nullptr;
    bool quoted = false;
    bool entity = false;
    for (;;) {
        ReadToken(mSource, mToken, quoted, entity);
        if (mToken.empty() && !(state == TState::kValue && quoted)) {
            return nullptr;
        }
        if (!mToken.empty() && mToken[0] == '>' && !entity) {
            if ((!pending.empty() && (pending[0] == '/' || pending[0] == '?')) || special) {
                (child != nullptr ? *child : node).OnEndTag(MakeStr(mToken));
                return nullptr;
            }
            return child;
        }
        switch (state) {
        case TState::kName:
            if (!mToken.empty() && mToken[0] == '/' && !entity) {
                closed = true;
                node.OnEndTag(MakeStr(mToken));
            } else {
                child = node.CreateChild(MakeStr(mToken));
                special =
                    mToken == "?xml" || mToken == "!DOCTYPE" || mToken.compare(0, 3, "!--") == 0;
            }
            state = TState::kAttribute;
            break;
        case TState::kAttribute:
            if (mToken == "=" && !entity) {
                state = TState::kValue;
            } else {
                pending = mToken;
            }
            break;
        case TState::kValue:
            if (child != nullptr) {
                child->AddAttribute(MakeStr(pending), MakeStr(mToken), quoted);
                pending.clear();
                state = TState::kAttribute;
            }
            break;
        }
    }
}

uint32_t ReadLe32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

void TGetChar::UngetBytes(const unsigned char* bytes, int count) {
    for (int i = count - 1; i >= 0; --i) {
        if (UngetChar(bytes[i]) < 0) {
            return;
        }
    }
}

int TGetChar::ReadUtf8Char(unsigned char* bytes, int& stored, int& consumed) {
    stored = 0;
    consumed = 0;
    const int lead = GetChar();
    if (lead < 0) {
        return -1;
    }
    bytes[stored++] = static_cast<unsigned char>(lead);
    ++consumed;
    const int more = lead >= 240 ? 3 : lead >= 224 ? 2 : lead >= 192 ? 1 : 0;
    for (int i = 0; i < more; ++i) {
        const int c = GetChar();
        if (c < 0) {
            bytes[stored++] = 255;
        } else {
            bytes[stored++] = static_cast<unsigned char>(c);
            ++consumed;
        }
    }
    return lead;
}

TGetCharFile::TGetCharFile(const char* name) : mName(name) {
    mFile = FileOpen(name, kModeReadBinary);
}

TGetCharFile::~TGetCharFile() {
    FileClose(mFile);
}

int TGetCharFile::UngetChar(int c) {
    if (mFile == nullptr || FileTell(mFile) <= 0) {
        return -1;
    }
    FileSeek(mFile, -1, kSeekCurrent);
    return c;
}

int TGetCharFile::GetChar() {
    return mFile == nullptr ? -1 : FileGetc(mFile);
}

void TGetCharFile::Rewind() {
    FileSeek(mFile, 0, kSeekStart);
}

void TGetCharFile::Reopen() {
    if (mFile == nullptr) {
        return;
    }
    FileClose(mFile);
    mFile = FileOpen(mName.CStr(), kModeReadBinary);
}

int TGetCharString::UngetChar(int c) {
    if (mPosition <= 0) {
        return -1;
    }
    --mPosition;
    return c;
}

int TGetCharString::GetChar() {
    if (mText == nullptr || mPosition >= mLength) {
        return -1;
    }
    return static_cast<unsigned char>(mText[mPosition++]);
}

TXmlNode::TXmlNode(const char* name) : mName(name) {}

TXmlNode::~TXmlNode() = default;

TXmlNode* TXmlNode::CreateChild(const str& name) {
    mChildren.push_back(std::make_unique<TXmlNode>());
    mChildren.back()->mName = name; // shares the token's buffer
    return mChildren.back().get();
}

void TXmlNode::OnEndTag(const str& /*token*/) {}

void TXmlNode::AddText(const str& token, int length) {
    const int available = token.Capacity() > 0 ? token.Capacity() - 1 : 0;
    length = std::clamp(length, 0, available);
    if (mTextLength != 0) {
        mTextLength = mText.WriteAt(mTextLength, " ", 1, true);
    }
    mTextLength = mText.WriteAt(mTextLength, token.CStr(), length, true);
}

void TXmlNode::AddAttribute(const str& name, const str& value, bool quoted) {
    auto attribute = std::make_unique<TXmlAttribute>();
    attribute->mName = name;
    attribute->mValue = value;
    attribute->mQuoted = quoted;
    mAttributes.push_back(std::move(attribute));
}

bool TXmlNode::LoadFile(const char* name) {
    TGetCharFile source(name);
    if (!source.IsOpen()) {
        return false;
    }
    char magic[4] = {};
    if (FileRead(source.GetFile(), magic, 4) == 4 && std::memcmp(magic, "ZXML", 4) == 0) {
        source.Reopen();
        TFile* file = source.GetFile();
        if (file == nullptr) {
            return false;
        }
        FileSeek(file, 0, kSeekStart);
        const int size = file->GetSize();
        std::vector<unsigned char> data(static_cast<size_t>(std::max(size, 0)));
        if (FileRead(file, data.data(), size) != size) {
            return false;
        }
        return LoadCompressed(data.data(), data.size());
    }
    FileSeek(source.GetFile(), 0, kSeekStart);
    XmlParseContent(*this, source);
    return true;
}

bool TXmlNode::Parse(const char* text) {
    return text != nullptr && Parse(text, std::strlen(text));
}

bool TXmlNode::Parse(const char* text, size_t length) {
    if (text == nullptr) {
        return false;
    }
    if (length >= 4 && std::memcmp(text, "ZXML", 4) == 0) {
        return LoadCompressed(text, length);
    }
    const int usable = static_cast<int>(std::min<size_t>(length, 0x7FFFFFFF));
    TGetCharString source(text, usable);
    XmlParseContent(*this, source);
    return true;
}

bool TXmlNode::LoadCompressed(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (bytes == nullptr || size < 12 || std::memcmp(bytes, "ZXML", 4) != 0) {
        return false;
    }
    const uint32_t compressedSize = ReadLe32(bytes + 4);
    const uint32_t plainSize = ReadLe32(bytes + 8);
    // zlib never expands more than about 1032 to 1; a larger claim is a damaged header.
    if (compressedSize > size - 12 || plainSize > 0x7FFFFFFFu ||
        static_cast<uint64_t>(plainSize) > static_cast<uint64_t>(compressedSize) * 1032u + 64u) {
        return false;
    }
    if (plainSize == 0) {
        return true; // an empty document: nothing to read
    }
    std::vector<unsigned char> plain(plainSize);
    uLongf produced = plainSize;
    const int status = uncompress(plain.data(), &produced, bytes + 12, compressedSize);
    if (status != Z_OK && status != Z_BUF_ERROR) {
        return false;
    }
    // Z_BUF_ERROR: the stated plain size was too small; the text that fitted is read.
    TGetCharString source(reinterpret_cast<const char*>(plain.data()), static_cast<int>(produced));
    XmlParseContent(*this, source);
    return true;
}

TXmlNode* TXmlNode::FindChild(const char* name) const {
    for (const auto& child : mChildren) {
        if (std::strcmp(child->mName.CStr(), name) == 0) {
            return child.get();
        }
    }
    return nullptr;
}

bool TXmlNode::NextChild(str& name, TXmlNode*& child) {
    if (mChildCursor >= mChildren.size()) {
        return false;
    }
    child = mChildren[mChildCursor++].get();
    name = child->mName;
    return true;
}

str TXmlNode::GetAttribute(const char* name, bool* quoted) const {
    for (const auto& attribute : mAttributes) {
        if (std::strcmp(attribute->mName.CStr(), name) == 0) {
            if (quoted != nullptr) {
                *quoted = attribute->mQuoted;
            }
            return attribute->mValue;
        }
    }
    return str();
}

bool TXmlNode::NextAttribute(str& name, str& value) {
    if (mAttributeCursor >= mAttributes.size()) {
        return false;
    }
    const TXmlAttribute& attribute = *mAttributes[mAttributeCursor++];
    name = attribute.mName;
    value = attribute.mValue;
    return true;
}

TXmlNode* TXmlNode::AddChild(const char* name) {
    mChildren.push_back(std::make_unique<TXmlNode>(name));
    return mChildren.back().get();
}

void TXmlNode::RemoveChild(TXmlNode* child) {
    auto found =
        std::find_if(mChildren.begin(), mChildren.end(),
                     [child](const std::unique_ptr<TXmlNode>& c) { return c.get() == child; });
    if (found != mChildren.end()) {
        mChildren.erase(found);
    }
}

void TXmlNode::SetAttribute(const char* name, const char* value) {
    for (auto& attribute : mAttributes) {
        if (std::strcmp(attribute->mName.CStr(), name) == 0) {
            attribute->mValue = value;
            attribute->mQuoted = true;
            return;
        }
    }
    AddAttribute(str(name), str(value), true);
}

void TXmlNode::SetAttribute(const char* name, int value) {
    SetAttribute(name, str::FromFormat("%d", value).CStr());
}

str TXmlNode::ToString() {
    str out;
    out.Reserve(mSizeHint);
    int length = 0;
    Write(out, length, 0);
    if (length > mSizeHint) {
        mSizeHint = length + 1;
    }
    return out;
}

void TXmlNode::Write(str& out, int& length, int indent) const {
    const std::string pad(static_cast<size_t>(std::max(indent, 0)), ' ');
    std::string part = pad + "<" + mName.CStr();
    const std::string attributePad(pad.size() + 4, ' ');
    for (const auto& attribute : mAttributes) {
        part += '\n';
        part += attributePad;
        EscapeInto(part, attribute->mName.CStr(), static_cast<size_t>(attribute->mName.Length()));
        part += '=';
        if (attribute->mQuoted) {
            part += '"';
        }
        EscapeInto(part, attribute->mValue.CStr(), static_cast<size_t>(attribute->mValue.Length()));
        if (attribute->mQuoted) {
            part += '"';
        }
    }
    part += ">\n";
    if (mTextLength != 0) {
        part += pad;
        EscapeInto(part, mText.CStr(), static_cast<size_t>(mTextLength));
        part += '\n';
    }
    length = out.WriteAt(length, part.data(), static_cast<int>(part.size()), true);
    for (const auto& child : mChildren) {
        child->Write(out, length, indent + 4);
    }
    part = pad + "</";
    EscapeInto(part, mName.CStr(), static_cast<size_t>(mName.Length()));
    part += ">\n";
    length = out.WriteAt(length, part.data(), static_cast<int>(part.size()), true);
}

str XmlReadToken(TGetChar& source, bool& quoted, bool& startsWithEntity, int& length) {
    std::string token;
    ReadToken(source, token, quoted, startsWithEntity);
    length = static_cast<int>(token.size());
    return MakeStr(token);
}

void XmlParseContent(TXmlNode& node, TGetChar& source) {
    TParser parser(source);
    parser.Content(node, 0);
}

str XmlEscape(const char* text) {
    if (text == nullptr) {
        return str();
    }
    std::string out;
    EscapeInto(out, text, std::strlen(text));
    return MakeStr(out);
}

void XmlUnescape(str& text, int& length, bool* startsWithEntity) {
    std::string buffer(text.CStr(), static_cast<size_t>(text.Length()));
    const bool first = Unescape(buffer);
    if (startsWithEntity != nullptr) {
        *startsWithEntity = first;
    }
    length = static_cast<int>(buffer.size());
    text = MakeStr(buffer);
}

void XmlUnescape(str& text) {
    int length = 0;
    XmlUnescape(text, length, nullptr);
}
