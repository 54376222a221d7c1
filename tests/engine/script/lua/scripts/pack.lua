-- Binary pack and unpack: codes, counts, byte order, wide strings, padding and short data.

dofile("user:data/check.lua")

-- Runs string.unpack and returns its results as one text, values separated by blanks.
local function unpacked(...)
  local r = {string.unpack(unpack(arg))}
  local n = 0
  for k in pairs(r) do if k > n then n = k end end
  local parts = {}
  for i = 1, n do
    local v = r[i]
    if type(v) == "wstring" then v = "W(" .. bytes(string.format("%s", tostring(v))) .. ")" end
    parts[i] = tostring(v)
  end
  return table.concat(parts, " ")
end

-- pack: each code with values worked out by hand
do
  local cases = {
    {"<i2", {1, 2}, "1 0 0 0 2 0 0 0"},
    {">H", {258}, "1 2"},
    {"<H", {258}, "2 1"},
    {"bc", {255, -1}, "255 255"},
    {"b", {256 + 65}, "65"},
    {"b", {-1.9}, "255"},
    {"<h", {-2}, "254 255"},
    {">h", {65537}, "0 1"},
    {"<i", {-1}, "255 255 255 255"},
    {">i", {16909060}, "1 2 3 4"},
    {"<i", {4294967297}, "0 0 0 128"},
    {"<I", {4294967297}, "1 0 0 0"},
    {"<I", {-1}, "255 255 255 255"},
    {"<lL", {1, 2}, "1 0 0 0 2 0 0 0"},
    {"<f", {1.5}, "0 0 192 63"},
    {">f", {1.5}, "63 192 0 0"},
    {">d", {1}, "63 240 0 0 0 0 0 0"},
    {"<n", {-2}, "0 0 0 0 0 0 0 192"},
    {"BB", {true, false}, "1 0"},
    {"A", {"abc"}, "97 98 99"},
    {"A2", {"ab", "c"}, "97 98 99"},
    {"z", {"ab"}, "97 98 0"},
    {"z", {12}, "49 50 0"},
    {"p", {"abc"}, "3 97 98 99"},
    {"<P", {"ab"}, "2 0 97 98"},
    {">P", {"ab"}, "0 2 97 98"},
    {"<a", {"x"}, "1 0 0 0 120"},
    {">a", {""}, "0 0 0 0"},
    {"wz", {L"\x0041\x263A"}, "65 0 58 38 0 0"},
    {">wz", {L"\x0041\x263A"}, "0 65 38 58 0 0"},
    {"wp", {L"ab"}, "2 97 0 98 0"},
    {">wA", {L"\x263A"}, "38 58"},
    {"<wa", {L"z"}, "1 0 0 0 122 0"},
    {"wA", {12}, "49 0 50 0"},
    {"i3", {1, 2, 3}, "1 0 0 0 2 0 0 0 3 0 0 0"},
    {"<i0", {5}, "5 0 0 0"},
    {"b, b b", {1, 2, 3}, "1 2 3"},
    {"wb", {65}, "65"},
    {"bw", {65}, "65"},
    {">H=H", {1, 1}, "0 1 1 0"},
    {"<2H", {1}, "1 0"},
    {"@8:255 z @", {"ab"}, "97 98 0 255 255 255 255 255"},
    {"@4 A @ A", {"abcdef", "x"}, "97 98 99 100 101 102 120"},
    {"@4 b @", {1}, "1 0 0 0"},
    {"@2:7 b @ @3 b @", {1, 2}, "1 7 2 7 7"},
    {"@2:257 b @", {9}, "9 1"},
    {"@ b @2 b", {1, 2}, "1 2"},
    {"@3 b", {1}, "1"},
    {"", {}, ""},
  }
  for i = 1, table.getn(cases) do
    local c = cases[i]
    eq(bytes(string.pack(c[1], unpack(c[2]))), c[3], "pack case " .. i .. " " .. c[1])
  end
  eq(string.len(string.pack("p", string.rep("x", 255))), 256)
end

-- pack errors
do
  local cases = {
    {function() return string.pack("B", 1) end, "expected a boolean"},
    {function() return string.pack("B") end, "expected a boolean"},
    {function() return string.pack("y", 1) end, "bad argument #1 to `pack' (bad code `y')"},
    {function() return string.pack("b b", 1) end,
     "bad argument #3 to `pack' (number expected, got no value)"},
    {function() return string.pack("ii", 1, "x") end,
     "bad argument #3 to `pack' (number expected, got string)"},
    {function() return string.pack("z", {}) end,
     "bad argument #2 to `pack' (string expected, got table)"},
    {function() return string.pack("A", L"w") end,
     "bad argument #2 to `pack' (string expected, got wstring)"},
    {function() return string.pack("wz", "abc") end,
     "bad argument #2 to `pack' (wstring expected, got string)"},
    {function() return string.pack("p", string.rep("x", 256)) end,
     "bad argument #2 to `pack' (string too long for code `p')"},
    {function() return string.pack("b wp", 1, towstring(string.rep("x", 256))) end,
     "bad argument #3 to `pack' (string too long for code `p')"},
    {function() return string.pack("P", string.rep("x", 65536)) end,
     "bad argument #2 to `pack' (string too long for code `P')"},
    {function() return string.pack("b\0", 1) end, "bad argument #1 to `pack' (bad code `')"},
    {function() return string.pack(1) end, "bad argument #1 to `pack' (bad code `1')"},
  }
  for i = 1, table.getn(cases) do
    eq(errorof(cases[i][1]), cases[i][2], "pack error " .. i)
  end
  eq(string.len(string.pack("P", string.rep("x", 65535))), 65537)
