// The engine's small XML reader and writer. Documents are read into a tree of TXmlNode elements
// by a forgiving tokenizer that never reports an error and builds whatever tree the tokens give;
// files may be plain text or the zlib-compressed "ZXML" form. Trees are written back as indented
// text. A tree belongs to one thread; nodes own their children and attributes.
#pragma once

#include "engine/core/str.h"

#include <cstddef>
#include <memory>
#include <vector>

class TFile;

class TXmlAttribute {
public:
    str mName;
    str mValue;
    bool mQuoted = false; // written between double quotes, or set by SetAttribute
};

// A source of bytes for the tokenizer.
class TGetChar {
public:
    virtual ~TGetChar() = default;
    // Steps back one byte; returns c, or -1 when it cannot.
    virtual int UngetChar(int c) = 0;
    // The next byte as 0-255, or -1 at the end.
    virtual int GetChar() = 0;
    virtual void Rewind() = 0;

    // Steps back over `count` bytes, the last one first, stopping at the first failure.
    void UngetBytes(const unsigned char* bytes, int count);
    // Reads one UTF-8 character: the lead byte and the continuation bytes its value announces.
    // Continuation bytes missing at the end are stored as 255. Returns the lead byte (or -1);
    // `stored` receives the bytes stored, `consumed` those actually taken from the source.
    int ReadUtf8Char(unsigned char* bytes, int& stored, int& consumed);
};

// Bytes of an engine file, opened in binary read mode.
class TGetCharFile final : public TGetChar {
public:
    explicit TGetCharFile(const char* name);
    ~TGetCharFile() override;
    TGetCharFile(const TGetCharFile&) = delete;
    TGetCharFile& operator=(const TGetCharFile&) = delete;

    bool IsOpen() const { return mFile != nullptr; }
    TFile* GetFile() const { return mFile; }
    int UngetChar(int c) override;
    int GetChar() override;
    void Rewind() override;
    // Closes the file and opens the name again (only when a file is open).
    void Reopen();

private:
    TFile* mFile = nullptr;
    str mName;
};

// Bytes of a text in memory (not owned).
class TGetCharString final : public TGetChar {
public:
    TGetCharString(const char* text, int length) : mText(text), mLength(length) {}

    int UngetChar(int c) override;
    int GetChar() override;
    void Rewind() override { mPosition = 0; }

private:
    const char* mText;
    int mPosition = 0;
    int mLength;
};

class TXmlNode {
public:
    TXmlNode() = default;
    explicit TXmlNode(const char* name);
    virtual ~TXmlNode();
    TXmlNode(const TXmlNode&) = delete;
    TXmlNode& operator=(const TXmlNode&) = delete;

    // Called by the parser; overridable by specialised trees.
    virtual TXmlNode* CreateChild(const str& name);
    virtual void OnEndTag(const str& token);
    virtual void AddText(const str& token, int length);
    virtual void AddAttribute(const str& name, const str& value, bool quoted);

    // Reading: each adds the document's top-level nodes as children of this node.
    // False when the file cannot be opened.
    bool LoadFile(const char* name);
    // The compressed form when the text begins with "ZXML".
    bool Parse(const char* text);
    bool Parse(const char* text, size_t length);
    // A whole "ZXML" block of `size` bytes. False, with nothing added, when the block is short,
    // its sizes do not fit it, or the zlib stream is damaged; a plain size that is too small
    // gives the tree of the text that fits.
    bool LoadCompressed(const void* data, size_t size);

    str GetName() const { return mName; }
    str GetText() const { return mText; }
    TXmlNode* FindChild(const char* name) const;
    void ResetChildren() { mChildCursor = 0; }
    bool NextChild(str& name, TXmlNode*& child);
    str GetAttribute(const char* name, bool* quoted = nullptr) const;
    void ResetAttributes() { mAttributeCursor = 0; }
    bool NextAttribute(str& name, str& value);

    TXmlNode* AddChild(const char* name);
    // Unlinks and deletes a child of this node; anything else is left alone.
    void RemoveChild(TXmlNode* child);
    void SetAttribute(const char* name, const char* value);
    void SetAttribute(const char* name, int value);

    str ToString();
    // Appends this element at `length` and advances it.
    void Write(str& out, int& length, int indent) const;

    // Elements nested deeper than this are not read; the document ends there.
    static constexpr int kMaxDepth = 256;

private:
    str mText;
    int mTextLength = 0;
    int mSizeHint = 4096;
    str mName;
    std::vector<std::unique_ptr<TXmlNode>> mChildren;
    size_t mChildCursor = 0;
    std::vector<std::unique_ptr<TXmlAttribute>> mAttributes;
    size_t mAttributeCursor = 0;
};

// One token of the reader: `quoted` when it was written between double quotes,
// `startsWithEntity` when its first character came from an entity; `length` is its byte count.
str XmlReadToken(TGetChar& source, bool& quoted, bool& startsWithEntity, int& length);
// Reads the content of `node` (text and child elements) until its end tag or the end of input.
void XmlParseContent(TXmlNode& node, TGetChar& source);

str XmlEscape(const char* text);
// Decodes "&#NN;", "&#xHH;" (each the byte of the value's low 8 bits) and the five named entities
// in place; anything else, a bare '&' included, is kept.
void XmlUnescape(str& text, int& length, bool* startsWithEntity);
void XmlUnescape(str& text);
