// A text as a single-quoted Lua literal that reads back as the same bytes: the quote, the
// backslash and control bytes escaped. Header only, depending on nothing of the engine, so that
// the level-data saver library writes its names the way the game writes its values. Any thread.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

inline void AppendLuaQuoted(std::string& out, const char* text, size_t length) {
    out += '\'';
    for (size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '\'':
            out += "\\'";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                // Three digits always: a digit after the escape must not join it.
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\%03u", static_cast<unsigned>(c));
                out += escape;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '\'';
}
