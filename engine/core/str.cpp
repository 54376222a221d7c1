#include "engine/core/str.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

constexpr int kMinCapacity = 16;
constexpr int kFormatBufferSize = 4096;
const char kEmptyText[1] = {0};

int Upper(char c) {
    return std::toupper(static_cast<unsigned char>(c));
}

bool SameChar(char a, char b, bool noCase) {
    return noCase ? Upper(a) == Upper(b) : a == b;
}

int TextLength(const char* text) {
    size_t n = std::strlen(text);
    return n > static_cast<size_t>(INT_MAX - 1) ? INT_MAX - 1 : static_cast<int>(n);
}

} // namespace

str::TBuffer* str::NewBuffer(int capacity) {
    // Zero-filled, so the last byte is always a NUL: bytes left behind by an unterminated
    // WriteAt or beyond the text can never run a strlen past the allocation.
    auto* buffer = new TBuffer;
    buffer->text = new char[static_cast<size_t>(capacity)]();
    buffer->refcount = 1;
    buffer->capacity = capacity;
    return buffer;
}

void str::Release() {
    if (mBuffer && --mBuffer->refcount == 0) {
        delete[] mBuffer->text;
        delete mBuffer;
    }
    mBuffer = nullptr;
}

void str::Unshare() {
    if (!mBuffer || mBuffer->refcount <= 1)
        return;
    int len = TextLength(mBuffer->text);
    TBuffer* own = NewBuffer(len + 1);
    std::memcpy(own->text, mBuffer->text, static_cast<size_t>(len));
    Release();
    mBuffer = own;
}

str::str(const char* text) {
    if (!text) {
        mBuffer = NewBuffer(kMinCapacity);
        return;
    }
    int len = TextLength(text);
    mBuffer = NewBuffer(len + 1);
    std::memcpy(mBuffer->text, text, static_cast<size_t>(len));
}

str::str(const char* text, int n) {
    if (n < 0 || !text)
        n = 0;
    n = std::min(n, INT_MAX - 1);
    mBuffer = NewBuffer(std::max(n + 1, kMinCapacity));
    std::memcpy(mBuffer->text, text ? text : kEmptyText, static_cast<size_t>(n));
}

str::str(const str& other) noexcept : mBuffer(other.mBuffer) {
    if (mBuffer)
        ++mBuffer->refcount;
}

str::str(str&& other) noexcept : mBuffer(std::exchange(other.mBuffer, nullptr)) {}

str::~str() {
    Release();
}

str& str::operator=(const str& other) noexcept {
    if (this == &other)
        return *this;
    Release();
    mBuffer = other.mBuffer;
    if (mBuffer)
        ++mBuffer->refcount;
    return *this;
}

str& str::operator=(str&& other) noexcept {
    if (this != &other) {
        Release();
        mBuffer = std::exchange(other.mBuffer, nullptr);
    }
    return *this;
}

str& str::operator=(const char* text) {
    // Built first: text may point into our own buffer.
    str fresh(text);
    return *this = std::move(fresh);
}

void str::Assign(const char* text, int n) {
    str fresh(text, n);
    *this = std::move(fresh);
}

int str::Length() const {
    return mBuffer ? TextLength(mBuffer->text) : 0;
}

const char* str::CStr() const {
    return mBuffer ? mBuffer->text : kEmptyText;
}

int str::Capacity() const {
    return mBuffer ? mBuffer->capacity : 0;
}

char str::operator[](unsigned i) const {
    return i < static_cast<unsigned>(Length()) ? mBuffer->text[i] : 0;
}

