% Handler code: a branch, scalar elements of a vector read and written, a
% call of a small function and mod, in one loop.
1;
function y = sq(x)
  y = x * x;
endfunction
n = 1000000;
v = zeros(1, 1000);
s = 0;
for i = 1:n
  k = mod(i, 1000) + 1;
  if v(k) > 10, v(k) = 0; else, v(k) = v(k) + sq(0.5); end
  s = s + v(k);
end
fprintf('%.6f\n', s);
