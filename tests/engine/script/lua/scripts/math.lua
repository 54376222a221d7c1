-- Math library: the functions, pi, the 15-bit random generator and the global __pow.

dofile("user:data/check.lua")

-- the functions, with values worked out by hand
do
  local pi = 3.141592653589793
  eq(math.pi, pi)
  local cases = {
    {math.abs(-3), 3}, {math.abs(2.5), 2.5},
    {math.sin(0), 0}, {math.cos(0), 1}, {math.tan(0), 0},
    {math.asin(1), pi / 2}, {math.acos(1), 0}, {math.atan(0), 0}, {math.atan2(1, 1), pi / 4},
    {math.atan2(0, -1), pi},
    {math.ceil(1.2), 2}, {math.ceil(-1.5), -1}, {math.floor(1.8), 1}, {math.floor(-1.5), -2},
    {math.mod(7, 3), 1}, {math.mod(-7, 3), -1}, {math.mod(5.5, 2), 1.5},
    {math.ldexp(0.5, 4), 8}, {math.ldexp(3, -1), 1.5},
    {math.sqrt(16), 4}, {math.min(3, 1, 2), 1}, {math.min(5), 5}, {math.max(3, 1, 2), 3},
    {math.max(-1, -5), -1},
    {math.log(1), 0}, {math.log10(1000), 3}, {math.exp(0), 1},
    {math.deg(pi), 180}, {math.rad(180), pi}, {math.deg(pi / 2), 90},
    {math.pow(2, 10), 1024}, {math.pow(9, 0.5), 3}, {math.pow(2, -1), 0.5},
  }
  for i = 1, table.getn(cases) do
    eq(cases[i][1], cases[i][2], "math case " .. i)
  end
  local m, e = math.frexp(8)
  eq(m, 0.5)
  eq(e, 4)
  m, e = math.frexp(0)
  eq(m, 0)
  eq(e, 0)
  eq(errorof(function() return math.min() end),
     "bad argument #1 to `min' (number expected, got no value)")
  eq(errorof(function() return math.max(1, "x") end),
     "bad argument #2 to `max' (number expected, got string)")
  eq(errorof(function() return math.sqrt() end),
     "bad argument #1 to `sqrt' (number expected, got no value)")
  eq(errorof(function() return math.atan2(1) end),
     "bad argument #2 to `atan2' (number expected, got no value)")
end

-- power: the function, the global and the operator
do
  eq(math.pow(2, 10), 1024)
  eq(2 ^ 10, 8)
  eq(__pow, math.pow)
  eq("2" ^ "10", 1024)
  eq("3" ^ 2, 9)
end

-- random: the C runtime's 15-bit generator, (rand() % 32767) / 32767
do
  -- seed 1 gives the rand() sequence 41, 18467, 6334, 26500, 19169, 15724
  math.randomseed(1)
  eq(math.random(), 41 / 32767)
  eq(math.random(10), 6)       -- 18467 / 32767 * 10 = 5.64
  eq(math.random(5, 7), 5)     -- 6334 / 32767 * 3 = 0.58
  eq(math.random(100), 81)     -- 26500 / 32767 * 100 = 80.87
  eq(math.random(-10, 10), 2)  -- 19169 / 32767 * 21 = 12.29, plus -10
  eq(math.random(1, 1), 1)
  -- the same seed replays the sequence; a fraction is truncated
  math.randomseed(1.9)
  eq(math.random(), 41 / 32767)
  for i = 1, 200 do
    local r = math.random(3)
    assert(r == 1 or r == 2 or r == 3)
    local f = math.random()
    assert(f >= 0 and f < 1)
  end
  eq(errorof(function() return math.random(0) end),
     "bad argument #1 to `random' (interval is empty)")
  eq(errorof(function() return math.random(3, 2) end),
     "bad argument #2 to `random' (interval is empty)")
  eq(errorof(function() return math.random(1, 2, 3) end), "wrong number of arguments")
  eq(errorof(function() return math.randomseed() end),
     "bad argument #1 to `randomseed' (number expected, got no value)")
end

-- the library table, in registration order
do
  local names = {"abs", "sin", "cos", "tan", "asin", "acos", "atan", "atan2", "ceil", "floor",
                 "mod", "frexp", "ldexp", "sqrt", "min", "max", "log", "log10", "exp", "deg",
                 "pow", "rad", "random", "randomseed"}
  for i = 1, table.getn(names) do
    eq(type(math[names[i]]), "function", names[i])
  end
end
