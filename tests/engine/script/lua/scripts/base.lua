-- Base library: the basic functions, their wide-string behaviour and their messages.

-- Runs f and returns its error message without the "chunk:line: " position; fails when f does
-- not raise.
local function errorof(f, ...)
  local ok, msg = pcall(f, unpack(arg))
  assert(not ok, "expected an error")
  if type(msg) == "string" then
    msg = string.gsub(msg, "^user:base%.lua:%d+: ", "")
  end
  return msg
end

-- Fails with both values shown when they differ.
local function eq(got, expected)
  if got ~= expected then
    error("got " .. tostring(got) .. ", expected " .. tostring(expected), 2)
  end
end

-- type and the registration of the globals
do
  local cases = {
    {nil, "nil"}, {true, "boolean"}, {1, "number"}, {"s", "string"}, {{}, "table"},
    {print, "function"}, {L"w", "wstring"}, {coroutine.create(function() end), "thread"},
  }
  for i = 1, table.getn(cases) do
    assert(type(cases[i][1]) == cases[i][2], cases[i][2])
  end
  -- the position is the line of the Lua code that made the call
  local ok, msg = pcall(function() return type() end)
  eq(msg, "user:base.lua:31: bad argument #1 to `type' (value expected)")
  -- called straight from pcall there is no Lua line; the name comes from the globals
  ok, msg = pcall(type)
  eq(msg, "bad argument #1 to `type' (value expected)")
  assert(_G._G == _G)
  assert(_VERSION == "Lua 5.0.2")
  assert(type(_LOADED) == "table")
  eq(errorof(function() return type() end), "bad argument #1 to `type' (value expected)")
end

-- tostring
do
  assert(tostring(nil) == "nil")
  assert(tostring(true) == "true" and tostring(false) == "false")
  assert(tostring(12) == "12" and tostring(-0.5) == "-0.5")
  assert(tostring("x") == "x")
  local t = {}
  assert(string.find(tostring(t), "^table: ") == 1)
  assert(string.find(tostring(print), "^function: ") == 1)
  -- a wide string gives the low 8 bits of each unit
  assert(tostring(L"\x263A") == ":")
  assert(tostring(L"abc") == "abc")
  assert(tostring(L"") == "")
  assert(tostring(L"\x0141\x0042") == "AB")
  local mt = {__tostring = function(v) return "custom" end}
  assert(tostring(setmetatable({}, mt)) == "custom")
end

-- towstring
do
  assert(towstring("A") == L"A")
  assert(towstring("\233") == L"\xFFE9")
  assert(towstring("\127\128") == L"\x007F\xFF80")
  assert(towstring("") == L"")
  assert(type(towstring("")) == "wstring")
  assert(towstring(nil) == "nil" and type(towstring(nil)) == "string")
  assert(towstring(12) == L"12")
  assert(towstring(0.1) == L"0.1")
  assert(towstring(L"\x263A") == L"\x263A")
  local t = {}
  assert(towstring(t) == towstring(tostring(t)))
  assert(towstring(print) == towstring(tostring(print)))
  local co = coroutine.create(function() end)
  assert(towstring(co) == towstring(tostring(co)))
  eq(errorof(function() return towstring(true) end), "bad argument #1 to `towstring' (value expected)")
  eq(errorof(function() return towstring() end), "bad argument #1 to `towstring' (value expected)")
end

-- tonumber
do
  local cases = {
    -- value, base, expected (nil written as false)
    {"10", nil, 10}, {"0x10", nil, 16}, {" 5 ", nil, 5}, {"1e2", nil, 100}, {"abc", nil, false},
    {L"12", nil, 12}, {L"1.5", nil, 1.5}, {7, nil, 7}, {{}, nil, false},
    {"ff", 16, 255}, {L"ff", 16, 255}, {"FF", 16, 255}, {"z", 36, 35}, {"Z", 36, 35},
    {"8", 8, false}, {"777", 8, 511}, {"101", 2, 5}, {" 1f ", 16, 31}, {"1g", 16, false},
    {"", 16, false}, {"-1", 16, 4294967295}, {"-2", 10 + 0, -2}, {"-10", 2, 4294967294},
    {"100000000", 16, 4294967295}, {"ffffffff", 16, 4294967295}, {"7fffffff", 16, 2147483647},
    {towstring(string.rep("0", 98) .. "1"), 2, 1}, {towstring(string.rep("0", 99) .. "1"), 2, false},
  }
  for i = 1, table.getn(cases) do
    local c = cases[i]
    local got
    if c[2] then got = tonumber(c[1], c[2]) else got = tonumber(c[1]) end
    assert(got == (c[3] or nil), "tonumber case " .. i)
  end
  eq(errorof(function() return tonumber("1", 1) end), "bad argument #2 to `tonumber' (base out of range)")
  eq(errorof(function() return tonumber("1", 37) end), "bad argument #2 to `tonumber' (base out of range)")
  eq(errorof(function() return tonumber() end), "bad argument #1 to `tonumber' (value expected)")
