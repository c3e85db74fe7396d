% Every element of a 1000 x 1000 matrix read and written through A(i, j).
n = 1000;
A = zeros(n, n);
for j = 1:n
  for i = 1:n
    A(i, j) = A(i, j) + i - j;
  end
end
fprintf('%g\n', A(n, 1));
