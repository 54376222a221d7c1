#include "engine/script/lua/luado.h"

#include <cstdlib>
#include <exception>
#include <new>

#include "engine/script/lua/luadebug.h"
#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luagc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"
#include "engine/script/lua/luatm.h"
#include "engine/script/lua/luavm.h"
#include "engine/script/lua/luazio.h"

// Error objects.

void luaD_seterrorobj(lua_State* L, int errcode, StkId oldtop) {
    switch (errcode) {
    case LUA_ERRMEM:
        setsvalue(oldtop, luaS_new(L, "not enough memory")); // interned and fixed at open
        break;
    case LUA_ERRERR:
        setsvalue(oldtop, luaS_new(L, "error in error handling")); // interned and fixed at open
        break;
    case LUA_ERRSYNTAX:
    case LUA_ERRRUN: {
        // The error may have been raised on another thread (a native function working on a
        // coroutine's stack) and caught here.
        lua_State* from = G(L)->errorthread != nullptr ? G(L)->errorthread : L;
        setobj(oldtop, from->top - 1);
        break;
    }
    default:
        break;
    }
    L->top = oldtop + 1;
}

// Any protected boundary of the same global state catches the error, whichever thread raised it.
void luaD_throw(lua_State* L, int errcode) {
    if (L->errorJmp > 0 || (G(L) != nullptr && G(L)->nprotected > 0)) {
        if (G(L) != nullptr) {
            G(L)->errorthread = L;
        }
        throw LuaError{errcode};
    }
    G(L)->panic(L);
    std::exit(EXIT_FAILURE);
}

int luaD_rawrunprotected(lua_State* L, Pfunc f, void* ud) {
    int status = 0;
    const unsigned short oldnCcalls = L->nCcalls;
    global_State* g = G(L);
    L->errorJmp++;
    if (g != nullptr) {
        g->nprotected++;
        g->errorthread = nullptr;
    }
    try {
        f(L, ud);
    } catch (const LuaError& e) {
        status = e.status;
    } catch (const std::bad_alloc&) {
        status = LUA_ERRMEM;
    } catch (...) {
        // A foreign exception from a callback outside any native function (a hook, a chunk
        // reader): nothing of it can be carried as a script value.
        status = LUA_ERRERR;
    }
    L->errorJmp--;
    if (g != nullptr) {
        g->nprotected--;
    }
    L->nCcalls = oldnCcalls;
    return status;
}

static void restore_stack_limit(lua_State* L) {
    L->stack_last = L->stack + L->stacksize - 1 - EXTRA_STACK;
    if (L->size_ci > LUA_MAXCALLS) {
        const int inuse = static_cast<int>(L->ci - L->base_ci);
        if (inuse + 1 < LUA_MAXCALLS) {
            luaD_tryreallocCI(L, LUA_MAXCALLS);
        }
    }
}

// Stack.

static void correctstack(lua_State* L, TObject* oldstack) {
    L->top = (L->top - oldstack) + L->stack;
    for (GCObject* up = L->openupval; up != nullptr; up = up->next) {
        UpVal* uv = static_cast<UpVal*>(up);
        uv->v = (uv->v - oldstack) + L->stack;
    }
    for (CallInfo* ci = L->base_ci; ci <= L->ci; ci++) {
        ci->top = (ci->top - oldstack) + L->stack;
        ci->base = (ci->base - oldstack) + L->stack;
    }
    L->base = L->ci->base;
}

void luaD_reallocstack(lua_State* L, int newsize) {
    TObject* oldstack = L->stack;
    const int realsize = newsize + 1 + EXTRA_STACK;
    TObject* nstack = L->stack;
    luaM_reallocvector(L, nstack, static_cast<size_t>(L->stacksize), static_cast<size_t>(realsize));
    for (int i = L->stacksize; i < realsize; i++) {
        setnilvalue(nstack + i);
    }
    L->stack = nstack;
    L->stacksize = realsize;
    L->stack_last = L->stack + newsize;
    correctstack(L, oldstack);
}

