// Reading markup text one character at a time, shared by the text layout and the text drawing so
// that both walk a run's bytes the same way. Pure functions; any thread.
#pragma once

#include <cstdint>

namespace text_decode {

// The code point at text[0] and the bytes it takes: one to four by the lead byte (below 0xC0 one,
// from 0xC0 two, from 0xE0 three, from 0xF0 four), never past `length`. Continuation bytes are
// taken as they are; a sequence cut by the end of the text keeps the bits it has.
inline uint32_t DecodeUtf8(const char* text, int length, int* bytes) {
    const auto lead = static_cast<unsigned char>(text[0]);
    int count = 1;
    uint32_t code = lead;
    if (lead >= 0xF0) {
        count = 4;
        code = lead & 0x07u;
    } else if (lead >= 0xE0) {
        count = 3;
        code = lead & 0x0Fu;
    } else if (lead >= 0xC0) {
        count = 2;
        code = lead & 0x1Fu;
    }
    if (count > length) {
        count = length;
    }
    for (int i = 1; i < count; ++i) {
        code = code << 6 | (static_cast<unsigned char>(text[i]) & 0x3Fu);
    }
    *bytes = count;
    return code;
}

// The next character of a run at text[0]: a backslash takes the character after it literally (a
// backslash at the very end is consumed and shows nothing: `*bytes` 1, false). False also for an
// empty text.
inline bool NextCharacter(const char* text, int length, uint32_t* code, int* bytes) {
    if (length <= 0) {
        *bytes = 0;
        return false;
    }
    int skip = 0;
    if (text[0] == '\\') {
        if (length == 1) {
            *bytes = 1;
            return false;
        }
        skip = 1;
    }
    int taken = 0;
    *code = DecodeUtf8(text + skip, length - skip, &taken);
    *bytes = skip + taken;
    return true;
}

} // namespace text_decode
