% Scalar division in a loop.
s = 0;
for k = 1:2000000
  s = s + k / 3;
end
