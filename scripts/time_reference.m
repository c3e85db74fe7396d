% Writes the reference values of the step, impulse and initial-state
% responses that tests/graphics/time_curves_test.cpp compares with (GNU
% Octave 7.3 with its control package; run by hand):
%   octave --no-gui -q scripts/time_reference.m > tests/data/time_reference.csv
%
% One line per value: case, field, rows, columns, then the values row by row.
% Every case is drawn over the window [0 tend] (tend given), whose 201 grid
% times the responses y are taken at (one row per output).
%   step, impulse   num, den, tend -> y
%   step_ss         a, b, c, d, tend -> y
%   initial         a, c, x0, tend -> y
pkg load control
function put(name, field, M)
  printf('%s,%s,%d,%d', name, field, rows(M), columns(M));
  printf(',%.17g', M.');
  printf('\n');
end
printf('# Reference values from GNU Octave 7.3 with its control package\n');
printf('# (scripts/time_reference.m).\n');

systems = {{[1 2], [1 0.4 4], 12}, {[3 1 2], poly(-(1:5)), 8}, {1, [1 1 1], 15}};
for i = 1:numel(systems)
  [num, den, tend] = systems{i}{:};
  t = linspace(0, tend, 201);
  G = tf(num, den);
  name = sprintf('step/system%d', i);
  put(name, 'num', num); put(name, 'den', den); put(name, 'tend', tend);
  put(name, 'y', step(G, t)');
  if numel(num) < numel(den)
    name = sprintf('impulse/system%d', i);
    put(name, 'num', num); put(name, 'den', den); put(name, 'tend', tend);
    put(name, 'y', impulse(G, t)');
  end
end

A = [-1 2 0; -2 -1 1; 0 0 -3]; B = [1; 0; 1]; C = [1 0 1; 0 1 0]; D = [0; 0.5];
tend = 6; t = linspace(0, tend, 201);
name = 'step_ss/system1';
put(name, 'a', A); put(name, 'b', B); put(name, 'c', C); put(name, 'd', D); put(name, 'tend', tend);
put(name, 'y', squeeze(step(ss(A, B, C, D), t))');
x0 = [1; -2; 0.5];
name = 'initial/system1';
put(name, 'a', A); put(name, 'c', C); put(name, 'x0', x0); put(name, 'tend', tend);
put(name, 'y', initial(ss(A, B, C, D), x0, t)');
