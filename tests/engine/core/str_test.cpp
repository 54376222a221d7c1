#include "engine/core/str.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace {

std::string Bytes(const str& s) {
    return std::string(s.CStr(), static_cast<size_t>(s.Length()));
}

TEST(Str, EmptyForms) {
    str none;
    str blank("");
    str fromNull(static_cast<const char*>(nullptr));
    EXPECT_EQ(none.Length(), 0);
    EXPECT_EQ(blank.Length(), 0);
    ASSERT_NE(none.CStr(), nullptr);
    EXPECT_STREQ(none.CStr(), "");
    EXPECT_TRUE(none == blank);
    EXPECT_TRUE(blank == none);
    EXPECT_TRUE(none == fromNull);
    EXPECT_FALSE(none < blank);
    EXPECT_FALSE(blank < none);
    EXPECT_EQ(none.Capacity(), 0);
    EXPECT_EQ(blank.Capacity(), 1);
    EXPECT_EQ(fromNull.Capacity(), 16);
    EXPECT_EQ(none[0], 0);
}

TEST(Str, ConstructionCapacities) {
    EXPECT_EQ(str("abc").Capacity(), 4);
    EXPECT_EQ(str("abcdefghijklmnopqrst").Capacity(), 21);
    EXPECT_EQ(str("abcdef", 3).Capacity(), 16);
    EXPECT_EQ(str("abcdefghijklmnopqrst", 20).Capacity(), 21);
    EXPECT_EQ(str("abcdef", 3), str("abc"));

    // The counted constructor copies past a NUL.
    str embedded("ab\0cd", 5);
    EXPECT_EQ(embedded.Length(), 2);
    EXPECT_EQ(embedded.CStr()[3], 'c');
    EXPECT_EQ(embedded.CStr()[4], 'd');
    EXPECT_EQ(embedded.CStr()[5], 0);

    str assigned("old");
    assigned.Assign("abcdef", 4);
    EXPECT_STREQ(assigned.CStr(), "abcd");
    EXPECT_EQ(assigned.Capacity(), 16);
    assigned = "xy";
    EXPECT_STREQ(assigned.CStr(), "xy");
    EXPECT_EQ(assigned.Capacity(), 3);
}

TEST(Str, CopiesShareUntilChanged) {
    str original("Hello World");
    str copy = original;
    EXPECT_EQ(copy.CStr(), original.CStr());
    str assigned;
    assigned = copy;
    EXPECT_EQ(assigned.CStr(), original.CStr());
    const str& alias = assigned;
    assigned = alias;
    EXPECT_STREQ(assigned.CStr(), "Hello World");
}

TEST(Str, ChangingACopyLeavesTheOriginal) {
    struct Case {
        const char* name;
        std::function<void(str&)> change;
        const char* changed;
    };
    const Case cases[] = {
        {"append", [](str& s) { s += str("!"); }, "Hello World!"},
        {"append char", [](str& s) { s += '?'; }, "Hello World?"},
        {"append bytes", [](str& s) { s.Append("xyz", 2); }, "Hello Worldxy"},
        {"lower", [](str& s) { s.ToLower(); }, "hello world"},
        {"erase", [](str& s) { s.Erase(5, -1); }, "Hello"},
        {"replace", [](str& s) { s.Replace("o", "0", str::kAll); }, "Hell0 W0rld"},
        {"write at", [](str& s) { s.WriteAt(0, "J", 1, false); }, "Jello World"},
        {"reserve", [](str& s) { s.Reserve(100); }, "Hello World"},
        {"format", [](str& s) { s.Format("%d", 5); }, "5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        str original("Hello World");
        str copy = original;
        c.change(copy);
        EXPECT_STREQ(original.CStr(), "Hello World");
        EXPECT_STREQ(copy.CStr(), c.changed);
        EXPECT_NE(copy.CStr(), original.CStr());
    }
}

TEST(Str, UnsharingCopiesToExactSize) {
    str wide(static_cast<const char*>(nullptr)); // empty text in a 16-byte buffer
    str copy = wide;
    copy.ToLower();
    EXPECT_EQ(copy.Capacity(), 1);
    EXPECT_EQ(wide.Capacity(), 16);

    str text("abc", 3);
    str other = text;
    other.Erase(1, 1);
    EXPECT_EQ(other.Capacity(), 4);
    EXPECT_STREQ(other.CStr(), "ac");
}

TEST(Str, CompareOrdersUnsignedBytes) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"a", "b", -1}, {"b", "a", 1}, {"ab", "abc", -1}, {"abc", "ab", 1}, {"abc", "abc", 0},
        {"", "", 0},    {"", "a", -1}, {"\x80", "a", 1},  {"A", "a", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        str a(c.a);
        str b(c.b);
        EXPECT_EQ(a.Compare(b), c.expected);
        EXPECT_EQ(a == b, c.expected == 0);
        EXPECT_EQ(a < b, c.expected < 0);
    }
    EXPECT_EQ(str().Compare(str("")), 0);
    EXPECT_EQ(str().Compare(str("a")), -1);
    EXPECT_EQ(str("a").Compare(str()), 1);
}