end

-- error, assert, pcall, xpcall
do
  local ok, e = pcall(error, "plain", 0)
  assert(not ok and e == "plain")
  local function thrower() error("here") end
  ok, e = pcall(thrower)
  assert(e == "user:base.lua:107: here", e)
  local t = {}
  ok, e = pcall(error, t)
  assert(e == t)
  eq(errorof(function() assert(false) end), "assertion failed!")
  eq(errorof(function() assert(nil, "my message") end), "my message")
  assert(assert(3, "unused") == 3)
  eq(errorof(function() assert() end), "bad argument #1 to `assert' (value expected)")
  local r = {pcall(function(a, b) return a + b, "second" end, 1, 2)}
  assert(r[1] == true and r[2] == 3 and r[3] == "second")
  r = {xpcall(function() error("inner", 0) end, function(m) return "handled " .. m end)}
  assert(r[1] == false and r[2] == "handled inner")
  r = {xpcall(function() return 4, 5 end, print)}
  assert(r[1] == true and r[2] == 4 and r[3] == 5)
  eq(errorof(function() return pcall() end), "bad argument #1 to `pcall' (value expected)")
end

-- metatables, including protection and the per-type tables
do
  local t, mt = {}, {}
  assert(setmetatable(t, mt) == t)
  assert(getmetatable(t) == mt)
  assert(getmetatable("abc") == string)
  assert(type(getmetatable(1)) == "table")
  assert(type(getmetatable(L"w")) == "table")
  mt.__metatable = "locked"
  assert(getmetatable(t) == "locked")
  eq(errorof(function() setmetatable(t, {}) end), "cannot change a protected metatable")
  eq(errorof(function() setmetatable({}, 1) end), "bad argument #2 to `setmetatable' (nil or table expected)")
  eq(errorof(function() setmetatable(1, {}) end), "bad argument #1 to `setmetatable' (table expected, got number)")
  local old = {}
  local plain = setmetatable({}, old)
  setmetatable(plain, nil)
  assert(getmetatable(plain) ~= old)
end

-- raw access
do
  local log = {}
  local t = setmetatable({}, {__index = function() return "meta" end,
                              __newindex = function(t, k) table.insert(log, k) end})
  assert(t.x == "meta" and rawget(t, "x") == nil)
  t.y = 1
  assert(log[1] == "y" and rawget(t, "y") == nil)
  assert(rawset(t, "y", 2) == t and rawget(t, "y") == 2)
  -- extra arguments are ignored
  local u = {[2] = "two", [3] = "three"}
  assert(rawset(u, "x", 1, 2, 3) == u and rawget(u, "x") == 1 and u[2] == "two")
  assert(rawset(u, "y", 5, nil) == u and u.y == 5)
  assert(rawget(u, "x", 3) == 1 and rawget(u, 3, "x") == "three" and rawget(u, "y", nil) == 5)
  assert(rawequal(t, t) and not rawequal(t, {}))
  assert(rawequal("a", "a"))
  eq(errorof(function() rawget(1, 2) end), "bad argument #1 to `rawget' (table expected, got number)")
  eq(errorof(function() rawset({}, 1) end), "bad argument #3 to `rawset' (value expected)")
  eq(errorof(function() rawequal(1) end), "bad argument #2 to `rawequal' (value expected)")
end

