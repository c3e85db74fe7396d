% Ten million elements, one number printed.
x = (1:1e7) / 1e7;
y = sin(x) .* x + x .^ 2;
fprintf('%.6f\n', sum(y));
