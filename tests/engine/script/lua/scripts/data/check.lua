-- Helpers shared by the library scripts (loaded with dofile; not a test of its own).

-- Fails with both values shown when they differ.
function eq(got, expected, label)
  if got ~= expected then
    error((label or "") .. " got " .. tostring(got) .. ", expected " .. tostring(expected), 2)
  end
end

-- Runs f and returns its error message without the "chunk:line: " position, or "no error".
function errorof(f, ...)
  local ok, msg = pcall(f, unpack(arg))
  if ok then return "no error" end
  if type(msg) == "string" then
    msg = string.gsub(msg, "^user:[%w_]+%.lua:%d+: ", "")
  end
  return msg
end

-- The bytes of s as a list of numbers, for comparing binary output.
function bytes(s)
  local t = {}
  for i = 1, string.len(s) do t[i] = string.byte(s, i) end
  return table.concat(t, " ")
end
