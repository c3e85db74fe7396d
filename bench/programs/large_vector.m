x = (1:1e7) / 1e7;
y = sin(x) .* x + x .^ 2;
s = sum(y);
disp(s)
