% A string grown piece by piece.
s = '';
for k = 1:50000
  s = [s 'ab'];
end