-- next, pairs, ipairs, unpack
do
  local t = {10, 20, 30, x = "y"}
  local count, sum = 0, 0
  for k, v in pairs(t) do
    count = count + 1
    if type(v) == "number" then sum = sum + v end
  end
  assert(count == 4 and sum == 60)
  local seen = {}
  for i, v in ipairs({5, 6, nil, 8}) do seen[i] = v end
  assert(seen[1] == 5 and seen[2] == 6 and seen[3] == nil and seen[4] == nil)
  assert(next({}) == nil)
  local k, v = next({7})
  assert(k == 1 and v == 7)
  local a, b, c, d = unpack({1, 2, 3})
  assert(a == 1 and b == 2 and c == 3 and d == nil)
  a, b, c = unpack({n = 2, 1, 2, 3})
  assert(a == 1 and b == 2 and c == nil)
  assert(unpack({}) == nil)
  eq(errorof(function() unpack({n = 100000}) end), "stack overflow (table too big to unpack)")
  eq(errorof(function() next(1) end), "bad argument #1 to `next' (table expected, got number)")
  eq(errorof(function() pairs() end), "bad argument #1 to `pairs' (table expected, got no value)")
end

-- environments
do
  local function f() return gx end
  local env = {gx = "from env"}
  assert(getfenv(f) == _G)
  setfenv(f, env)
  assert(f() == "from env" and getfenv(f) == env)
  assert(getfenv(0) == _G)
  assert(getfenv() == _G)
  local getfenvlocal = getfenv
  local function g() return getfenvlocal(1) end
  setfenv(g, env)
  assert(g() == env)
  local protected = {__fenv = "hidden"}
  local function h() end
  setfenv(h, protected)
  assert(getfenv(h) == "hidden")
  eq(errorof(function() setfenv(h, {}) end), "`setfenv' cannot change a protected environment")
  eq(errorof(function() getfenv(-1) end), "bad argument #1 to `getfenv' (level must be non-negative)")
  eq(errorof(function() getfenv(100) end), "bad argument #1 to `getfenv' (invalid level)")
  eq(errorof(function() setfenv(print, {}) end), "`setfenv' cannot change environment of given function")
  eq(errorof(function() setfenv(f, 1) end), "bad argument #2 to `setfenv' (table expected, got number)")
end

-- loadstring and the chunk names in messages
do
  assert(loadstring("return 1 + 1")() == 2)
  local f, e = loadstring("x = = 1")
  assert(f == nil and string.find(e, '^%[string "x = = 1"%]:1:') == 1, e)
  local cases = {
    {"error('boom')", nil, '[string "error(\'boom\')"]:1: boom'},
    {"\n\nerror('boom')", nil, '[string "..."]:3: boom'},
    {"error('boom')\n", nil, '[string "error(\'boom\')..."]:1: boom'},
    {"error('boom')", "=named", "named:1: boom"},
    {"error('boom')", "@file.lua", "file.lua:1: boom"},
    {"error('boom')", "@" .. string.rep("d/", 40) .. "f.lua",
     "..." .. "/" .. string.rep("d/", 23) .. "f.lua:1: boom"},
    {"error('boom')", "=" .. string.rep("n", 70), string.rep("n", 59) .. ":1: boom"},
    {"error('boom') --" .. string.rep("x", 60), nil,
     '[string "' .. string.sub("error('boom') --" .. string.rep("x", 60), 1, 43) .. '..."]:1: boom'},
  }
  for i = 1, table.getn(cases) do
    local c = cases[i]
    local chunk = assert(loadstring(c[1], c[2]))
    local ok, msg = pcall(chunk)
    assert(not ok and msg == c[3], "chunk name case " .. i .. ": " .. tostring(msg))
  end
  eq(errorof(function() loadstring() end), "bad argument #1 to `loadstring' (string expected, got no value)")
end