void luaD_reallocCI(lua_State* L, int newsize) {
    CallInfo* oldci = L->base_ci;
    CallInfo* nci = L->base_ci;
    luaM_reallocvector(L, nci, L->size_ci, static_cast<size_t>(newsize));
    L->base_ci = nci;
    L->size_ci = static_cast<unsigned short>(newsize);
    L->ci = (L->ci - oldci) + L->base_ci;
    L->end_ci = L->base_ci + L->size_ci;
}

bool luaD_tryreallocstack(lua_State* L, int newsize) {
    TObject* oldstack = L->stack;
    const int realsize = newsize + 1 + EXTRA_STACK;
    void* nb = luaM_tryrealloc(L, L->stack, sizeof(TObject) * static_cast<size_t>(L->stacksize),
                               sizeof(TObject) * static_cast<size_t>(realsize));
    if (nb == nullptr) {
        return false;
    }
    L->stack = static_cast<TObject*>(nb);
    for (int i = L->stacksize; i < realsize; i++) {
        setnilvalue(L->stack + i);
    }
    L->stacksize = realsize;
    L->stack_last = L->stack + newsize;
    correctstack(L, oldstack);
    return true;
}

bool luaD_tryreallocCI(lua_State* L, int newsize) {
    CallInfo* oldci = L->base_ci;
    void* nb = luaM_tryrealloc(L, L->base_ci, sizeof(CallInfo) * L->size_ci,
                               sizeof(CallInfo) * static_cast<size_t>(newsize));
    if (nb == nullptr) {
        return false;
    }
    L->base_ci = static_cast<CallInfo*>(nb);
    L->size_ci = static_cast<unsigned short>(newsize);
    L->ci = (L->ci - oldci) + L->base_ci;
    L->end_ci = L->base_ci + L->size_ci;
    return true;
}

void luaD_growstack(lua_State* L, int n) {
    if (n <= L->stacksize) {
        luaD_reallocstack(L, 2 * L->stacksize);
    } else {
        luaD_reallocstack(L, L->stacksize + n + EXTRA_STACK);
    }
}

void luaD_checkpush(lua_State* L) {
    if (L->top >= L->ci->top && L->stack_last - L->top <= 1) {
        luaD_growstack(L, 1);
    }
}

static void luaD_growCI(lua_State* L) {
    if (L->size_ci > LUA_MAXCALLS) {
        luaD_throw(L, LUA_ERRERR); // overflow while handling an overflow
    }
    luaD_reallocCI(L, 2 * L->size_ci);
    if (L->size_ci > LUA_MAXCALLS) {
        luaG_runerror(L, "stack overflow");
    }
}

void luaD_callhook(lua_State* L, int event, int line) {
    lua_Hook hook = L->hook;
    if (hook == nullptr || !L->allowhook) {
        return;
    }
    const ptrdiff_t top = savestack(L, L->top);
    const ptrdiff_t ci_top = savestack(L, L->ci->top);
    lua_Debug ar;
    ar.event = event;
    ar.currentline = line;
    ar.i_ci = (event == LUA_HOOKTAILRET) ? 0 : static_cast<int>(L->ci - L->base_ci);
    luaD_checkstack(L, LUA_MINSTACK);
    L->ci->top = L->top + LUA_MINSTACK;
    L->allowhook = 0;
    try {
        hook(L, &ar);
    } catch (...) {
        L->allowhook = 1;
        throw;
    }
    L->allowhook = 1;
    L->ci->top = restorestack(L, ci_top);
    L->top = restorestack(L, top);
}

// Calls.

static void adjust_varargs(lua_State* L, int nfixargs, StkId base) {
    int actual = static_cast<int>(L->top - base);
    if (actual < nfixargs) {
        luaD_checkstack(L, nfixargs - actual);
        for (; actual < nfixargs; ++actual) {
            setnilvalue(L->top++);
        }
    }
    actual -= nfixargs;
    Table* htab = luaH_new(L, actual, 1);
    for (int i = 0; i < actual; i++) {
        setobj(luaH_setnum(L, htab, i + 1), L->top - actual + i);
    }
    TObject nname;
    setsvalue(&nname, luaS_new(L, "n"));
    setnvalue(luaH_set(L, htab, &nname), static_cast<lua_Number>(actual));
    L->top -= actual;
    sethvalue(L->top, htab);
    incr_top(L);
}

