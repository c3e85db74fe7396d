-- Handler code: a branch, scalar elements of a table read and written, a
-- call of a small function and the modulus, in one loop.
local n = 1000000
local function sq(x)
  return x * x
end
local v = {}
for j = 1, 1000 do v[j] = 0 end
local s = 0
for i = 1, n do
  local k = i % 1000 + 1
  if v[k] > 10 then v[k] = 0 else v[k] = v[k] + sq(0.5) end
  s = s + v[k]
end
print(string.format("%.6f", s))
