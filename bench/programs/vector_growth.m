% A vector grown by one element at a time.
n = 100000;
v = [];
for k = 1:n
  v(end + 1) = k;
end
