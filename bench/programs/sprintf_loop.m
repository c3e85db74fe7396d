% Formatted text in a loop: one short row per call.
for k = 1:1e5
  s = sprintf('%d,%.3f', k, k / 3);
end
disp(s)
