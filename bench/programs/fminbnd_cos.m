% fminbnd of cos on [3, 4], repeated: each run calls a builtin back.
for k = 1:1000
  x = fminbnd(@cos, 3, 4);
end
