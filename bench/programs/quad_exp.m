% quad of exp on [0, 1], repeated.
for k = 1:1000
  q = quad(@exp, 0, 1);
end
