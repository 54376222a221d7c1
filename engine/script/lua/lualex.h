// The lexer of script chunks: turns 8-bit or 16-bit source text into tokens for the parser. One
// ScriptLexer lives on the stack of one compilation, on the loading thread.
#pragma once

#include "engine/script/lua/luaobject.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luazio.h"

#define FIRST_RESERVED 257

enum RESERVED {
    TK_AND = FIRST_RESERVED,
    TK_BREAK,
    TK_CONTINUE,
    TK_DO,
    TK_ELSE,
    TK_ELSEIF,
    TK_END,
    TK_FALSE,
    TK_FOR,
    TK_FUNCTION,
    TK_IF,
    TK_IN,
    TK_LOCAL,
    TK_NIL,
    TK_NOT,
    TK_OR,
    TK_REPEAT,
    TK_RETURN,
    TK_THEN,
    TK_TRUE,
    TK_UNTIL,
    TK_WHILE,
    TK_NAME,
    TK_CONCAT,
    TK_DOTS,
    TK_EQ,
    TK_GE,
    TK_LE,
    TK_NE,
    TK_NUMBER,
    TK_STRING,
    TK_WSTRING,
    TK_SHL,
    TK_SHR,
    TK_EOS
};

#define NUM_RESERVED (TK_WHILE - FIRST_RESERVED + 1)

struct SemInfo {
    lua_Number r;
    TString* ts;
};

struct Token {
    int token;
    SemInfo seminfo;
};

struct FunctionBuilder;

struct ScriptLexer {
    int current; // current character (byte or 16-bit unit), EOZ at the end
    int linenumber;
    int lastline; // line of the last token consumed
    Token t;
    Token lookahead;
    FunctionBuilder* fs;
    lua_State* L;
    ZIO* z;
    Mbuffer* buff; // token buffer, owned by the loader
    size_t nbuff;  // bytes used in buff
    int widetext;  // the buffer holds 16-bit units of a wide literal
    TString* source;
    Table* anchors; // the strings made so far, as keys; on the loading thread's stack
    int nestlevel;
};

// Marks the reserved words in the string table (idempotent).
void luaX_init(lua_State* L);
// Pushes the table that keeps the lexer's strings alive while the load runs (the reader may run a
// collection); the caller drops it from the stack when the compilation ends.
void luaX_setinput(lua_State* L, ScriptLexer* ls, ZIO* z, TString* source);
void luaX_next(ScriptLexer* ls);
void luaX_lookahead(ScriptLexer* ls);
void luaX_checklimit(ScriptLexer* ls, int val, int limit, const char* msg);
[[noreturn]] void luaX_syntaxerror(ScriptLexer* ls, const char* s);
[[noreturn]] void luaX_errorline(ScriptLexer* ls, const char* s, const char* token, int line);
const char* luaX_token2str(ScriptLexer* ls, int token);
