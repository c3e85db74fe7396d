% fzero of cos from 1, repeated.
for k = 1:1000
  x = fzero(@cos, 1);
end