// Replaces a non-function at func by its __call handler, shifting the arguments up.
static StkId tryfuncTM(lua_State* L, StkId func) {
    const TObject* tm = luaT_gettmbyobj(L, func, TM_CALL);
    const ptrdiff_t funcr = savestack(L, func);
    if (!ttisfunction(tm)) {
        luaG_typeerror(L, func, "call");
    }
    const TObject handler = *tm;
    incr_top(L);
    func = restorestack(L, funcr);
    for (StkId p = L->top - 1; p > func; p--) {
        setobj(p, p - 1);
    }
    setobj(func, &handler);
    return func;
}

// Runs the native function of the frame just entered; see lua.h for what becomes of a C++
// exception leaving it. By the time it reaches here it has unwound the function's own objects.
// The machine's own errors pass through untouched.
static int callnative(lua_State* L, lua_CFunction f) {
    const ptrdiff_t ci = saveci(L, L->ci);
    const unsigned short nCcalls = L->nCcalls;
    enum { Memory, Text, Unknown } failure = Unknown;
    try {
        return f(L);
    } catch (const LuaError&) {
        throw;
    } catch (const std::bad_alloc&) {
        failure = Memory;
    } catch (const std::exception& e) {
        // Copied while the exception still lives; the error is raised once it is gone.
        setsvalue(L->top, luaS_new(L, e.what()));
        incr_top(L);
        failure = Text;
    } catch (...) {
    }
    // A hook may have thrown deeper down, inside a call this function made: the error is this
    // frame's.
    L->ci = restoreci(L, ci);
    L->base = L->ci->base;
    L->nCcalls = nCcalls;
    if (failure == Memory) {
        luaD_throw(L, LUA_ERRMEM);
    }
    luaG_nativeerror(L, failure == Text);
}

StkId luaD_precall(lua_State* L, StkId func) {
    if (!ttisfunction(func)) {
        func = tryfuncTM(L, func);
    }
    if (L->ci + 1 == L->end_ci) {
        const ptrdiff_t f = savestack(L, func);
        luaD_growCI(L);
        func = restorestack(L, f);
    }
    Closure* cl = clvalue(func);
    if (!cl->h.isC) {
        Proto* p = cl->l.p;
        const ptrdiff_t funcr = savestack(L, func);
        if (p->is_vararg) {
            adjust_varargs(L, p->numparams, func + 1);
        }
        luaD_checkstack(L, p->maxstacksize);
        CallInfo* ci = ++L->ci;
        L->base = L->ci->base = restorestack(L, funcr) + 1;
        ci->top = L->base + p->maxstacksize;
        if (!p->is_vararg && L->top > L->base + p->numparams) {
            L->top = L->base + p->numparams; // extra arguments are dropped, not left in registers
        }
        ci->savedpc = p->code;
        ci->tailcalls = 0;
        ci->state = CI_SAVEDPC;
        while (L->top < ci->top) {
            setnilvalue(L->top++);
        }
        L->top = ci->top;
        return nullptr;
    }
    const ptrdiff_t funcr = savestack(L, func);
    luaD_checkstack(L, LUA_MINSTACK);
    CallInfo* ci = ++L->ci;
    L->base = L->ci->base = restorestack(L, funcr) + 1;
    ci->top = L->top + LUA_MINSTACK;
    ci->state = CI_C;
    ci->savedpc = nullptr;
    ci->tailcalls = 0;
    if (L->hookmask & LUA_MASKCALL) {
        luaD_callhook(L, LUA_HOOKCALL, -1);
    }
    const int n = callnative(L, clvalue(L->base - 1)->c.f);
    if (n >= 0) {
        return L->top - n;
    }
    return nullptr; // yielded
}

static StkId callrethooks(lua_State* L, StkId firstResult) {
    const ptrdiff_t fr = savestack(L, firstResult);
    luaD_callhook(L, LUA_HOOKRET, -1);
    if (!(L->ci->state & CI_C)) {
        while (L->ci->tailcalls--) {
            luaD_callhook(L, LUA_HOOKTAILRET, -1);
        }
    }
    return restorestack(L, fr);
}

