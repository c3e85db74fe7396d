A = rand(1000);
B = A * A;
disp(size(B))
