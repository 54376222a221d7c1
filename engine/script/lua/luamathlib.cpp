// The mathematics library and the global "__pow" that `^` calls for non-numeric operands.
#include <cmath>

#include "engine/core/crtrand.h"
#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lualib.h"
#include "engine/script/lua/luanumber.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180.0;

template <double (*F)(double)>
int Unary(lua_State* L) {
    lua_pushnumber(L, F(luaL_checknumber(L, 1)));
    return 1;
}

double Abs(double x) {
    return std::fabs(x);
}
double Sin(double x) {
    return std::sin(x);
}
double Cos(double x) {
    return std::cos(x);
}
double Tan(double x) {
    return std::tan(x);
}
double Asin(double x) {
    return std::asin(x);
}
double Acos(double x) {
    return std::acos(x);
}
double Atan(double x) {
    return std::atan(x);
}
double Ceil(double x) {
    return std::ceil(x);
}
double Floor(double x) {
    return std::floor(x);
}
double Sqrt(double x) {
    return std::sqrt(x);
}
double Log(double x) {
    return std::log(x);
}
double Log10(double x) {
    return std::log10(x);
}
double Exp(double x) {
    return std::exp(x);
}
double Deg(double x) {
    return x / kRadiansPerDegree;
}
double Rad(double x) {
    return x * kRadiansPerDegree;
}

int math_atan2(lua_State* L) {
    lua_pushnumber(L, std::atan2(luaL_checknumber(L, 1), luaL_checknumber(L, 2)));
    return 1;
}

int math_mod(lua_State* L) {
    lua_pushnumber(L, std::fmod(luaL_checknumber(L, 1), luaL_checknumber(L, 2)));
    return 1;
}

int math_frexp(lua_State* L) {
    int e = 0;
    lua_pushnumber(L, std::frexp(luaL_checknumber(L, 1), &e));
    lua_pushnumber(L, static_cast<lua_Number>(e));
    return 2;
}

int math_ldexp(lua_State* L) {
    lua_pushnumber(L, std::ldexp(luaL_checknumber(L, 1), luaL_checkint(L, 2)));
    return 1;
}

int math_pow(lua_State* L) {
    lua_pushnumber(L, std::pow(luaL_checknumber(L, 1), luaL_checknumber(L, 2)));
    return 1;
}

int math_min(lua_State* L) {
    const int n = lua_gettop(L);
    lua_Number dmin = luaL_checknumber(L, 1);
    for (int i = 2; i <= n; i++) {
        const lua_Number d = luaL_checknumber(L, i);
        if (d < dmin) {
            dmin = d;
        }
    }
    lua_pushnumber(L, dmin);
    return 1;
}

int math_max(lua_State* L) {
    const int n = lua_gettop(L);
    lua_Number dmax = luaL_checknumber(L, 1);
    for (int i = 2; i <= n; i++) {
        const lua_Number d = luaL_checknumber(L, i);
        if (d > dmax) {
            dmax = d;
        }
    }
    lua_pushnumber(L, dmax);
    return 1;
}

int math_random(lua_State* L) {
    // rand() % RAND_MAX: the maximum itself folds to 0, so r stays below 1.
    const lua_Number r =
        static_cast<lua_Number>(CrtRand() % kCrtRandMax) / static_cast<lua_Number>(kCrtRandMax);
    switch (lua_gettop(L)) {
    case 0:
        lua_pushnumber(L, r);
        break;
    case 1: {
        const int u = luaL_checkint(L, 1);
        luaL_argcheck(L, 1 <= u, 1, "interval is empty");
        lua_pushnumber(L, LuaNumberToInt(std::floor(r * u)) + 1);
        break;
    }
    case 2: {
        const int l = luaL_checkint(L, 1);
        const int u = luaL_checkint(L, 2);
        luaL_argcheck(L, l <= u, 2, "interval is empty");
        const double span = static_cast<double>(u) - static_cast<double>(l) + 1.0;
        lua_pushnumber(L, static_cast<double>(LuaNumberToInt(std::floor(r * span))) + l);
        break;
    }
    default:
        return luaL_error(L, "wrong number of arguments");
    }
    return 1;
}

int math_randomseed(lua_State* L) {
    CrtSrand(static_cast<uint32_t>(luaL_checkint(L, 1)));
    return 0;
}

const luaL_reg kMathLib[] = {
    {"abs", Unary<Abs>},     {"sin", Unary<Sin>},     {"cos", Unary<Cos>},
    {"tan", Unary<Tan>},     {"asin", Unary<Asin>},   {"acos", Unary<Acos>},
    {"atan", Unary<Atan>},   {"atan2", math_atan2},   {"ceil", Unary<Ceil>},
    {"floor", Unary<Floor>}, {"mod", math_mod},       {"frexp", math_frexp},
    {"ldexp", math_ldexp},   {"sqrt", Unary<Sqrt>},   {"min", math_min},
    {"max", math_max},       {"log", Unary<Log>},     {"log10", Unary<Log10>},
    {"exp", Unary<Exp>},     {"deg", Unary<Deg>},     {"pow", math_pow},
    {"rad", Unary<Rad>},     {"random", math_random}, {"randomseed", math_randomseed},
    {nullptr, nullptr},
};

} // namespace

int luaopen_math(lua_State* L) {
    luaL_openlib(L, LUA_MATHLIBNAME, kMathLib, 0);
    lua_pushliteral(L, "pi");
    lua_pushnumber(L, kPi);
    lua_settable(L, -3);
    lua_pushliteral(L, "__pow");
    lua_pushliteral(L, "pow");
    lua_rawget(L, -3);
    lua_settable(L, LUA_GLOBALSINDEX);
    return 1;
}