TEST(Str, IndexPastTheEndReadsZero) {
    str s("abc");
    EXPECT_EQ(s[0u], 'a');
    EXPECT_EQ(s[2u], 'c');
    EXPECT_EQ(s[3u], 0);
    EXPECT_EQ(s[1000u], 0);
    EXPECT_EQ(s[static_cast<unsigned>(-1)], 0);
}

TEST(Str, NumberConversions) {
    struct Case {
        const char* text;
        int asInt;
        float asFloat;
    };
    const Case cases[] = {
        {"42", 42, 42.0f}, {"-7", -7, -7.0f}, {"2x", 2, 2.0f},  {"abc", 0, 0.0f},
        {"", 0, 0.0f},     {" 3", 3, 3.0f},   {"1.5", 1, 1.5f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(str(c.text).ToInt(), c.asInt);
        EXPECT_EQ(str(c.text).ToFloat(), c.asFloat);
    }
    EXPECT_EQ(str().ToInt(), 0);
    EXPECT_EQ(str().ToFloat(), 0.0f);
    // Beyond the float range the value saturates instead of converting out of range.
    EXPECT_EQ(str("1e300").ToFloat(), HUGE_VALF);
    EXPECT_EQ(str("-1e300").ToFloat(), -HUGE_VALF);
}

TEST(Str, FindChar) {
    struct Case {
        const char* text;
        char c;
        int flags;
        int start;
        int expected;
    };
    const Case cases[] = {
        {"aXa", 'x', str::kNoCase, 0, 1},
        {"aXa", 'x', 0, 0, -1},
        {"aXa", 'X', 0, 0, 1},
        {"aXa", 'a', 0, 1, 2},
        {"aXa", 'a', 0, 3, -1},
        {"aXa", 'a', 0, 99, -1},
        {"abca", 'a', str::kBackward, 0, 3},
        {"abca", 'a', str::kBackward, 1, 0},
        {"abca", 'A', str::kBackward | str::kNoCase, 0, 3},
        {"abca", 'a', str::kBackward, 4, -1},
        {"", 'a', 0, 0, -1},
        {"abc", 'a', 0, -5, 0},
        {"abc", 'c', str::kBackward, -5, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " " + c.c + " flags " + std::to_string(c.flags) +
                     " start " + std::to_string(c.start));
        EXPECT_EQ(str(c.text).FindChar(c.c, c.flags, c.start), c.expected);
    }
    EXPECT_EQ(str().FindChar('a'), -1);
}

TEST(Str, Find) {
    struct Case {
        const char* text;
        const char* needle;
        int flags;
        int start;
        int expected;
    };
    const Case cases[] = {
        {"abc", "c", 0, 0, 2},
        {"abcabc", "abc", str::kBackward, 0, 3},
        {"abcabc", "abc", str::kBackward, 1, 0},
        {"abcabc", "abc", 0, 1, 3},
        {"abcabc", "abc", 0, 4, -1},
        {"ab", "abc", 0, 0, -1},
        {"ab", "abc", str::kBackward, 0, -1},
        {"abcabc", "BCA", 0, 0, -1},
        {"abcabc", "BCA", str::kNoCase, 0, 1},
        {"abc", "c", 0, 3, -1},
        {"", "a", 0, 0, -1},
        {"", "", 0, 0, -1},
        {"abc", "", 0, 1, 1},
        {"abc", "", str::kBackward, 0, 3},
        {"abcabc", "bc", 0, -3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.needle + " flags " + std::to_string(c.flags) +
                     " start " + std::to_string(c.start));
        EXPECT_EQ(str(c.text).Find(str(c.needle), c.flags, c.start), c.expected);
    }
    EXPECT_EQ(str("abc").Find(str(), 0, 0), 0);
    EXPECT_EQ(str().Find(str("a")), -1);
}

TEST(Str, Substr) {
    struct Case {
        int pos;
        int len;
        const char* expected;
    };
    const Case cases[] = {
        {1, -1, "ello"}, {0, -1, "hello"}, {1, 3, "ell"}, {4, 1, "o"},  {3, 100, "lo"}, {0, 0, ""},
        {5, -1, ""},     {9, 2, ""},       {-2, 3, ""},   {-1, -1, ""}, {2, -7, ""},
    };
    const str hello("hello");
    for (const Case& c : cases) {
        SCOPED_TRACE("pos " + std::to_string(c.pos) + " len " + std::to_string(c.len));
        str sub = hello.Substr(c.pos, c.len);
        EXPECT_STREQ(sub.CStr(), c.expected);
        EXPECT_GE(sub.Capacity(), 16);
    }
    EXPECT_STREQ(str().Substr(0, -1).CStr(), "");
}

TEST(Str, Concatenation) {
    str ab = str("a") + str("b");
    EXPECT_STREQ(ab.CStr(), "ab");
    EXPECT_EQ(ab.Capacity(), 16);
    str long20 = str("0123456789") + str("abcdefghij");
    EXPECT_STREQ(long20.CStr(), "0123456789abcdefghij");
    EXPECT_EQ(long20.Capacity(), 21);
    EXPECT_STREQ((str() + str()).CStr(), "");

    str withChar = str("0123456789abcdefghi") + 'Z';
    EXPECT_STREQ(withChar.CStr(), "0123456789abcdefghiZ");
    EXPECT_EQ(withChar.Capacity(), 21);
    EXPECT_STREQ((str() + 'x').CStr(), "x");
}

TEST(Str, FromCodePoint) {
    struct Case {
        unsigned codePoint;
        const char* utf8;
    };
    const Case cases[] = {
        {0x41, "A"},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0xE9, "\xC3\xA9"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0x20AC, "\xE2\x82\xAC"},
        {0xD800, "\xED\xA0\x80"},
        {0xFEFF, ""},
        {0xFFFE, ""},
        {0xFFFF, ""},
        {0xFFFD, "\xEF\xBF\xBD"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x1F600, "\xF0\x9F\x98\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0x110000, ""},
        {0xFFFFFFFF, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePoint);
        str s = str::FromCodePoint(c.codePoint);
        EXPECT_EQ(Bytes(s), std::string(c.utf8));
        char out[4];
        EXPECT_EQ(EncodeUtf8(c.codePoint, out), static_cast<int>(std::string(c.utf8).size()));
        if (*c.utf8 == 0) {
            EXPECT_EQ(s.Capacity(), 0);
        }
    }
}

TEST(Str, FromFormat) {
    EXPECT_STREQ(str::FromFormat("%d-%s-%c", 7, "ab", 'z').CStr(), "7-ab-z");
    EXPECT_STREQ(str::FromFormat("%5.2f|%-3d|%x", 3.14159, 4, 255).CStr(), " 3.14|4  |ff");
    EXPECT_STREQ(str::FromFormat("%s", "").CStr(), "");

    for (int length : {4095, 4096, 4097, 10000}) {
        SCOPED_TRACE(length);
        std::string text(static_cast<size_t>(length), 'q');
        text[static_cast<size_t>(length) - 1] = 'E';
        str s = str::FromFormat("%s", text.c_str());
        EXPECT_EQ(s.Length(), length);
        EXPECT_EQ(Bytes(s), text);
        EXPECT_EQ(s.Capacity(), length + 1);
    }

    str target("old");
    target.Format("<%03d>", 9);
    EXPECT_STREQ(target.CStr(), "<009>");
}

TEST(Str, ReserveKeepsTextAndNeverShrinksBelowIt) {
    str s("abc");
    s.Reserve(40);
    EXPECT_EQ(s.Capacity(), 40);
    EXPECT_STREQ(s.CStr(), "abc");
    s.Reserve(2);
    EXPECT_EQ(s.Capacity(), 16);
    EXPECT_STREQ(s.CStr(), "abc");

    str longer("0123456789abcdefghijklmn");
    longer.Reserve(5);
    EXPECT_STREQ(longer.CStr(), "0123456789abcdefghijklmn");
    EXPECT_GE(longer.Capacity(), 25);

    str none;
    none.Reserve(0);
    EXPECT_EQ(none.Capacity(), 16);
}

TEST(Str, AppendGrowsToTheExactSize) {
    str s("abc");
    s += str("de");
    EXPECT_STREQ(s.CStr(), "abcde");
    EXPECT_EQ(s.Capacity(), 16);

    str big("0123456789abcdefghij"); // capacity 21
    big += str("XY");
    EXPECT_STREQ(big.CStr(), "0123456789abcdefghijXY");
    EXPECT_EQ(big.Capacity(), 23);

    str roomy("ab", 2); // capacity 16
    roomy += str("cd");
    EXPECT_EQ(roomy.Capacity(), 16);

    str none;
    none += str("");
    EXPECT_EQ(none.Capacity(), 16);
    EXPECT_STREQ(none.CStr(), "");

    str self("xyz");
    self += self;
    EXPECT_STREQ(self.CStr(), "xyzxyz");

    str bytes;
    bytes.Append("hello", 3);
    bytes += 'p';
    EXPECT_STREQ(bytes.CStr(), "help");
}

TEST(Str, WriteAtGrowsByDoubling) {
    str s(static_cast<const char*>(nullptr)); // 16-byte buffer
    const char text[] = "0123456789012345678901234567890123456789";
    EXPECT_EQ(s.WriteAt(0, text, 39, true), 39); // needs 40
    EXPECT_EQ(s.Capacity(), 64);
    EXPECT_STREQ(s.CStr(), "012345678901234567890123456789012345678");

    str none;
    EXPECT_EQ(none.WriteAt(-1, "ab", 2, true), 2);
    EXPECT_EQ(none.Capacity(), 16);
    EXPECT_EQ(none.WriteAt(-1, "cd", 2, true), 4);
    EXPECT_STREQ(none.CStr(), "abcd");

    str exact("abcdef"); // capacity 7
    EXPECT_EQ(exact.WriteAt(1, "XY", 2, false), 3);
    EXPECT_STREQ(exact.CStr(), "aXYdef");
    EXPECT_EQ(exact.Capacity(), 7);
    EXPECT_EQ(exact.WriteAt(1, "XY", 2, true), 3);
    EXPECT_STREQ(exact.CStr(), "aXY");
    EXPECT_EQ(exact.WriteAt(5, "Z", 1, true), 6); // needs 7: fits
    EXPECT_EQ(exact.Capacity(), 7);
    EXPECT_EQ(exact.WriteAt(6, "W", 1, true), 7); // needs 8: 7 doubles to 14, then 16
    EXPECT_EQ(exact.Capacity(), 16);
}

TEST(Str, WriteAtFromItsOwnText) {
    str s("abcdef"); // capacity 7: the write must grow while reading the old buffer
    EXPECT_EQ(s.WriteAt(-1, s.CStr(), s.Length(), true), 12);
    EXPECT_STREQ(s.CStr(), "abcdefabcdef");
    s.WriteAt(0, s.CStr() + 6, 6, false);
    EXPECT_STREQ(s.CStr(), "abcdefabcdef");
}

TEST(Str, WriteAtRefusesPositionsBeforeTheText) {
    str s("abc");
    EXPECT_EQ(s.WriteAt(-5, "XY", 2, true), 0);
    EXPECT_STREQ(s.CStr(), "abc");
    EXPECT_EQ(s.WriteAt(1, "XY", -2, true), 1);
    EXPECT_STREQ(s.CStr(), "abc");
}

TEST(Str, UnterminatedWritesStayInsideTheBuffer) {
    // Bytes written without a NUL up to the last free byte still leave a NUL at the end.
    str s("ab", 2); // capacity 16
    s.WriteAt(0, "0123456789abcde", 15, false);
    EXPECT_EQ(s.Length(), 15);
    str past("ab", 2);
    past.WriteAt(10, "xyz", 3, false); // past the text: the text still ends at its NUL
    EXPECT_STREQ(past.CStr(), "ab");
}

TEST(Str, Erase) {
    struct Case {
        int pos;
        int len;
        const char* expected;
    };
    const Case cases[] = {
        {1, 2, "hlo"},   {2, -1, "he"},   {3, 2, "hel"},    {0, 5, ""},     {0, 0, "hello"},
        {5, 1, "hello"}, {9, 1, "hello"}, {-1, 2, "hello"}, {3, 10, "hel"}, {1, -4, "hello"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("pos " + std::to_string(c.pos) + " len " + std::to_string(c.len));
        str s("hello");
        s.Erase(c.pos, c.len);
        EXPECT_STREQ(s.CStr(), c.expected);
    }
    str none;
    none.Erase(0, -1);
    EXPECT_STREQ(none.CStr(), "");
}

TEST(Str, Replace) {
    struct Case {
        const char* text;
        const char* what;
        const char* with;
        int flags;
        int start;
        const char* expected;
    };
    const Case cases[] = {
        {"a.b.c", ".", "::", str::kAll, 0, "a::b::c"},
        {"a.b.c", ".", "::", 0, 0, "a::b.c"},
        {"aaa", "a", "aa", str::kAll, 0, "aaaaaa"},
        {"abcabc", "b", "", str::kAll, 0, "acac"},
        {"abab", "ab", "xyz", str::kAll, 0, "xyzxyz"},
        {"abcabc", "bc", "X", str::kAll, 0, "aXaX"},
        {"Hello", "L", "x", str::kNoCase | str::kAll, 0, "Hexxo"},
        {"Hello", "L", "x", str::kAll, 0, "Hello"},
        {"abcabc", "b", "X", 0, 2, "abcaXc"},
        {"abc", "abc", "", 0, 0, ""},
        {"abc", "abcd", "x", str::kAll, 0, "abc"},
        {"", "a", "b", str::kAll, 0, ""},
        {"abc", "", "x", str::kAll, 0, "abc"},
        {"x.y", ".", "0123456789abcdefghij", 0, 0, "x0123456789abcdefghijy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + ": " + c.what + " -> " + c.with);
        str s(c.text);
        str& result = s.Replace(c.what, c.with, c.flags, c.start);
        EXPECT_EQ(&result, &s);
        EXPECT_STREQ(s.CStr(), c.expected);
    }

    str self("abc");
    self.Replace(self, "x");
    EXPECT_STREQ(self.CStr(), "x");
    str grow("a.b.c.d"); // capacity 8; each replacement grows to the exact size
    grow.Replace(".", "--", str::kAll);
    EXPECT_STREQ(grow.CStr(), "a--b--c--d");
    EXPECT_EQ(grow.Capacity(), 16);
}

TEST(Str, ToLowerChangesOnlyAsciiLetters) {
    str s("AbC-Z@[\xC4\xE9");
    s.ToLower();
    EXPECT_STREQ(s.CStr(), "abc-z@[\xC4\xE9");
    str none;
    none.ToLower();
    EXPECT_EQ(none.Capacity(), 0);
}

TEST(Str, AssignFromItsOwnText) {
    str s("prefix-rest");
    s = s.CStr() + 7;
    EXPECT_STREQ(s.CStr(), "rest");
    s.Assign(s.CStr() + 1, 2);
    EXPECT_STREQ(s.CStr(), "es");
}

} // namespace