int8_t str::Compare(const str& other) const {
    if (mBuffer == other.mBuffer)
        return 0;
    int c = std::strcmp(CStr(), other.CStr());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int str::ToInt() const {
    return mBuffer ? std::atoi(mBuffer->text) : 0;
}

float str::ToFloat() const {
    if (!mBuffer)
        return 0.0f;
    double d = std::atof(mBuffer->text);
    // A finite double beyond the float range has no float value; it saturates to infinity.
    if (d > FLT_MAX)
        return HUGE_VALF;
    if (d < -FLT_MAX)
        return -HUGE_VALF;
    return static_cast<float>(d);
}

int str::FindChar(char c, int flags, int start) const {
    int len = Length();
    if (len == 0 || start >= len)
        return -1;
    start = std::max(start, 0);
    bool noCase = (flags & kNoCase) != 0;
    const char* text = mBuffer->text;
    if (flags & kBackward) {
        for (int p = len - 1 - start; p >= 0; --p)
            if (SameChar(text[p], c, noCase))
                return p;
    } else {
        for (int p = start; p < len; ++p)
            if (SameChar(text[p], c, noCase))
                return p;
    }
    return -1;
}

int str::Find(const str& needle, int flags, int start) const {
    int len = Length();
    if (len == 0 || start >= len)
        return -1;
    start = std::max(start, 0);
    const char* text = mBuffer->text;
    const char* pattern = needle.CStr();
    int patternLen = needle.Length();
    int last = len - patternLen;
    bool noCase = (flags & kNoCase) != 0;
    auto matchesAt = [&](int p) {
        for (int i = 0; i < patternLen; ++i)
            if (!SameChar(text[p + i], pattern[i], noCase))
                return false;
        return true;
    };
    if (flags & kBackward) {
        for (int p = last - start; p >= 0; --p)
            if (matchesAt(p))
                return p;
    } else {
        for (int p = start; p <= last; ++p)
            if (matchesAt(p))
                return p;
    }
    return -1;
}

str str::Substr(int pos, int len) const {
    int length = Length();
    if (pos < 0 || pos >= length || len == 0 || len < -1) {
        str empty;
        empty.mBuffer = NewBuffer(kMinCapacity);
        return empty;
    }
    // Only the bytes up to the terminating NUL can be copied; a longer len never reaches past it.
    int available = length - pos;
    int copied = len == -1 ? available : std::min(len, available);
    int room = len == -1 ? available + 1 : std::min(len, available + 1);
    str result;
    result.mBuffer = NewBuffer(std::max(room + 1, kMinCapacity));
    std::memcpy(result.mBuffer->text, mBuffer->text + pos, static_cast<size_t>(copied));
    return result;
}

str str::operator+(const str& other) const {
    int len1 = Length();
    int len2 = other.Length();
    str result;
    result.mBuffer = NewBuffer(std::max(len1 + len2 + 1, kMinCapacity));
    std::memcpy(result.mBuffer->text, CStr(), static_cast<size_t>(len1));
    std::memcpy(result.mBuffer->text + len1, other.CStr(), static_cast<size_t>(len2));
    return result;
}

str str::operator+(char c) const {
    int len = Length();
    str result;
    result.mBuffer = NewBuffer(std::max(len + 2, kMinCapacity));
    std::memcpy(result.mBuffer->text, CStr(), static_cast<size_t>(len));
    result.mBuffer->text[len] = c;
    return result;
}

int EncodeUtf8(unsigned codePoint, char* out) {
    auto put = [&](int i, unsigned value) { out[i] = static_cast<char>(value & 0xFF); };
    if (codePoint < 0x80) {
        put(0, codePoint);
        return 1;
    }
    if (codePoint < 0x800) {
        put(0, 0xC0 | codePoint >> 6);
        put(1, 0x80 | (codePoint & 0x3F));
        return 2;
    }
    if (codePoint <= 0xFFFF) {
        // Byte-order marks and the two non-characters are dropped from text.
        if (codePoint == 0xFEFF || codePoint == 0xFFFE || codePoint == 0xFFFF)
            return 0;
        put(0, 0xE0 | codePoint >> 12);
        put(1, 0x80 | ((codePoint >> 6) & 0x3F));
        put(2, 0x80 | (codePoint & 0x3F));
        return 3;
    }
    if (codePoint <= 0x10FFFF) {
        put(0, 0xF0 | codePoint >> 18);
        put(1, 0x80 | ((codePoint >> 12) & 0x3F));
        put(2, 0x80 | ((codePoint >> 6) & 0x3F));
        put(3, 0x80 | (codePoint & 0x3F));
        return 4;
    }
    return 0;
}

str str::FromCodePoint(unsigned codePoint) {
    char bytes[4];
    int n = EncodeUtf8(codePoint, bytes);
    return n == 0 ? str() : str(bytes, n);
}

namespace {

str FormatList(const char* fmt, va_list args) __attribute__((format(printf, 1, 0)));

str FormatList(const char* fmt, va_list args) {
    char buffer[kFormatBufferSize];
    va_list again;
    va_copy(again, args);
    int needed = std::vsnprintf(buffer, sizeof buffer, fmt, args);
    str result;
    if (needed >= 0 && needed < kFormatBufferSize) {
        result = buffer;
    } else if (needed >= 0 && needed < INT_MAX) {
        // Too long for the stack buffer: format again straight into a buffer of the full size.
        result.Reserve(needed + 1);
        std::vsnprintf(const_cast<char*>(result.CStr()), static_cast<size_t>(needed) + 1, fmt,
                       again);
    }
    va_end(again);
    return result;
}

} // namespace

str str::FromFormat(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    str result = FormatList(fmt, args);
    va_end(args);
    return result;
}

void str::Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    str result = FormatList(fmt, args);
    va_end(args);
    *this = std::move(result);
}

