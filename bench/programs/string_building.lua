-- A string grown piece by piece.
local n = 50000
local s = ''
for k = 1, n do
  s = s .. 'ab'
end
