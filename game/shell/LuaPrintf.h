// The formatting behind the Lua function CPP_Printf: printf rules, with every conversion checked
// against the value given for it. Pure functions; any thread.
#pragma once

#include "engine/script/lua/lua.h"

#include <string>
#include <string_view>
#include <vector>

// One value for a conversion: a number (with the text Lua makes of it) or a text.
struct GPrintfValue {
    bool isNumber = false;
    double number = 0;
    std::string text;
};

// The values from stack slot `first` on: numbers and numeric strings as numbers, other strings as
// texts (0 bytes included); nil, booleans, tables, functions, userdata and wide strings are
// skipped.
std::vector<GPrintfValue> ReadPrintfValues(lua_State* state, int first);

// Formats the values by the format, taking them in order: a conversion that meets no value writes
// nothing, a text meeting a numeric conversion counts as 0, a number meeting "%s" is written as its
// Lua text, integer conversions truncate through the script machine's conversion, and "%n", "%p"
// and unknown conversions are written as they stand, taking no value. Widths and precisions are
// held to 4096. The result is the whole text, however long.
std::string FormatPrintf(std::string_view format, const std::vector<GPrintfValue>& values);
