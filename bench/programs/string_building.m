% A string grown piece by piece.
n = 50000;
s = '';
for k = 1:n
  s = [s 'ab'];
end