-- loadfile, dofile and require over the file layer
do
  eq(errorof(function() loadfile() end), "bad argument #1 to `loadfile' (string expected, got no value)")
  eq(errorof(function() dofile() end), "bad argument #1 to `dofile' (string expected, got no value)")
  local f, e = loadfile("user:data/missing.lua")
  assert(f == nil and string.find(e, "^cannot read user:data/missing.lua: ") == 1, e)
  f, e = loadfile("user:data/broken.lua")
  assert(f == nil and string.find(e, "^user:data/broken.lua:1: ") == 1, e)
  local a, b, c = dofile("user:data/results.lua")
  assert(a == 1 and b == "two" and c == 3)
  assert(string.find(errorof(function() dofile("user:data/missing.lua") end),
                     "^cannot read user:data/missing.lua: ") == 1)

  LUA_PATH = "user:data/?.lua"
  local m = require("mod")
  assert(m.name == "mod" and m.runs == 1)
  assert(require("mod") == m and modruns == 1)
  assert(_LOADED.mod == m)
  assert(_REQUIREDNAME == nil)
  assert(require("novalue") == true and novalueran)
  eq(errorof(function() require("nothere") end), "could not load package `nothere' from path `user:data/?.lua'")
  LUA_PATH = "user:data/none_?.lua;user:data/?.lua"
  assert(require("results") == 1)
  local e2 = errorof(function() require("broken") end)
  assert(string.find(e2, "^error loading package `broken' %(user:data/broken.lua:1: ") == 1, e2)
  LUA_PATH = nil
end

-- the collector functions
do
  local count, threshold = gcinfo()
  assert(type(count) == "number" and type(threshold) == "number")
  collectgarbage()
  collectgarbage(1000000)
end

-- newproxy
do
  local plain = newproxy()
  assert(type(plain) == "userdata")
  local p = newproxy(true)
  local mt = getmetatable(p)
  assert(type(mt) == "table")
  mt.__index = function() return 5 end
  assert(p.anything == 5)
  local q = newproxy(p)
  assert(getmetatable(q) == mt)
  eq(errorof(function() newproxy(1) end), "bad argument #1 to `newproxy' (boolean or proxy expected)")
  eq(errorof(function() newproxy(plain) end), "bad argument #1 to `newproxy' (boolean or proxy expected)")
end

-- weak tables and finalisers: a finaliser cannot fetch its object again from a weak value, while
-- what weak keys attach to the object stays readable until the finaliser has run
do
  local values = setmetatable({}, {__mode = "v"})
  local keys = setmetatable({}, {__mode = "k"})
  local seen = {}
  local function dying()
    local u = newproxy(true)
    getmetatable(u).__gc = function(o)
      if seen.done then return end -- the proxy made below shares this finaliser
      seen.done = true
      seen.value = values[1]
      seen.key = keys[o]
      seen.proxy = type(newproxy(o))
    end
    values[1] = u
    keys[u] = "attached"
  end
  dying()
  collectgarbage()
  assert(seen.key == "attached" and seen.proxy == "userdata")
  assert(seen.value == nil and values[1] == nil)
  collectgarbage()
  assert(next(keys) == nil)
end

-- coroutines
do
  local co = coroutine.create(function(a, b)
    local c = coroutine.yield(a + b)
    local d, e = coroutine.yield(c * 2)
    return d + e
  end)
  assert(coroutine.status(co) == "suspended")
  local r = {coroutine.resume(co, 1, 2)}
  assert(r[1] == true and r[2] == 3)
  r = {coroutine.resume(co, 10)}
  assert(r[1] == true and r[2] == 20)
  r = {coroutine.resume(co, 3, 4)}
  assert(r[1] == true and r[2] == 7)
  assert(coroutine.status(co) == "dead")
  r = {coroutine.resume(co)}
  assert(r[1] == false and type(r[2]) == "string")

  local inner
  inner = coroutine.create(function() return coroutine.status(inner) end)
  r = {coroutine.resume(inner)}
  assert(r[2] == "running")

  local failing = coroutine.create(function() error("in coroutine", 0) end)
  r = {coroutine.resume(failing)}
  assert(r[1] == false and r[2] == "in coroutine")
  assert(coroutine.status(failing) == "dead")

  local gen = coroutine.wrap(function() for i = 1, 3 do coroutine.yield(i) end end)
  assert(gen() == 1 and gen() == 2 and gen() == 3)
  local bad = coroutine.wrap(function() error("wrapped") end)
  local e = errorof(bad)
  assert(string.find(e, "wrapped$") ~= nil, e)
  local badobj = coroutine.wrap(function() error({}) end)
  assert(type(errorof(badobj)) == "table")

  eq(errorof(function() coroutine.create(print) end), "bad argument #1 to `create' (Lua function expected)")
  eq(errorof(function() coroutine.resume(1) end), "bad argument #1 to `resume' (coroutine expected)")
  eq(errorof(function() coroutine.status({}) end), "bad argument #1 to `status' (coroutine expected)")
end
