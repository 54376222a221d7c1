// Tables: an array part for integer keys 1..sizearray and a hash part of 2^lsizenode nodes with
// chained collisions and a last-free pointer.
#pragma once

#include "engine/script/lua/luaobject.h"

inline Node* gnode(const Table* t, int i) {
    return &t->node[i];
}
inline TObject* gkey(Node* n) {
    return &n->i_key;
}
inline TObject* gval(Node* n) {
    return &n->i_val;
}
inline int sizenode(const Table* t) {
    return 1 << t->lsizenode;
}

const TObject* luaH_getnum(Table* t, int key);
TObject* luaH_setnum(lua_State* L, Table* t, int key);
const TObject* luaH_getstr(Table* t, TString* key);
const TObject* luaH_get(Table* t, const TObject* key);
TObject* luaH_set(lua_State* L, Table* t, const TObject* key);
// New table with narray array slots and 2^lnhash hash nodes (none when lnhash is 0).
Table* luaH_new(lua_State* L, int narray, int lnhash);
void luaH_free(lua_State* L, Table* t);
int luaH_next(lua_State* L, Table* t, StkId key);
// Length as lua_getn defines it.
int luaH_getn(lua_State* L, Table* t);
// The node a key hashes to (exposed for tests of the main positions).
Node* luaH_mainposition(const Table* t, const TObject* key);
