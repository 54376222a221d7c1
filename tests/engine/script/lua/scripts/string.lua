-- String library: the 5.0.2 functions and patterns, format with its added options, lualex.

dofile("user:data/check.lua")

-- methods through the per-type metatable
do
  eq(("abc"):upper(), "ABC")
  eq(("x"):rep(3), "xxx")
  local s = "hello"
  eq(s:len(), 5)
  eq(s.len, string.len)
  eq(getmetatable(s), string)
  eq(errorof(function() return ("x"):rep() end), "bad argument #1 to `rep' (number expected, got no value)")
end

-- wide strings are refused
do
  eq(errorof(function() return string.len(L"abc") end),
     "bad argument #1 to `len' (string expected, got wstring)")
  eq(errorof(function() return string.upper(L"abc") end),
     "bad argument #1 to `upper' (string expected, got wstring)")
  eq(errorof(function() return string.find("abc", L"b") end),
     "bad argument #2 to `find' (string expected, got wstring)")
end

-- len, sub, lower, upper, rep, byte, char
do
  eq(string.len(""), 0)
  eq(string.len("a\0b"), 3)
  eq(string.len(123), 3)
  local subs = {
    {2, nil, "ello"}, {2, 3, "el"}, {-3, nil, "llo"}, {-3, -2, "ll"}, {0, 2, "he"},
    {4, 2, ""}, {1, 100, "hello"}, {-100, 1, "h"}, {6, nil, ""}, {3, -3, "l"},
  }
  for i = 1, table.getn(subs) do
    local c = subs[i]
    local got
    if c[2] then got = string.sub("hello", c[1], c[2]) else got = string.sub("hello", c[1]) end
    eq(got, c[3])
  end
  eq(string.lower("AbC\200"), "abc\200")
  eq(string.upper("aBc\233"), "ABC\233")
  eq(string.rep("ab", 3), "ababab")
  eq(string.rep("ab", 0), "")
  eq(string.rep("ab", -1), "")
  eq(string.rep("", 2147483647), "")
  eq(string.len(string.rep("x", 1000)), 1000)
  eq(string.byte("ABC"), 65)
  eq(string.byte("ABC", 2), 66)
  eq(string.byte("ABC", -1), 67)
  eq(string.byte("ABC", 4), nil)
  eq(string.byte("ABC", 0), nil)
  eq(string.byte("\255"), 255)
  eq(string.char(), "")
  eq(string.char(72, 105, 0, 255), "Hi\0\255")
  eq(errorof(function() return string.char(256) end), "bad argument #1 to `char' (invalid value)")
  eq(errorof(function() return string.char(65, -1) end), "bad argument #2 to `char' (invalid value)")
end

-- find: plain and with patterns
do
  local cases = {
    -- subject, pattern, init, plain, {expected start, end, captures...}
    {"hello world", "wor", nil, nil, {7, 9}},
    {"hello world", "o", 6, nil, {8, 8}},
    {"hello world", "xyz", nil, nil, {}},
    {"hello", "", nil, nil, {1, 0}},
    {"hello", "", 10, nil, {"error"}},
    {"hello", "l+", nil, nil, {3, 4}},
    {"a.b", ".", nil, true, {2, 2}},
    {"a.b", "%.", nil, nil, {2, 2}},
    {"hello", "^h", nil, nil, {1, 1}},
    {"hello", "^e", nil, nil, {}},
    {"hello", "o$", nil, nil, {5, 5}},
    {"key = value", "(%w+)%s*=%s*(%w+)", nil, nil, {1, 11, "key", "value"}},
    {"abc", "()b()", nil, nil, {2, 2, 2, 3}},
    {"THE (quick) fox", "%((%a+)%)", nil, nil, {5, 11, "quick"}},
    {"f(a(b)c)d", "%b()", nil, nil, {2, 8}},
    {"xaay", "a-", nil, nil, {1, 0}},
    {"xaay", "xa-y", nil, nil, {1, 4}},
    {"xaay", "xa-a*y", nil, nil, {1, 4}},
    {"aaa", "a?a?a?a", nil, nil, {1, 3}},
    {"abab", "(ab)%1", nil, nil, {1, 4, "ab"}},
    {"THE END", "%f[%a]%a+", 2, nil, {5, 7}},
    {"x123y", "[%d]+", nil, nil, {2, 4}},
    {"x123y", "[^%a]+", nil, nil, {2, 4}},
    {"a-b", "[a-]+", nil, nil, {1, 2}},
    {"0x1F", "%x+$", nil, nil, {3, 4}},
    {"  \t\n", "^%s*$", nil, nil, {1, 4}},
    {"a\0b", "%z", nil, nil, {2, 2}},
    {"Ab!", "%p", nil, nil, {3, 3}},
    {"Ab!", "%u%l", nil, nil, {1, 2}},
    {"ab", "%A", nil, nil, {}},
    {"hello", "l", -2, nil, {4, 4}},
  }
  for i = 1, table.getn(cases) do
    local c = cases[i]
    if c[5][1] == "error" then
      eq(errorof(function() return string.find(c[1], c[2], c[3]) end),
         "bad argument #3 to `find' (out of range)")
    else
      local r = {string.find(c[1], c[2], c[3] or 1, c[4])}
      local want = c[5]
      eq(table.getn(r), table.getn(want), "find case " .. i)
      for k = 1, table.getn(want) do
        eq(r[k], want[k], "find case " .. i)
      end
    end
  end
