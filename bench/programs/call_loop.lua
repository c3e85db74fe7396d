-- Calls of small user functions of scalar inputs in a loop: one input and
-- one output, two inputs and one output.
local n = 500000
local function sq(x)
  return x * x
end
local function mix(a, b)
  return a - 0.5 * b
end
local s = 0
for i = 1, n do
  s = mix(s, sq(0.001)) + 1e-6
end
print(string.format("%.6f", s))
