-- Scalar arithmetic in a loop.
local n = 2000000
local s = 0
for k = 1, n do
  s = s + k * 0.5 - 1
end
