-- Table library: sizes through getn/setn, insert, remove, concat, foreach and sort.

dofile("user:data/check.lua")

-- getn and setn: the field n, then the size table, then the count from 1
do
  eq(table.getn({}), 0)
  eq(table.getn({1, 2, 3}), 3)
  eq(table.getn({1, 2, nil, 4}), 2)
  eq(table.getn({n = 7}), 7)
  eq(table.getn({n = "5", 1}), 5)
  eq(table.getn({n = -1, 1, 2}), 2)
  eq(table.getn({n = "x", 1, 2}), 2)
  local t = {1, 2, 3}
  table.setn(t, 10)
  eq(table.getn(t), 10)
  eq(rawget(t, "n"), nil)
  local withn = {n = 1}
  table.setn(withn, 4)
  eq(withn.n, 4)
  eq(errorof(function() return table.getn(1) end),
     "bad argument #1 to `getn' (table expected, got number)")
  eq(errorof(function() table.setn({}) end),
     "bad argument #2 to `setn' (number expected, got no value)")
end

-- insert and remove
do
  local t = {}
  table.insert(t, "a")
  table.insert(t, "c")
  table.insert(t, 2, "b")
  eq(table.concat(t), "abc")
  eq(table.getn(t), 3)
  table.insert(t, 1, "z")
  eq(table.concat(t), "zabc")
  eq(table.remove(t), "c")
  eq(table.remove(t, 1), "z")
  eq(table.concat(t), "ab")
  eq(table.getn(t), 2)
  eq(table.remove({}), nil)
  -- a position past the end grows the size
  local g = {}
  table.insert(g, 3, "x")
  eq(table.getn(g), 3)
  eq(g[3], "x")
  -- tables with n keep n in step
  local nt = {n = 0}
  table.insert(nt, "v")
  eq(nt.n, 1)
  eq(table.remove(nt), "v")
  eq(nt.n, 0)
  -- sizes at the int limit stay there
  local full = {n = 2147483647}
  table.insert(full, "x")
  eq(full.n, 2147483647)
  eq(full[2147483647], "x")
  eq(errorof(function() table.insert({}) end),
     "bad argument #2 to `insert' (number expected, got no value)")
  eq(errorof(function() table.insert(nil, 1) end),
     "bad argument #1 to `insert' (table expected, got nil)")
end

-- concat
do
  local cases = {
    {{}, nil, nil, nil, ""},
    {{"a", "b", "c"}, nil, nil, nil, "abc"},
    {{"a", "b", "c"}, ", ", nil, nil, "a, b, c"},
    {{1, 2, 3}, "-", nil, nil, "1-2-3"},
    {{"a", "b", "c", "d"}, "", 2, 3, "bc"},
    {{"a", "b", "c"}, "x", 3, nil, "c"},
    {{"a", "b"}, "x", 3, nil, ""},
    {{"a\0", "b"}, "\0", nil, nil, "a\0\0b"},
  }
  for i = 1, table.getn(cases) do
    local c = cases[i]
    eq(table.concat(c[1], c[2] or "", c[3] or 1, c[4] or 0), c[5], "concat case " .. i)
  end
  local many = {}
  for i = 1, 1000 do many[i] = "ab" end
  eq(string.len(table.concat(many, ",")), 2999)
  eq(table.concat({"a", L"\x0142", "c"}), "aBc")
  eq(errorof(function() return table.concat({"a", {}, "c"}) end),
     "bad argument #1 to `concat' (table contains non-strings)")
  eq(errorof(function() return table.concat({"a", "b"}, "", 1, 3) end),
     "bad argument #1 to `concat' (table contains non-strings)")
end

-- foreach and foreachi
do
  local sum = 0
  eq(table.foreachi({1, 2, 3}, function(i, v) sum = sum + i * v end), nil)
  eq(sum, 14)
  eq(table.foreachi({5, 6, 7}, function(i, v) if v == 6 then return i end end), 2)
  local keys = 0
  eq(table.foreach({a = 1, b = 2}, function(k, v) keys = keys + v end), nil)
  eq(keys, 3)
  eq(table.foreach({a = 1}, function(k, v) return k .. v end), "a1")
  eq(errorof(function() table.foreach({}, 1) end),
     "bad argument #2 to `foreach' (function expected, got number)")
end

-- sort
do
  local function sorted(t, cmp)
    for i = 2, table.getn(t) do
      if cmp then assert(not cmp(t[i], t[i - 1])) else assert(not (t[i] < t[i - 1])) end
    end
    return true
  end
  local t = {5, 3, 8, 1, 9, 2, 7, 4, 6, 0}
  table.sort(t)
  eq(table.concat(t, " "), "0 1 2 3 4 5 6 7 8 9")
  table.sort(t, function(a, b) return a > b end)
  eq(table.concat(t, " "), "9 8 7 6 5 4 3 2 1 0")
  local words = {"pear", "apple", "fig", "banana"}
  table.sort(words)
  eq(table.concat(words, " "), "apple banana fig pear")
  local small = {2, 1}
  table.sort(small)
  eq(small[1] .. small[2], "12")
  local three = {3, 1, 2}
  table.sort(three)
  eq(table.concat(three), "123")
  local one, none = {1}, {}
  table.sort(one)
  table.sort(none)
  -- a pseudo-random list with many duplicates
  local big = {}
  local x = 7
  for i = 1, 2000 do
    x = math.mod(x * 73 + 11, 1009)
    big[i] = math.mod(x, 50)
  end
  table.sort(big)
  assert(sorted(big))
  eq(table.getn(big), 2000)
  -- n limits what is sorted
  local part = {n = 2, 3, 2, 1}
  table.sort(part)
  eq(part[1] .. part[2] .. part[3], "231")
  eq(errorof(function() table.sort({5, 4, 3, 2, 1}, function(a, b) return true end) end),
     "invalid order function for sorting")
  eq(errorof(function() table.sort({1, "x", 2}) end), "attempt to compare string with number")
  eq(errorof(function() table.sort({1, 2}, 3) end),
     "bad argument #2 to `sort' (function expected, got number)")
end

-- the library table
do
  local names = {"concat", "foreach", "foreachi", "getn", "setn", "sort", "insert", "remove"}
  for i = 1, table.getn(names) do
    eq(type(table[names[i]]), "function", names[i])
  end
end
