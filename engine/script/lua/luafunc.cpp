#include "engine/script/lua/luafunc.h"

#include "engine/script/lua/luagc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luastate.h"

Closure* luaF_newCclosure(lua_State* L, int nelems) {
    Closure* c = static_cast<Closure*>(luaM_realloc(L, nullptr, 0, sizeCclosure(nelems)));
    c->h.isC = 1;
    c->h.nupvalues = static_cast<lu_byte>(nelems);
    c->h.gclist = nullptr;
    setnilvalue(&c->h.g);
    for (int i = 0; i < nelems; i++) {
        setnilvalue(&c->c.upvalue[i]);
    }
    luaC_link(L, cl2gco(c), LUA_TFUNCTION);
    return c;
}

Closure* luaF_newLclosure(lua_State* L, int nelems, TObject* e) {
    Closure* c = static_cast<Closure*>(luaM_realloc(L, nullptr, 0, sizeLclosure(nelems)));
    c->h.isC = 0;
    c->h.nupvalues = static_cast<lu_byte>(nelems);
    c->h.gclist = nullptr;
    c->l.p = nullptr;
    setobj(&c->h.g, e);
    for (int i = 0; i < nelems; i++) {
        c->l.upvals[i] = nullptr;
    }
    luaC_link(L, cl2gco(c), LUA_TFUNCTION);
    return c;
}

UpVal* luaF_findupval(lua_State* L, StkId level) {
    GCObject** pp = &L->openupval;
    UpVal* p;
    while ((p = static_cast<UpVal*>(*pp)) != nullptr && p->v >= level) {
        if (p->v == level) {
            return p;
        }
        pp = &p->next;
    }
    UpVal* v = static_cast<UpVal*>(luaM_realloc(L, nullptr, 0, sizeof(UpVal)));
    v->tt = LUA_TUPVALUE;
    v->marked = 0;
    v->v = level;
    setnilvalue(&v->value);
    v->next = *pp;
    *pp = v;
    return v;
}

void luaF_close(lua_State* L, StkId level) {
    UpVal* p;
    while ((p = static_cast<UpVal*>(L->openupval)) != nullptr && p->v >= level) {
        setobj(&p->value, p->v);
        p->v = &p->value;
        L->openupval = p->next;
        p->marked = 0; // joins the object list unmarked whatever the collector did while open
        luaC_link(L, p, LUA_TUPVALUE);
    }
}

Proto* luaF_newproto(lua_State* L) {
    Proto* f = static_cast<Proto*>(luaM_realloc(L, nullptr, 0, sizeof(Proto)));
    f->k = nullptr;
    f->sizek = 0;
    f->p = nullptr;
    f->sizep = 0;
    f->code = nullptr;
    f->sizecode = 0;
    f->sizelineinfo = 0;
    f->sizeupvalues = 0;
    f->nups = 0;
    f->upvalues = nullptr;
    f->numparams = 0;
    f->is_vararg = 0;
    f->maxstacksize = 0;
    f->lineinfo = nullptr;
    f->sizelocvars = 0;
    f->locvars = nullptr;
    f->lineDefined = 0;
    f->source = nullptr;
    f->gclist = nullptr;
    luaC_link(L, f, LUA_TPROTO);
    return f;
}

void luaF_freeproto(lua_State* L, Proto* f) {
    luaM_freearray(L, f->code, static_cast<size_t>(f->sizecode));
    luaM_freearray(L, f->p, static_cast<size_t>(f->sizep));
    luaM_freearray(L, f->k, static_cast<size_t>(f->sizek));
    luaM_freearray(L, f->lineinfo, static_cast<size_t>(f->sizelineinfo));
    luaM_freearray(L, f->locvars, static_cast<size_t>(f->sizelocvars));
    luaM_freearray(L, f->upvalues, static_cast<size_t>(f->sizeupvalues));
    luaM_free(L, f, sizeof(Proto));
}

void luaF_freeclosure(lua_State* L, Closure* c) {
    const size_t size = c->h.isC ? sizeCclosure(c->h.nupvalues) : sizeLclosure(c->h.nupvalues);
    luaM_free(L, c, size);
}

const char* luaF_getlocalname(const Proto* f, int local_number, int pc) {
    for (int i = 0; i < f->sizelocvars && f->locvars[i].startpc <= pc; i++) {
        if (pc < f->locvars[i].endpc) {
            local_number--;
            if (local_number == 0) {
                return getstr(f->locvars[i].varname);
            }
        }
    }
    return nullptr;
}
