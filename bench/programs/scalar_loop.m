% Scalar arithmetic in a loop.
s = 0;
for k = 1:2000000
  s = s + k .* 0.5 - 1;
end
