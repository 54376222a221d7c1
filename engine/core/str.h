// str: the engine's one string type. A single pointer to a shared, reference-counted byte buffer;
// copies share it and any in-place change first takes a private copy. A null buffer is the empty
// string. Reference counts are not atomic: a str and every copy sharing its buffer belong to one
// thread at a time.
#pragma once

#include <cstdint>

class str {
public:
    // Flags of FindChar, Find and Replace.
    enum : int {
        kNoCase = 1,   // compare through toupper
        kAll = 2,      // Replace: every match, not just the first
        kBackward = 4, // FindChar/Find: search from the end; start counts from the end
    };

    str() noexcept = default;
    str(const char* text);
    str(const char* text, int n);
    str(const str& other) noexcept;
    str(str&& other) noexcept;
    ~str();

    str& operator=(const str& other) noexcept;
    str& operator=(str&& other) noexcept;
    str& operator=(const char* text);
    void Assign(const char* text, int n);

    int Length() const;
    const char* CStr() const;
    // Bytes allocated for the text including its NUL; 0 for the empty (null) string.
    int Capacity() const;
    char operator[](unsigned i) const;
    int8_t Compare(const str& other) const;
    bool operator==(const str& other) const { return Compare(other) == 0; }
    bool operator<(const str& other) const { return Compare(other) < 0; }
    int ToInt() const;
    float ToFloat() const;
    int FindChar(char c, int flags = 0, int start = 0) const;
    int Find(const str& needle, int flags = 0, int start = 0) const;
    // len -1: to the end.
    str Substr(int pos, int len = -1) const;

    str operator+(const str& other) const;
    str operator+(char c) const;
    // The UTF-8 form of a code point; empty for U+FEFF, U+FFFE, U+FFFF and above U+10FFFF.
    static str FromCodePoint(unsigned codePoint);
    static str FromFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

    void Reserve(int n);
    str& operator+=(const str& other);
    void Append(const char* text, int n);
    str& operator+=(char c);
    // Writes n bytes at pos (-1: at the end), growing by doubling; returns pos + n.
    int WriteAt(int pos, const char* text, int n, bool terminate);
    // len -1: to the end.
    void Erase(int pos, int len = -1);
    str& Replace(const str& what, const str& with, int flags = 0, int start = 0);
    void ToLower();
    void Format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

private:
    struct TBuffer {
        char* text;
        int32_t refcount;
        int32_t capacity;
    };

    static TBuffer* NewBuffer(int capacity);
    void Release();
    void Unshare();

    TBuffer* mBuffer = nullptr;
};

// Writes the UTF-8 form of codePoint into out (room for four bytes); returns the bytes written.
int EncodeUtf8(unsigned codePoint, char* out);