void luaD_poscall(lua_State* L, int wanted, StkId firstResult) {
    if (L->hookmask & LUA_MASKRET) {
        firstResult = callrethooks(L, firstResult);
    }
    StkId res = L->base - 1;
    L->ci--;
    L->base = L->ci->base;
    while (wanted != 0 && firstResult < L->top) {
        setobj(res++, firstResult++);
        wanted--;
    }
    while (wanted-- > 0) {
        setnilvalue(res++);
    }
    L->top = res;
}

static void callbody(lua_State* L, StkId func, int nResults) {
    if (++L->nCcalls >= LUA_MAXCCALLS) {
        if (L->nCcalls == LUA_MAXCCALLS) {
            luaG_runerror(L, "C stack overflow");
        } else if (L->nCcalls >= (LUA_MAXCCALLS + (LUA_MAXCCALLS >> 3))) {
            luaD_throw(L, LUA_ERRERR);
        }
    }
    StkId firstResult = luaD_precall(L, func);
    if (firstResult == nullptr) {
        firstResult = luaV_execute(L);
    }
    luaD_poscall(L, nResults, firstResult);
    L->nCcalls--;
    luaC_checkGC(L);
}

void luaD_call(lua_State* L, StkId func, int nResults) {
    if (L->errorJmp > 0) {
        callbody(L, func, nResults); // this thread's own boundary restores it on error
        return;
    }
    // A thread without a boundary of its own (a coroutine driven by native code running under
    // another thread's protected call): an error unwinds to that other boundary, so this thread
    // is put back as it was before the call, keeping the error object on its top.
    const ptrdiff_t funcr = savestack(L, func);
    const ptrdiff_t oldci = saveci(L, L->ci);
    const unsigned short oldnCcalls = L->nCcalls;
    auto restore = [&](bool keepErrorObject) {
        StkId f = restorestack(L, funcr);
        const TObject err = *(L->top - 1);
        luaF_close(L, f);
        L->ci = restoreci(L, oldci);
        L->base = L->ci->base;
        L->nCcalls = oldnCcalls;
        L->top = f;
        if (keepErrorObject) {
            setobj(L->top, &err);
            L->top++;
        }
    };
    try {
        callbody(L, func, nResults);
    } catch (const LuaError& e) {
        restore((e.status == LUA_ERRRUN || e.status == LUA_ERRSYNTAX) && G(L)->errorthread == L);
        throw;
    } catch (...) {
        restore(false);
        throw;
    }
}

// Protected calls.

int luaD_pcall(lua_State* L, Pfunc func, void* u, ptrdiff_t old_top, ptrdiff_t ef) {
    const unsigned short oldnCcalls = L->nCcalls;
    const ptrdiff_t old_ci = saveci(L, L->ci);
    const lu_byte old_allowhooks = L->allowhook;
    const ptrdiff_t old_errfunc = L->errfunc;
    L->errfunc = ef;
    const int status = luaD_rawrunprotected(L, func, u);
    if (status != 0) {
        StkId oldtop = restorestack(L, old_top);
        luaF_close(L, oldtop);
        luaD_seterrorobj(L, status, oldtop);
        L->nCcalls = oldnCcalls;
        L->ci = restoreci(L, old_ci);
        L->base = L->ci->base;
        L->allowhook = old_allowhooks;
        restore_stack_limit(L);
    }
    L->errfunc = old_errfunc;
    return status;
}

// Protected parser.

namespace {
struct SParser {
    ZIO* z;
    Mbuffer buff;
    LuaChunkCompiler text;
    LuaChunkCompiler binary;
};
} // namespace

static void f_parser(lua_State* L, void* ud) {
    SParser* p = static_cast<SParser*>(ud);
    luaZ_checkbom(p->z);
    // A precompiled chunk starts with the escape byte and is never read as 16-bit text.
    const bool bin = !p->z->wide && luaZ_lookahead(p->z) == 27;
    luaC_checkGC(L);
    Proto* tf = (bin ? p->binary : p->text)(L, p->z, &p->buff);
    Closure* cl = luaF_newLclosure(L, 0, gt(L));
    cl->l.p = tf;
    setclvalue(L->top, cl);
    incr_top(L);
}

