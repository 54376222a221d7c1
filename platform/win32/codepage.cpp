#include "platform/win32/stringapiset.h"
#include "platform/win32/userstate.h"

#include <cstring>
#include <string>

namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five unassigned bytes stand for the same C1 code points.
constexpr char16_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t FromAnsi(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHigh1252[byte - 0x80] : byte;
}

// -1 when Windows-1252 has no byte for the code point.
int ToAnsi(char32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
        return static_cast<int>(code);
    }
    for (int i = 0; i < 32; ++i) {
        if (kHigh1252[i] == code) {
            return 0x80 + i;
        }
    }
    return -1;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Decodes one code point; `bad` is set for a malformed sequence (which yields U+FFFD).
char32_t DecodeUtf8(const unsigned char*& at, const unsigned char* end, bool& bad) {
    const unsigned char lead = *at++;
    if (lead < 0x80) {
        return lead;
    }
    int extra = 0;
    char32_t value = 0;
    if (lead >= 0xC2 && lead < 0xE0) {
        extra = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        extra = 2;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        extra = 3;
        value = lead & 0x07;
    } else {
        bad = true;
        return 0xFFFD;
    }
    for (int i = 0; i < extra; ++i) {
        if (at == end || (*at & 0xC0) != 0x80) {
            bad = true;
            return 0xFFFD;
        }
        value = (value << 6) | (*at++ & 0x3F);
    }
    if ((extra == 2 && value < 0x800) || (extra == 3 && value < 0x10000) || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF)) {
        bad = true;
        return 0xFFFD;
    }
    return value;
}

std::u16string Widen(UINT codePage, const char* text, size_t length, bool& bad) {
    std::u16string out;
    if (codePage == CP_UTF8) {
        const auto* at = reinterpret_cast<const unsigned char*>(text);
        const auto* end = at + length;
        while (at < end) {
            const char32_t code = DecodeUtf8(at, end, bad);
            if (code >= 0x10000) {
                out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
                out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
            } else {
                out += static_cast<char16_t>(code);
            }
        }
    } else {
        for (size_t i = 0; i < length; ++i) {
            out += static_cast<char16_t>(FromAnsi(static_cast<unsigned char>(text[i])));
        }
    }
    return out;
}

// Code points of UTF-16 text; a lone surrogate becomes U+FFFD.
template <typename Visit>
void EachCodePoint(const char16_t* text, size_t length, Visit visit) {
    for (size_t i = 0; i < length; ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        visit(code);
    }
}

size_t WideLength(const char16_t* text) {
    size_t length = 0;
    while (text[length] != 0) {
        ++length;
    }
    return length;
}

bool KnownCodePage(UINT codePage) {
    return codePage == CP_ACP || codePage == 1252 || codePage == CP_UTF8;
}

} // namespace

namespace standin::detail {

std::string Utf8FromAnsi(const char* text) {
    std::string out;
    for (; text != nullptr && *text != '\0'; ++text) {
        AppendUtf8(out, FromAnsi(static_cast<unsigned char>(*text)));
    }
    return out;
}

std::string AnsiFromUtf8(const std::string& text) {
    bool bad = false;
    std::string out;
    const auto* at = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = at + text.size();
    while (at < end) {
        out += AnsiFromCodePoint(DecodeUtf8(at, end, bad));
    }
    return out;
}

std::string Utf8FromWide(const char16_t* text) {
    std::string out;
    if (text != nullptr) {
        EachCodePoint(text, WideLength(text), [&out](char32_t code) { AppendUtf8(out, code); });
    }
    return out;
}

std::u16string WideFromUtf8(const std::string& text) {
    bool bad = false;
    return Widen(CP_UTF8, text.data(), text.size(), bad);
}

char AnsiFromCodePoint(char32_t codePoint) {
    const int byte = ToAnsi(codePoint);
    return static_cast<char>(byte < 0 ? '?' : byte);
}

} // namespace standin::detail

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out,
                        int outSize) {
    if (text == nullptr || length < -1 || length == 0 || outSize < 0 || !KnownCodePage(codePage) ||
        (out == nullptr && outSize != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t count = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
    bool bad = false;
    const std::u16string wide = Widen(codePage, text, count, bad);
    if (bad && (flags & MB_ERR_INVALID_CHARS) != 0) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (outSize == 0) {
        return static_cast<int>(wide.size());
    }
    if (wide.size() > static_cast<size_t>(outSize)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, wide.data(), wide.size() * sizeof(char16_t));
    return static_cast<int>(wide.size());
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR text, int length, LPSTR out, int outSize,
                        LPCSTR defaultChar, BOOL* usedDefault) {
    if (text == nullptr || length < -1 || length == 0 || outSize < 0 || !KnownCodePage(codePage) ||
        (out == nullptr && outSize != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t count = length == -1 ? WideLength(text) + 1 : static_cast<size_t>(length);
    std::string narrow;
    bool defaulted = false;
    EachCodePoint(text, count, [&](char32_t code) {
        if (codePage == CP_UTF8) {
            AppendUtf8(narrow, code);
            return;
        }
        const int byte = ToAnsi(code);
        if (byte < 0) {
            defaulted = true;
            narrow += defaultChar != nullptr ? *defaultChar : '?';
        } else {
            narrow += static_cast<char>(byte);
        }
    });
    if (usedDefault != nullptr) {
        *usedDefault = defaulted ? TRUE : FALSE;
    }
    if (outSize == 0) {
        return static_cast<int>(narrow.size());
    }
    if (narrow.size() > static_cast<size_t>(outSize)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, narrow.data(), narrow.size());
    return static_cast<int>(narrow.size());
}
