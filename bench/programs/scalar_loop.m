% Scalar arithmetic in a loop.
n = 2000000;
s = 0;
for k = 1:n
  s = s + k .* 0.5 - 1;
end
