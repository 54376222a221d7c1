-- Loading through a reader function (loadreader): a reader that runs the collector or raises an
-- error between the pieces of the chunk.

-- A reader handing out src one character at a time; each(i) runs before the i-th call.
local function onebyone(src, each)
  local i = 0
  return function()
    i = i + 1
    each(i)
    return string.sub(src, i, i)
  end
end

-- a collection before every character
do
  local cases = {
    {"local t = {1, 2, 3} return function () return t[3] end", 3},
    {"local s = 0 for i = 1, 3 do s = s + i end return s", 6},
    {"local function cat(a, b) return a .. b end return cat('con', [[cat]])", "concat"},
    {"local o = {n = 'x'} function o:get() return self.n end return o:get()", "x"},
  }
  for i = 1, table.getn(cases) do
    local src, expected = cases[i][1], cases[i][2]
    local f, e = loadreader(onebyone(src, function() collectgarbage() end))
    assert(f, e)
    local r = f()
    if type(r) == "function" then r = r() end
    assert(r == expected, src)
  end
end

-- an error while reading
do
  local function failing(at)
    return onebyone("local t = {1, 2, 3} return function () return t[3] end", function(i)
      if i == at then error("reader failed") end
    end)
  end
  for _, at in ipairs({1, 40}) do
    local f, e = loadreader(failing(at))
    assert(f == nil and type(e) == "string" and string.find(e, "reader failed$"), e)
    -- the caller's values around the call stay in place
    local r = {pcall(function() local a, f2, e2 = "a", loadreader(failing(at)) return a, f2, e2 end)}
    assert(r[1] == true and r[2] == "a" and r[3] == nil and string.find(r[4], "reader failed$"),
           tostring(r[4]))
  end
  local f, e = loadreader(onebyone("return 1", function(i) if i == 2 then error({}) end end))
  assert(f == nil and type(e) == "table")
  assert(loadreader(onebyone("return 7", function() end))() == 7)
end