end

-- pattern errors
do
  local cases = {
    {"%", "malformed pattern (ends with `%')"},
    {"[a", "malformed pattern (missing `]')"},
    {"%b", "unbalanced pattern"},
    {"%ba", "unbalanced pattern"},
    {"(a", "unfinished capture"},
    {"%a)", "invalid pattern capture"},
    {"%1", "invalid capture index"},
    {"(a)%2", "invalid capture index"},
    {"%fa", "missing `[' after `%f' in pattern"},
    {string.rep("()", 33), "too many captures"},
    -- nesting that would exhaust the native stack is refused
    {string.rep("a?", 5000), "pattern too complex", string.rep("a", 5000)},
  }
  for i = 1, table.getn(cases) do
    local c = cases[i]
    eq(errorof(function() return string.find(c[3] or "a", c[1]) end), c[2], "pattern error " .. i)
  end
  local r = {string.find("a", string.rep("()", 32))}
  eq(table.getn(r), 34)
  r = {string.find(string.rep("a", 300), string.rep("a?", 300) .. "$")}
  eq(r[1], 1)
  eq(r[2], 300)
end

-- gfind
do
  local words = {}
  for w in string.gfind("one two  three", "%a+") do table.insert(words, w) end
  eq(table.concat(words, ","), "one,two,three")
  local pairsfound = {}
  for k, v in string.gfind("a=1, b=2", "(%w+)=(%w+)") do table.insert(pairsfound, k .. v) end
  eq(table.concat(pairsfound, ","), "a1,b2")
  local n = 0
  for e in string.gfind("abc", "x*") do n = n + 1; eq(e, "") end
  eq(n, 4)
end

-- gsub
do
  local cases = {
    {"hello world", "o", "0", nil, "hell0 w0rld", 2},
    {"hello world", "o", "0", 1, "hell0 world", 1},
    {"hello", "", "-", nil, "-h-e-l-l-o-", 6},
    {"hello world", "(%w+)", "<%1>", nil, "<hello> <world>", 2},
    {"abc", "%w", "%%", nil, "%%%", 3},
    {"abc", "^a", "x", nil, "xbc", 1},
    {"aaa", "^a", "x", nil, "xaa", 1},
    {"abc", "b", "%x", nil, "axc", 1},
    {"hello world", "(o)", "[%1]", nil, "hell[o] w[o]rld", 2},
    {"abc", "x", "y", nil, "abc", 0},
  }
  for i = 1, table.getn(cases) do
    local c = cases[i]
    local s, n
    if c[4] then s, n = string.gsub(c[1], c[2], c[3], c[4]) else s, n = string.gsub(c[1], c[2], c[3]) end
    eq(s, c[5])
    eq(n, c[6])
  end
  local s, n = string.gsub("$name is $age", "%$(%w+)", function(k)
    if k == "name" then return "Ann" end
  end)
  eq(s, "Ann is ")
  eq(n, 2)
  eq((string.gsub("abc", "%w", function(c) return string.byte(c) end)), "979899")
  eq((string.gsub("ab", "a", L"\x0158")), "Xb")
  eq((string.gsub("ab", "a", function() return L"\x0159" end)), "Yb")
  eq(errorof(function() return string.gsub("abc", "b") end),
     "bad argument #3 to `gsub' (string or function expected)")
  eq(errorof(function() return string.gsub("abc", "b", {}) end),
     "bad argument #3 to `gsub' (string or function expected)")
  eq(errorof(function() return string.gsub("abc", "(b)", "%2") end), "invalid capture index")