end

-- unpack
do
  local cases = {
    {{"\1\2", "<H"}, "3 513"},
    {{"\1\2", ">H"}, "3 258"},
    {{"\1\2\3", "i"}, "1"},
    {{"\255\255", "bc"}, "3 255 -1"},
    {{"\254\255", "<h"}, "3 -2"},
    {{"\255\255", "<H"}, "3 65535"},
    {{"\255\255\255\255", "<i"}, "5 -1"},
    {{"\255\255\255\255", "<I"}, "5 4294967295"},
    {{"\255\255\255\255", "<L"}, "5 4294967295"},
    {{"\0\0\192\63", "<f"}, "5 1.5"},
    {{"\63\240\0\0\0\0\0\0", ">d"}, "9 1"},
    {{"\0\0\0\0\0\0\0\192", "<n"}, "9 -2"},
    {{"\0\2", "B2"}, "3 false true"},
    {{"abcdef", "A0"}, "2 a"},
    {{"abcdef", "A"}, "2 a"},
    {{"abcdef", "A3"}, "4 abc"},
    {{"abcdef", "A3A2"}, "6 abc de"},
    {{"abc", "A5"}, "1"},
    {{"abc", "bA5"}, "2 97"},
    {{"ab\0cd", "zz"}, "6 ab cd"},
    {{"\0", "z"}, "2 "},
    {{"", "z"}, "1"},
    {{"\3abc", "p"}, "5 abc"},
    {{"\5abc", "p"}, "1"},
    {{"\2\0ab", "<P"}, "5 ab"},
    {{"\0\2ab", ">P"}, "5 ab"},
    {{"\5\0ab", "<P"}, "1"},
    {{"\1\0\0\0x", "<a"}, "6 x"},
    {{"\1\0\0", "<a"}, "1"},
    {{"\1\0\0\0\5", "ii"}, "5 1"},
    {{"\1\2\3", "b3"}, "4 1 2 3"},
    {{"\1\2", "b3"}, "3 1 2"},
    {{"\1\2", "b, b"}, "3 1 2"},
    {{"\1\2\3\4", "b", 3}, "4 3"},
    {{"ab", "b", 3}, "3"},
    {{"ab", "b", 10}, "10"},
    {{"ab", "", 2}, "2"},
    {{"A\0:&\0\0", "wz"}, "7 W(65 58)"},
    {{"\0A&:\0\0", ">wz"}, "7 W(65 58)"},
    {{"A\0B\0", "wA2"}, "5 W(65 66)"},
    {{"\2\0a\0b\0", "<wP"}, "7 W(97 98)"},
    {{"\2a\0b", "wp"}, "1"},
    {{"a\0", "wz"}, "3 W(97)"},
    {{"a", "wz"}, "1"},
    {{"\1\2", "wb"}, "2 1"},
    {{"\1\2", "bw"}, "2 1"},
  }
  for i = 1, table.getn(cases) do
    local c = cases[i]
    eq(unpacked(unpack(c[1])), c[2], "unpack case " .. i)
  end
  local s = string.pack("<i b z wp d", -7, 200, "name", L"\x263A", 0.25)
  eq(unpacked(s, "<i b z wp d"), "22 -7 200 name W(58) 0.25")
  local w = ({string.unpack(s, "<i b z wp d")})[5]
  assert(w == L"\x263A")
end

-- unpack errors
do
  local cases = {
    {function() return string.unpack("abc", "y") end, "bad argument #1 to `unpack' (bad code `y')"},
    {function() return string.unpack("abc", "@4") end, "bad argument #1 to `unpack' (bad code `@')"},
    {function() return string.unpack("abc", "b", 0) end,
     "bad argument #3 to `unpack' (out of range)"},
    {function() return string.unpack("abc", "b", -1) end,
     "bad argument #3 to `unpack' (out of range)"},
    {function() return string.unpack(L"abc", "b") end,
     "bad argument #1 to `unpack' (string expected, got wstring)"},
    {function() return string.unpack("abc") end,
     "bad argument #2 to `unpack' (string expected, got no value)"},
    {function() return string.unpack(string.rep("a", 5000), "b5000") end,
     "stack overflow (too many results)"},
  }
  for i = 1, table.getn(cases) do
    eq(errorof(cases[i][1]), cases[i][2], "unpack error " .. i)
  end
end