int luaD_protectedparser(lua_State* L, ZIO* z, LuaChunkCompiler text, LuaChunkCompiler binary) {
    SParser p;
    p.z = z;
    p.buff.buffer = nullptr;
    p.buff.size = 0;
    p.text = text;
    p.binary = binary;
    // A full protected call: the reader may call functions, and an error inside one leaves their
    // call frames behind to be unwound.
    const int status = luaD_pcall(L, f_parser, &p, savestack(L, L->top), L->errfunc);
    luaZ_freebuffer(L, &p.buff);
    return status;
}

// Coroutines.

static void resume(lua_State* L, void* ud) {
    const int nargs = *static_cast<int*>(ud);
    CallInfo* ci = L->ci;
    StkId firstResult;
    if (ci == L->base_ci) {
        firstResult = luaD_precall(L, L->top - (nargs + 1));
        if (firstResult != nullptr) {
            // A native function ran to completion.
            luaD_poscall(L, LUA_MULTRET, firstResult);
            return;
        }
        if (L->ci->state & CI_C) {
            return; // a native function yielded
        }
    } else {
        if ((ci->state & CI_C) && ci - 1 == L->base_ci) {
            // The coroutine's body itself was the native function: it ends with the values
            // passed to this resume.
            luaD_poscall(L, LUA_MULTRET, L->top - nargs);
            return;
        }
        if (ci->state & CI_C) {
            // Finish the interrupted call of the yielding native function.
            const int nresults = luaV_pendingresults(L);
            luaD_poscall(L, nresults, L->top - nargs);
            if (nresults >= 0) {
                L->top = L->ci->top;
            }
        } else {
            ci->state &= ~CI_YIELD; // yielded inside a hook
        }
    }
    firstResult = luaV_execute(L);
    if (firstResult != nullptr) {
        luaD_poscall(L, LUA_MULTRET, firstResult);
    }
}

static int resume_error(lua_State* L, const char* msg) {
    L->top = L->ci->base;
    setsvalue(L->top, luaS_new(L, msg));
    incr_top(L);
    return LUA_ERRRUN;
}

int lua_resume(lua_State* L, int nargs) {
    if (L->ci == L->base_ci) {
        if (nargs >= L->top - L->base) {
            return resume_error(L, "cannot resume dead coroutine");
        }
    } else if (!(L->ci->state & CI_YIELD) || L->nCcalls > 0) {
        return resume_error(L, "cannot resume non-suspended coroutine");
    }
    // Every resume inside a running coroutine nests on the native stack; bound it like native
    // calls.
    if (G(L)->nresumes >= LUA_MAXCCALLS) {
        return resume_error(L, "C stack overflow");
    }
    const lu_byte old_allowhooks = L->allowhook;
    G(L)->nresumes++;
    int status = luaD_rawrunprotected(L, resume, &nargs);
    G(L)->nresumes--;
    if (status != 0) {
        L->ci = L->base_ci; // the thread is dead
        L->base = L->ci->base;
        L->nCcalls = 0;
        luaF_close(L, L->base);
        luaD_seterrorobj(L, status, L->base);
        L->allowhook = old_allowhooks;
        restore_stack_limit(L);
    }
    return status;
}

int lua_yield(lua_State* L, int nresults) {
    CallInfo* ci = L->ci;
    if (L->nCcalls > 0) {
        luaG_runerror(L, "attempt to yield across metamethod/C-call boundary");
    }
    if (ci->state & CI_C) {
        if (ci != L->base_ci + 1 && ((ci - 1)->state & CI_C)) {
            luaG_runerror(L, "cannot yield a C function");
        }
        if (L->top - nresults > L->base) {
            for (int i = 0; i < nresults; i++) {
                setobj(L->base + i, L->top - nresults + i);
            }
            L->top = L->base + nresults;
        }
    }
    ci->state |= CI_YIELD;
    return -1;
}