end

-- format: the 5.0.2 options
do
  local cases = {
    {"%d", 42, "42"}, {"%5d", 42, "   42"}, {"%-5d|", 42, "42   |"}, {"%05d", -42, "-0042"},
    {"%d", 3.99, "3"}, {"%d", -3.99, "-3"}, {"%i", 7, "7"}, {"%c", 65, "A"},
    {"%x", 255, "ff"}, {"%X", 255, "FF"}, {"%#x", 255, "0xff"}, {"%o", 8, "10"},
    {"%x", -1, "ffffffff"}, {"%u", 4294967297, "1"}, {"%u", 4294967296, "0"},
    {"%u", -1, "4294967295"}, {"%x", 4294967295, "ffffffff"}, {"%u", 3000000000, "3000000000"},
    {"%5.2f", 3.14159, " 3.14"}, {"%e", 1000, "1.000000e+03"}, {"%g", 0.0001, "0.0001"},
    {"%G", 1e-20, "1E-20"}, {"%.3s", "abcdef", "abc"}, {"%5s", "ab", "   ab"},
    {"%s", 12, "12"}, {"%-3s|", "a", "a  |"},
    {"%q", 'a"b\\c\nd\0e', '"a\\"b\\\\c\\\nd\\000e"'},
  }
  for i = 1, table.getn(cases) do
    local c = cases[i]
    eq(string.format(c[1], c[2]), c[3])
  end
  eq(string.format("%d%%", 50), "50%")
  eq(string.format("no items"), "no items")
  eq(string.format("%s and %s", "a", "b"), "a and b")
  local long = string.rep("x", 150)
  eq(string.format("[%s]", long), "[" .. long .. "]")
  eq(string.format("%s", "a\0b"), "a")
  eq(string.format("%s", string.rep("a\0", 60)), string.rep("a\0", 60))
  local errors = {
    {"%123d", "invalid format (width or precision too long)"},
    {"%1.123f", "invalid format (width or precision too long)"},
    {"%" .. string.rep("-", 18) .. "d", "no error"},
    {"%" .. string.rep("-", 19) .. "d", "invalid format (too long)"},
    {"%1$d", "obsolete option (d$) to `format'"},
    {"%y", "invalid option to `format'"},
    {"%", "invalid option to `format'"},
    {"%5", "invalid option to `format'"},
  }
  for i = 1, table.getn(errors) do
    local c = errors[i]
    eq(errorof(function() return string.format(c[1], 1) end), c[2])
  end
  eq(errorof(function() return string.format("%d", "x") end),
     "bad argument #2 to `format' (number expected, got string)")
  eq(errorof(function() return string.format("%d %d", 1) end),
     "bad argument #3 to `format' (number expected, got no value)")
  eq(errorof(function() return string.format("%s", L"w") end),
     "bad argument #2 to `format' (string expected, got wstring)")
end

