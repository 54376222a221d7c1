#include "game/shell/LuaPrintf.h"

#include "engine/script/lua/lauxlib.h"
#include "engine/script/script.h"
#include "game/shell/GGameMainHooks.h"
#include "game/shell/GameMainScript.h"

#include <gtest/gtest.h>

#include <string>

namespace luaprintf_test {

// CPP_Printf as scripts call it: each case is the Lua argument list and the text it gives.
class LuaPrintfTest : public ::testing::Test {
protected:
    void SetUp() override {
        mScript.Init();
        L = mScript.GetState();
        PublishGameMainFunctions(L, mHooks);
    }
    void TearDown() override { WithdrawGameMainFunctions(L, mHooks); }

    std::string Printf(const std::string& arguments) {
        const std::string chunk = "return CPP_Printf(" + arguments + ")";
        if (luaL_loadbuffer(L, chunk.data(), chunk.size(), "test") != 0 ||
            lua_pcall(L, 0, 1, 0) != 0) {
            const std::string error = lua_tostring(L, -1);
            lua_pop(L, 1);
            return "<error " + error + ">";
        }
        std::string text(lua_tostring(L, -1), lua_strlen(L, -1));
        lua_pop(L, 1);
        return text;
    }

    GGameMainHooks mHooks;
    TScript mScript;
    lua_State* L = nullptr;
};

TEST_F(LuaPrintfTest, EachConversionMeetsItsValue) {
    struct TCase {
        const char* arguments;
        std::string text;
    };
    const TCase cases[] = {
        // Floating and text conversions as printf writes them.
        {"'%g %s', 1.5, 'x'", "1.5 x"},
        {"'%.2f|%10.3e|%G', 3.14159, 12345.678, 1e-10", "3.14| 1.235e+04|1E-10"},
        {"'%+d %05d % d %-4d|', 5, 42, 7, 3", "+5 00042  7 3   |"},
        {"'%x %X %#x %o %u', 255, 255, 255, 8, 7", "ff FF 0xff 10 7"},
        {"'%c%c', 72, 105", "Hi"},
        {"'%5.1s|%-3s|', 'abc', 'z'", "    a|z  |"},
        {"'100%%'", "100%"},
        {"'a\\0b%s', 'c\\0d'", std::string("a\0bc\0d", 6)},
        // Integers truncate toward zero through the script machine's conversion.
        {"'%d %i', 2.9, -2.9", "2 -2"},
        {"'%d', 1099511627776", "-2147483648"},
        {"'%d', 0/0", "-2147483648"},
        {"'%lld', 1099511627776", "1099511627776"},
        {"'%u %x', -1, -1", "4294967295 ffffffff"},
        {"'%hd %hhd', 70000, 300", "4464 44"},
        // A number meeting "%s" is written as its Lua text; numeric strings are numbers.
        {"'%s', 12", "12"},
        {"'%s|%s', 0.1, '007'", "0.1|7"},
        // A text meeting a numeric conversion counts as 0.
        {"'%d %.1f %c|', 'abc', 'x', 'y'", std::string("0 0.0 \0|", 8)},
        // Nil, booleans, tables and functions are skipped; a conversion without a value writes
        // nothing; values left over are ignored.
        {"'%s %s', true, {}, 'y', nil, print, 3", "y 3"},
        {"'%d and %s'", " and "},
        {"'[%5d]', nil", "[]"},
        {"'%d', 1, 2, 3", "1"},
        // "%n", "%p" and what is no conversion stay text and take no value.
        {"'%n%d', 5", "%n5"},
        {"'%p %d', 6", "%p 6"},
        {"'%y%d', 7", "%y7"},
        {"'50%'", "50%"},
        {"'%5'", "%5"},
        // Widths and precisions from the values, a negative width aligning left.
        {"'%*d|', 5, 42", "   42|"},
        {"'%*d|', -4, 7", "7   |"},
        {"'%.*f', 2, 3.14159", "3.14"},
        {"'%*d', 'wide', 9", "9"},
        {"'%*d', 3", ""},
        // No format, and a number as the format.
        {"", ""},
        {"12", "12"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Printf(c.arguments), c.text) << c.arguments;
    }
}

TEST_F(LuaPrintfTest, LongResultsAreWholeAndFieldsAreBounded) {
    const std::string format = Printf("string.rep('ab', 2500)");
    EXPECT_EQ(format.size(), 5000u);
    EXPECT_EQ(format.substr(4996), "abab");
    const std::string text = Printf("'<%s>', string.rep('x', 5000)");
    EXPECT_EQ(text.size(), 5002u);
    EXPECT_EQ(text.substr(4998), "xxx>");

    const std::string padded = Printf("'%5000s|%s', 'x', string.rep('y', 3000)");
    EXPECT_EQ(padded.size(), 4096u + 1 + 3000);
    EXPECT_EQ(padded.substr(4094, 4), " x|y");
    EXPECT_EQ(Printf("'%.9999f', 1").size(), 2u + 4096);
    // Beyond an int the width is the conversion's fault value, a negative one: left aligned and
    // held to the bound.
    EXPECT_EQ(Printf("'%*d|', 2147483648, 1"), "1" + std::string(4095, ' ') + "|");
}

} // namespace luaprintf_test
