// Reads of Lua values that game code holds as wrappers: truth tests, a point from a table, and a
// value written back as Lua source text (how a player's progress is stored). Each leaves the Lua
// stack as it found it. Main thread, on the state the wrapper belongs to.
#pragma once

#include "engine/core/rect.h"
#include "engine/core/str.h"
#include "engine/script/lua/lua.h"

#include <cstddef>

class TLuaObjectWrapper;
class TLuaTable;

// How deep LuaValueToText writes tables: deeper ones are left out, so that the text stays within
// what the Lua parser reads back.
constexpr size_t kLuaTextMaxDepth = 64;
// How long its text grows: a table met again is written again, so a few tables that each hold the
// previous one twice would otherwise ask for more text than memory holds.
constexpr size_t kLuaTextMaxLength = size_t{16} << 20;

// Lua's truth of the value (only nil and false are false); false for a null reference.
bool LuaValueIsTrue(TLuaObjectWrapper* value);
// True when the value is a boolean; false for a null reference.
bool LuaValueIsBoolean(TLuaObjectWrapper* value);
// The numbers "x" and "y", truncated toward zero, of the sub-table when the table holds a table
// under that name, else of the table itself; each missing one keeps its default. A null table
// gives the defaults.
TPoint ReadLuaPoint(TLuaTable* table, str subTable, TPoint defaults);

// The value as Lua source text that reads back as an equal value: "nil" for a null reference,
// "true" or "false", a number as the shortest text that reads back to the same double ("0/0",
// "1/0" and "-1/0" for NaN and the infinities), a string as a quoted literal with its quote,
// backslash and control bytes escaped, a table as "{...} " with each entry followed by "; ". Keys
// 1, 2, 3 ... met in that order are written by position, plain Lua names as name=, any other key
// as [key]=. Entries that cannot be written (functions, userdata, threads, wide strings, a table
// already being written, a table nested too deep, whatever would take the text past
// kLuaTextMaxLength) are left out and logged; such a value alone gives "". With bare set, a string
// is its text alone (up to a 0 byte, where every engine string ends) and a table its entries
// without braces.
str LuaValueToText(TLuaObjectWrapper* value, bool bare);
// The same for the value at a stack index; *cut (when given) tells whether entries were left out
// for the length.
str LuaStackValueToText(lua_State* state, int index, bool bare, bool* cut = nullptr);
// The text as a single-quoted Lua literal, escaped as LuaValueToText escapes strings.
str LuaStringLiteral(const str& text);
