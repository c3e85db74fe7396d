-- Every element of a 1000 x 1000 matrix (one table, column by column) read
-- and written.
local n = 1000
local A = {}
for k = 1, n * n do A[k] = 0 end
for j = 1, n do
  for i = 1, n do
    local k = (j - 1) * n + i
    A[k] = A[k] + i - j
  end
end
print(string.format("%g", A[n]))