void str::Reserve(int n) {
    // Never smaller than the text: a shrinking request would otherwise cut it without a NUL.
    int len = Length();
    TBuffer* fresh = NewBuffer(std::max({n, kMinCapacity, len + 1}));
    std::memcpy(fresh->text, CStr(), static_cast<size_t>(len));
    Release();
    mBuffer = fresh;
}

str& str::operator+=(const str& other) {
    // Held so that appending a string to itself still reads a live buffer after the growth.
    str tail(other);
    Unshare();
    int len1 = Length();
    int len2 = tail.Length();
    if (len2 > INT_MAX - 1 - len1)
        return *this;
    int needed = len1 + len2 + 1;
    if (!mBuffer || mBuffer->capacity < needed)
        Reserve(needed);
    std::memcpy(mBuffer->text + len1, tail.CStr(), static_cast<size_t>(len2));
    mBuffer->text[len1 + len2] = 0;
    return *this;
}

void str::Append(const char* text, int n) {
    *this += str(text, n);
}

str& str::operator+=(char c) {
    Append(&c, 1);
    return *this;
}

int str::WriteAt(int pos, const char* text, int n, bool terminate) {
    Unshare();
    if (pos == -1)
        pos = Length();
    if (pos < 0 || n < 0 || (!text && n > 0) || n > INT_MAX - 1 - pos)
        return std::max(pos, 0);
    int needed = pos + n + 1;
    // Keeps the old buffer alive while text may still point into it.
    str old(*this);
    if (!mBuffer) {
        Reserve(needed);
    } else if (mBuffer->capacity < needed) {
        int64_t capacity = mBuffer->capacity;
        while (capacity < needed)
            capacity *= 2;
        Reserve(static_cast<int>(std::min<int64_t>(capacity, INT_MAX)));
    }
    std::memmove(mBuffer->text + pos, text, static_cast<size_t>(n));
    if (terminate)
        mBuffer->text[pos + n] = 0;
    return pos + n;
}

void str::Erase(int pos, int len) {
    Unshare();
    int length = Length();
    if (pos < 0 || pos >= length || len < -1)
        return;
    // Erasing past the end erases to the end.
    if (len == -1 || len > length - pos)
        len = length - pos;
    char* text = mBuffer->text;
    if (pos + len == length)
        text[pos] = 0;
    else
        std::memmove(text + pos, text + pos + len, static_cast<size_t>(length - pos - len + 1));
}

str& str::Replace(const str& what, const str& with, int flags, int start) {
    // Held copies: what or with may be this very string.
    str pattern(what);
    str replacement(with);
    Unshare();
    int whatLen = pattern.Length();
    // An empty pattern would match at every position forever.
    if (whatLen == 0 || Length() == 0)
        return *this;
    int withLen = replacement.Length();
    int delta = withLen - whatLen;
    int length = Length();
    int p = Find(pattern, flags & kNoCase, start);
    while (p >= 0) {
        if (delta > 0) {
            if (delta > INT_MAX - 1 - length)
                break;
            if (mBuffer->capacity < length + delta + 1)
                Reserve(length + delta + 1);
        }
        char* text = mBuffer->text;
        if (delta != 0)
            std::memmove(text + p + withLen, text + p + whatLen,
                         static_cast<size_t>(length - p - whatLen + 1));
        std::memcpy(text + p, replacement.CStr(), static_cast<size_t>(withLen));
        length += delta;
        if (!(flags & kAll))
            break;
        p = Find(pattern, flags & kNoCase, p + withLen);
    }
    return *this;
}

void str::ToLower() {
    Unshare();
    if (!mBuffer)
        return;
    for (char* c = mBuffer->text; *c; ++c)
        *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
}
