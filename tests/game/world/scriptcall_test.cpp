// The script-call protocol: lookup by name, arguments, results read by Lua's conversions, and the
// fatal end of a call that cannot be made; and the random adaptor published to scripts.
#include "game/world/ScriptCall.h"

#include "engine/core/random.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/script.h"
#include "platform/win32/standin.h"
#include "platform/win32/winuser.h"
#include "tests/fixtures/childprocess.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

struct TTerminated {
    unsigned code;
};

void ThrowOnTerminate(UINT code) {
    throw TTerminated{code};
}

class ScriptCallTest : public ::testing::Test {
protected:
    void SetUp() override {
        mScript.Init();
        standin::TakeMessageBoxes();
        mPreviousHook = standin::SetTerminateHook(&ThrowOnTerminate);
    }
    void TearDown() override { standin::SetTerminateHook(mPreviousHook); }

    void Run(const char* text) { mScript.DoLuaString(text); }

    // The exit code a fatal call ended with, -1 when it returned.
    template <typename F>
    int EndCode(F call) {
        try {
            call();
        } catch (const TTerminated& ended) {
            return static_cast<int>(ended.code);
        }
        return -1;
    }

    TScript mScript;
    standin::TTerminateHook mPreviousHook = nullptr;
};

TEST_F(ScriptCallTest, ArgumentsArriveInOrderAndResultsAreReadAndPopped) {
    Run("function Sum(a, b, c, d) return a * 1000 + b * 100 + c * 10 + d end\n"
        "function Join(a, b) return a .. '|' .. b end\n"
        "function Note(n) noted = n end\n"
        "function Mark() marked = 1 end");
    lua_State* state = mScript.GetState();
    const int top = lua_gettop(state);
    EXPECT_EQ(ScriptCallInt4(&mScript, "Sum", 1, 2, 3, 4), 1234);
    EXPECT_EQ(std::string(ScriptCallStr(&mScript, "Join", "a'b", 7).CStr()), "a'b|7");
    EXPECT_EQ(ScriptCallWithInt(&mScript, "Note", -5), 0);
    EXPECT_EQ(mScript.GetGlobalNumber("noted"), -5);
    EXPECT_EQ(ScriptCallVoid(&mScript, "Mark"), 0);
    EXPECT_EQ(mScript.GetGlobalNumber("marked"), 1);
    EXPECT_EQ(lua_gettop(state), top);
    EXPECT_TRUE(standin::TakeMessageBoxes().empty());
}

TEST_F(ScriptCallTest, ResultsConvertAsLuaDoes) {
    struct TCase {
        const char* body;
        int asInt;
        const char* asText;
    };
    const TCase cases[] = {
        {"", 0, ""},
        {"return nil", 0, ""},
        {"return true", 0, ""},
        {"return 'abc'", 0, "abc"},
        {"return '12'", 12, "12"},
        {"return 2.9", 2, "2.9"},
        {"return -2.9", -2, "-2.9"},
        {"return 1e300", LuaNumberToInt(1e300), "1e+300"},
        {"return {}", 0, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.body);
        Run((std::string("function Hook() ") + c.body + " end").c_str());
        EXPECT_EQ(ScriptCallInt(&mScript, "Hook"), c.asInt);
        EXPECT_EQ(std::string(ScriptCallStr(&mScript, "Hook").CStr()), c.asText);
    }
}

TEST_F(ScriptCallTest, ACallThatCannotBeMadeShowsTheBoxAndEndsWithCodeOne) {
    Run("function Broken() error('boom') end\nNotAFunction = 3");
    struct TCase {
        const char* name;
        const char* text;
    };
    const TCase cases[] = {
        {"Missing", "Cannot run function: Missing\n"},
        {"Broken", "Cannot run function: Broken\n"},
        {"NotAFunction", "Cannot run function: NotAFunction\n"},
        {"", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EndCode([&] { ScriptCallVoid(&mScript, c.name); }), 1);
        const std::vector<standin::TMessageBoxRecord> boxes = standin::TakeMessageBoxes();
        ASSERT_EQ(boxes.size(), 1U);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].caption, "Error");
        EXPECT_EQ(boxes[0].type & MB_ICONINFORMATION, static_cast<UINT>(MB_ICONINFORMATION));
    }
}

TEST_F(ScriptCallTest, ACallWithoutAScriptIsFatal) {
    EXPECT_EQ(EndCode([&] { ScriptCallVoid(nullptr, "Anything"); }), 1);
    ASSERT_EQ(standin::TakeMessageBoxes().size(), 1U);
}

// The real end of the process, without a hook in the way.
CHILD_ENTRY(ScriptCallMissing) {
    TScript script;
    script.Init();
    ScriptCallVoid(&script, "Missing");
    return 0;
}

TEST(ScriptCallProcess, AFailedCallEndsTheProcessWithCodeOne) {
    const pid_t child = testing_fixtures::SpawnChild("ScriptCallMissing", {});
    ASSERT_GT(child, 0);
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), 1);
}

TEST(RandomInRange, CoversTheRangeAndShiftsNegativeResultsUp) {
    TRandom random;
    random.Seed(5489);
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        const int roll = RandomInRange(random, 1, 6);
        ASSERT_GE(roll, 1);
        ASSERT_LE(roll, 6);
        seen.insert(roll);
        ASSERT_EQ(RandomInRange(random, 5, 5), 5);
    }
    EXPECT_EQ(seen.size(), 6U);

    // MT19937 seeded with 5489 gives 3499211612, 581869302, 3890346734, 3586334585, 545404204:
    // u = 0.8147, 0.1355, 0.9058, 0.8350, 0.1270. Truncation toward zero moves the negative
    // results up by one: -2.19 gives -2, and with b < 0 the results reach b + 1.
    struct TCase {
        int a;
        int b;
        std::vector<int> rolls;
    };
    const TCase cases[] = {
        {-3, 2, {1, -2, 2, 2, -2}},
        {-5, -2, {-1, -4, -1, -1, -4}},
        {0, 9, {8, 1, 9, 8, 1}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.a);
        TRandom seeded;
        seeded.Seed(5489);
        for (int expected : c.rolls) {
            EXPECT_EQ(RandomInRange(seeded, c.a, c.b), expected);
        }
    }
}

} // namespace
