// A window definition as the window being created reads it: a thin view over the definition's Lua
// table that answers typed property reads. A property missing from the definition is taken from
// the Lua global gCurrentDefaultStyle, else from that style's "parent", its "parent", and so on.
// The reads are protected: script code run by a read (a metatable's __index) cannot take the
// engine down; its error is logged and the getter gives its default. Lives for one window's
// creation; owns neither the script nor the table. Main thread only.
#pragma once

#include "engine/core/color.h"
#include "engine/core/str.h"

class TLuaFunction;
class TLuaTable;
class TScript;

class TWindowStyle {
public:
    // The definition table lives in the script's state.
    TWindowStyle(TScript& script, const TLuaTable& definition);
    virtual ~TWindowStyle();
    TWindowStyle(const TWindowStyle&) = delete;
    TWindowStyle& operator=(const TWindowStyle&) = delete;

    // Each getter answers its default when the property is not found and leaves the Lua stack as
    // it found it. Numbers convert as Lua converts them: numeric strings read as their number,
    // anything else as 0.
    double GetNumber(const str& name, double defaultValue) const;
    // Truncated toward zero; NaN and values outside the int range give INT32_MIN.
    int GetInt(const str& name, int defaultValue) const;
    str GetString(const str& name, const str& defaultValue) const;
    // Entries 1 to 4 of a table value (red, green, blue, alpha); any other value gives the default.
    TColor GetColor(const str& name, const TColor& defaultValue) const;
    // Nil false, booleans as they are, numbers true when not 0; strings and other types log and
    // read false.
    bool GetBool(const str& name, bool defaultValue) const;
    // New references owned by the caller, or null when the property is missing or of another type.
    TLuaTable* GetTable(const str& name) const;
    TLuaFunction* GetFunction(const str& name) const;

private:
    // Pushes the property's value and answers true, or leaves the stack as it was.
    bool FindProperty(const str& name) const;

    TScript& mScript;
    const TLuaTable& mDefinition;
};
