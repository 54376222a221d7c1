// The one way the game world calls its scripts' functions: the global is looked up by name, the
// arguments pushed, the function run protected, and the results read back. A call that cannot be
// made or fails in Lua ends the program at once with an error box naming the function, so a broken
// script is found on the spot instead of playing on with wrong values. Main thread only.
#pragma once

#include "engine/core/str.h"

class TRandom;
class TScript;

void ScriptPushInt(TScript* script, int value);
void ScriptPushStr(TScript* script, const str& text);
// The value on the top of the stack by Lua's number conversion (numbers and numeric strings,
// anything else 0), truncated toward zero as the Lua binding truncates.
int ScriptResultInt(TScript* script);
// The value on the top of the stack by Lua's string conversion (a string, or a number as its
// text); anything else gives "".
str ScriptResultStr(TScript* script);
// "Cannot run function: <name>\n" (nothing for an empty name) in the error box, then the process
// ends with exit code 1 without unwinding or saving anything.
[[noreturn]] void ScriptCallFailed(const str& name);

// The script's global `name` on the stack, for the arguments to follow; false without a state.
bool ScriptCallBegin(TScript* script, const str& name);
// Runs the call begun with nargs arguments; its nresults results are left on the stack. False
// when the call failed, a name that is no function included.
bool ScriptCallRun(TScript* script, int nargs, int nresults);
// Drops n values from the top of the stack (the results once read).
void ScriptPop(TScript* script, int n);

namespace script_call_detail {
inline void Push(TScript* script, int value) {
    ScriptPushInt(script, value);
}
inline void Push(TScript* script, const str& text) {
    ScriptPushStr(script, text);
}
inline void Push(TScript* script, const char* text) {
    ScriptPushStr(script, str(text));
}
} // namespace script_call_detail

// A call with the given ints and texts as arguments whose nresults results stay on the stack for
// the caller to read and pop. An exception out of the pushes or the call is fatal like a failure.
template <typename... Args>
void ScriptCall(TScript* script, const str& name, int nresults, const Args&... args) {
    bool done = false;
    try {
        if (ScriptCallBegin(script, name)) {
            (script_call_detail::Push(script, args), ...);
            done = ScriptCallRun(script, static_cast<int>(sizeof...(Args)), nresults);
        }
    } catch (...) {
        done = false;
    }
    if (!done) {
        ScriptCallFailed(name);
    }
}

// A call with one result read as an int (`ScriptResultInt`) and popped.
template <typename... Args>
int ScriptCallInt(TScript* script, const str& name, const Args&... args) {
    ScriptCall(script, name, 1, args...);
    const int result = ScriptResultInt(script);
    ScriptPop(script, 1);
    return result;
}

// A call with one result read as a text (`ScriptResultStr`) and popped.
template <typename... Args>
str ScriptCallStr(TScript* script, const str& name, const Args&... args) {
    ScriptCall(script, name, 1, args...);
    str result = ScriptResultStr(script);
    ScriptPop(script, 1);
    return result;
}

// The three named forms.
inline int ScriptCallVoid(TScript* script, const str& name) {
    ScriptCall(script, name, 0);
    return 0;
}
inline int ScriptCallWithInt(TScript* script, const str& name, int n) {
    ScriptCall(script, name, 0, n);
    return 0;
}
inline int ScriptCallInt4(TScript* script, const str& name, int a, int b, int c, int d) {
    return ScriptCallInt(script, name, a, b, c, d);
}

// trunc(u * (b - a + 1) + a) with u = RandomUnitFloat: exactly a to b when 0 <= a <= b; with a
// negative, truncation toward zero moves the negative results up by one.
int RandomInRange(TRandom& random, int a, int b);
