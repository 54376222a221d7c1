// Publishing native functions to a Lua state. Each published global is a native closure whose one
// upvalue is a userdata record: {object, member function} for a member, {function} for a plain
// function. One thunk per signature reads the record back, converts the Lua arguments, calls the
// native side and pushes its result. Arguments convert as Lua converts them: numbers with
// lua_tonumber (integers truncated), engine strings with LuaGetString, booleans with
// lua_toboolean, TLuaTable& as a table view that reads defaults when the argument is no table;
// missing arguments arrive as 0, "" or false. A raw member or function (int(lua_State*)) gets the
// state and returns its own result count. A C++ exception from the native side becomes a script
// error naming the function, at the script machine's boundary for every native function (lua.h).
//
// The closure does not keep its object alive. A publisher that dies before its state withdraws its
// globals (LuaWithdraw or LuaWithdrawObject); a copy of a withdrawn closure held by a script then
// raises a script error when called instead of reaching the dead object. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/script/lua/lua.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"

#include <cstddef>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

namespace luabinding {

// The common head of every record: the owner identifies the object for LuaWithdrawObject and is
// cleared when the function is withdrawn.
struct TRecordHead {
    const void* owner;
};

template <class T, class M>
struct TMemberRecord {
    TRecordHead head;
    T* object;
    M member;
};

template <class F>
struct TFunctionRecord {
    TRecordHead head;
    F function;
};

// Raises the script error of a call through a withdrawn record; never returns.
[[noreturn]] void RaiseWithdrawn(lua_State* state);
// Stores the closure on the stack top under the global name, after the record was filled, and
// remembers which record the closure carries so it can be withdrawn.
void SetGlobalClosure(lua_State* state, lua_CFunction thunk);
// Pushes a new record userdata of the given size and returns its block.
void* NewRecord(lua_State* state, size_t size);

// A stack slot to read an argument from.
struct TSlot {
    lua_State* state;
    int index;
};

template <class A>
struct TArg;

template <class A>
requires std::is_floating_point_v<A>
struct TArg<A> {
    static A Read(lua_State* s, int i) { return static_cast<A>(lua_tonumber(s, i)); }
};

template <class A>
requires(std::is_integral_v<A> && !std::is_same_v<A, bool> && sizeof(A) <= 4) struct TArg<A> {
    static A Read(lua_State* s, int i) {
        if constexpr (std::is_signed_v<A>) {
            return static_cast<A>(LuaNumberToInt(lua_tonumber(s, i)));
        } else {
            return static_cast<A>(LuaNumberLow32(lua_tonumber(s, i)));
        }
    }
};

template <>
struct TArg<bool> {
    static bool Read(lua_State* s, int i) { return lua_toboolean(s, i) != 0; }
};

template <>
struct TArg<str> {
    static str Read(lua_State* s, int i) { return LuaGetString(s, i); }
};

// Keeps one converted argument alive for the duration of the call.
template <class V>
struct TValueHolder {
    explicit TValueHolder(TSlot slot) : value(TArg<V>::Read(slot.state, slot.index)) {}
    operator const V&() const { return value; }
    V value;
};

// A table view for the call; it references nil when the argument is no table, so every read
// gives its default.
struct TTableHolder {
    explicit TTableHolder(TSlot slot)
        : table((lua_pushvalue(slot.state, slot.index), slot.state)) {}
    operator TLuaTable&() { return table; }
    TLuaTable table;
};

template <class A>
struct THolderOf {
    using Type = TValueHolder<std::remove_cvref_t<A>>;
};
template <>
struct THolderOf<TLuaTable&> {
    using Type = TTableHolder;
};
template <>
struct THolderOf<const TLuaTable&> {
    using Type = TTableHolder;
};

template <class R>
int PushResult(lua_State* s, R&& value) {
    using V = std::remove_cvref_t<R>;
    if constexpr (std::is_same_v<V, bool>) {
        lua_pushboolean(s, value ? 1 : 0);
    } else if constexpr (std::is_arithmetic_v<V>) {
        lua_pushnumber(s, static_cast<lua_Number>(value));
    } else if constexpr (std::is_same_v<V, str>) {
        LuaPushStr(s, value);
    } else {
        static_assert(std::is_same_v<V, const char*> || std::is_same_v<V, char*>,
                      "unsupported result type");
        lua_pushstring(s, value);
    }
    return 1;
}

// Calls f with the arguments read from stack slots 1, 2, ... and pushes the result.
template <class R, class... A, class F, std::size_t... I>
int CallWithArgs(lua_State* s, F&& f, std::index_sequence<I...>) {
    // Holders live until the call returns; braced init reads the slots left to right.
    std::tuple<typename THolderOf<A>::Type...> args{TSlot{s, static_cast<int>(I) + 1}...};
    if constexpr (std::is_void_v<R>) {
        f(static_cast<A>(std::get<I>(args))...);
        return 0;
    } else {
        return PushResult(s, f(static_cast<A>(std::get<I>(args))...));
    }
}

template <class T, class R, class... A>
int MemberThunk(lua_State* s) {
    using M = R (T::*)(A...);
    auto* record = static_cast<TMemberRecord<T, M>*>(lua_touserdata(s, lua_upvalueindex(1)));
    if (record == nullptr || record->head.owner == nullptr) {
        RaiseWithdrawn(s);
    }
    T* object = record->object;
    M member = record->member;
    return CallWithArgs<R, A...>(
        s, [object, member](A... a) -> R { return (object->*member)(static_cast<A>(a)...); },
        std::index_sequence_for<A...>{});
}

template <class T>
int RawMemberThunk(lua_State* s) {
    using M = int (T::*)(lua_State*);
    auto* record = static_cast<TMemberRecord<T, M>*>(lua_touserdata(s, lua_upvalueindex(1)));
    if (record == nullptr || record->head.owner == nullptr) {
        RaiseWithdrawn(s);
    }
    return (record->object->*record->member)(s);
}

int RawFunctionThunk(lua_State* s);

template <class R, class... A>
int FunctionThunk(lua_State* s) {
    using F = R (*)(A...);
    auto* record = static_cast<TFunctionRecord<F>*>(lua_touserdata(s, lua_upvalueindex(1)));
    if (record == nullptr || record->head.owner == nullptr) {
        RaiseWithdrawn(s);
    }
    return CallWithArgs<R, A...>(s, record->function, std::index_sequence_for<A...>{});
}

} // namespace luabinding