-- format: %B, %b and %Q
do
  eq(string.format("%B", true), "true")
  eq(string.format("%B", false), "false")
  eq(string.format("%B", nil), "false")
  eq(string.format("%5B|", true), "true|")
  eq(string.format("%-8B|", false), "false|")
  eq(errorof(function() return string.format("%B", 1) end),
     "bad argument #2 to `format' (boolean expected, got number)")
  eq(bytes(string.format("%bw%bb", 258, 65)), "2 1 65")
  eq(bytes(string.format("%bd", -1)), "255 255 255 255")
  eq(bytes(string.format("%bd", 4294967298)), "2 0 0 0")
  eq(bytes(string.format("%bw", -2)), "254 255")
  eq(bytes(string.format("%bb", 511)), "255")
  eq(bytes(string.format("%bF", 1)), "0 0 0 0 0 0 240 63")
  eq(bytes(string.format("%bf", -2)), "0 0 0 192")
  eq(string.format("%bz%d", 1, 2), "2")
  eq(string.format("x%b", 1), "x")
  eq(string.format("%5bb", 65), "A")
  eq(errorof(function() return string.format("%bb", "x") end),
     "bad argument #2 to `format' (number expected, got string)")
  -- quoting
  eq(string.format("%Q", 'a"\n\1'), '"a\\"\\n\\x01"')
  eq(string.format("%Q", L"\x263A"), 'L"\\x263a"')
  eq(string.format("%Q", "\7\8\9\10\11\12\13"), '"\\a\\b\\t\\n\\v\\f\\r"')
  eq(string.format("%Q", "~ \127\128\255\\"), '"~ \\x7f\\x80\\xff\\\\"')
  eq(string.format("%Q", L"a\x00e9\"\n"), 'L"a\\x00e9\\"\\n"')
  eq(string.format("%Q", ""), '""')
  eq(string.format("%Q", 12), '"12"')
  eq(errorof(function() return string.format("%Q", {}) end),
     "bad argument #2 to `format' (string expected, got table)")
  -- read back through the lexer
  local values = {'a"\n\1', "\0\1\2\255xyz", "tab\there", "\\x41", "12\0013"}
  for i = 1, table.getn(values) do
    local back = loadstring("return " .. string.format("%Q", values[i]))()
    eq(back, values[i])
  end
  local wides = {L"\x263A", L"a\x00e9\"\n", L"\xFFFF\x0001z", L"", towstring("\1\2")}
  for i = 1, table.getn(wides) do
    local back = loadstring("return " .. string.format("%Q", wides[i]))()
    assert(back == wides[i] and type(back) == "wstring", "wide read back " .. i)
  end
end

-- lualex
do
  local cases = {
    {"a\\tb", 0, "a\tb"},
    {"\\x41B", 0, "AB"},
    {"\\65B", 0, "AB"},
    {"\\a\\b\\f\\n\\r\\t\\v", 0, "\7\8\12\10\13\9\11"},
    {"\\x414", 0, "A4"},
    {"\\xg", 0, "xg"},
    {"\\x", 0, "x"},
    {"\\X41", 0, "X41"},
    {"\\300", 0, "\44"},
    {"\\0659", 0, "A9"},
    {"\\q\\\\\\\"", 0, "q\\\""},
    {"end\\", 0, "end\0"},
    {"", 0, ""},
    {"plain", 2.5, "p\0l\0a\0i\0n\0"},
    {"A\\x263A", 1, "A\0\58\38"},
    {"\\x41424", 1, "\66\65\52\0"},
    {"\\xfF", -1, "\255\0"},
    {"\\xfF", 0.5, "\255"},
  }
  for i = 1, table.getn(cases) do
    local c = cases[i]
    eq(bytes(string.lualex(c[1], c[2])), bytes(c[3]))
  end
  eq(type(string.lualex("a", 1)), "string")
  eq(errorof(function() return string.lualex("a") end),
     "bad argument #2 to `lualex' (number expected, got no value)")
  eq(errorof(function() return string.lualex("a", "x") end),
     "bad argument #2 to `lualex' (number expected, got string)")
  eq(errorof(function() return string.lualex(L"a", 0) end),
     "bad argument #1 to `lualex' (string expected, got wstring)")
end

-- dump
do
  local function f(a) return a * 2 end
  local image = string.dump(f)
  eq(string.byte(image, 1), 27)
  eq(loadstring(image)(21), 42)
  eq(errorof(function() return string.dump(print) end), "unable to dump given function")
  eq(errorof(function() return string.dump(1) end),
     "bad argument #1 to `dump' (function expected, got number)")
end

-- the library table
do
  local names = {"len", "sub", "lower", "upper", "char", "rep", "byte", "format", "dump", "find",
                 "gfind", "gsub", "lualex", "pack", "unpack"}
  for i = 1, table.getn(names) do
    eq(type(string[names[i]]), "function")
  end
end
