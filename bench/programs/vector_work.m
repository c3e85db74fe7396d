% Elementwise mathematics over a long vector: sine, product, square, sum.
n = 1000000;
x = (1:n) / n;
s = 0;
y = sin(x) .* x + x .^ 2;
s = s + sum(y);
disp(s)