// Publishes object->member under the global name. The object pointer is taken with its static
// type T, so a member of one base of a class with several bases runs on the right sub-object.
template <class T, class U, class R, class... A>
requires std::is_base_of_v<U, T>
void LuaPublish(lua_State* state, const char* name, T* object, R (U::*member)(A...)) {
    using namespace luabinding;
    using M = R (U::*)(A...);
    lua_pushstring(state, name);
    auto* record = static_cast<TMemberRecord<U, M>*>(NewRecord(state, sizeof(TMemberRecord<U, M>)));
    U* base = object;
    new (record) TMemberRecord<U, M>{TRecordHead{object}, base, member};
    if constexpr (sizeof...(A) == 1 && std::is_same_v<R, int> &&
                  (std::is_same_v<A, lua_State*> && ...)) {
        SetGlobalClosure(state, &RawMemberThunk<U>);
    } else {
        SetGlobalClosure(state, &MemberThunk<U, R, A...>);
    }
}

// Publishes a plain function; int(lua_State*) is published raw, as a one-upvalue closure too.
template <class R, class... A>
void LuaPublish(lua_State* state, const char* name, R (*function)(A...)) {
    using namespace luabinding;
    using F = R (*)(A...);
    lua_pushstring(state, name);
    auto* record = static_cast<TFunctionRecord<F>*>(NewRecord(state, sizeof(TFunctionRecord<F>)));
    new (record) TFunctionRecord<F>{TRecordHead{reinterpret_cast<const void*>(function)}, function};
    if constexpr (sizeof...(A) == 1 && std::is_same_v<R, int> &&
                  (std::is_same_v<A, lua_State*> && ...)) {
        SetGlobalClosure(state, &RawFunctionThunk);
    } else {
        SetGlobalClosure(state, &FunctionThunk<R, A...>);
    }
}

// Sets the global to nil and disarms the record of the closure it held, so copies of the closure
// still referenced by scripts raise a script error when called.
void LuaWithdraw(lua_State* state, const char* name);
// Disarms every record published for the object in this state and sets to nil each global that
// still holds one of its closures.
void LuaWithdrawObject(lua_State* state, const void* object);
