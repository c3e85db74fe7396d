% Slices of a vector read in a loop.
v = 1:1000;
t = 0;
for k = 1:200000
  w = v(100:200);
  t = t + w(5);
end
