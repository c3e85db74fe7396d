% Writes the reference values of the frequency-response curves that
% tests/graphics/frequency_curves_test.cpp compares with (GNU Octave 7.3 with
% its control package; run by hand):
%   octave --no-gui -q scripts/response_reference.m > tests/data/response_reference.csv
%
% One line per value: case, field, rows, columns, then the values row by row.
% Every case gives its frequencies w (rad/s) and, for a discrete system, ts;
% the responses have one column per frequency (one row per output or
% singular value). Phases are in radians, as the curves draw them.
%   bode      num, den [, ts] -> mag, phase
%   bode_ss   a, b, c, d -> mag, phase (one row per output)
%   nyquist   num, den -> re, im
%   nichols   num, den -> mag, phase
%   sigma     a, b, c, d [, ts] -> sv
pkg load control
function put(name, field, M)
  printf('%s,%s,%d,%d', name, field, rows(M), columns(M));
  printf(',%.17g', M.');
  printf('\n');
end
function P = rows_of(R)
  P = reshape(R, size(R, 1), size(R, 3));
end
printf('# Reference values from GNU Octave 7.3 with its control package\n');
printf('# (scripts/response_reference.m).\n');

w = [0.05 0.3 1 2.5 7 40];
systems = {{[1 2], [1 0.4 4]}, {[3 1 0 2], poly(-(1:6))}, {1, [1 1 0]}};
for i = 1:numel(systems)
  [num, den] = systems{i}{:};
  G = tf(num, den);
  [mag, phase] = bode(G, w);
  name = sprintf('bode/system%d', i);
  put(name, 'num', num); put(name, 'den', den); put(name, 'w', w);
  put(name, 'mag', rows_of(mag)); put(name, 'phase', rows_of(phase) * pi / 180);
  [re, im] = nyquist(G, w);
  name = sprintf('nyquist/system%d', i);
  put(name, 'num', num); put(name, 'den', den); put(name, 'w', w);
  put(name, 're', rows_of(re)); put(name, 'im', rows_of(im));
  [mag, phase] = nichols(G, w);
  name = sprintf('nichols/system%d', i);
  put(name, 'num', num); put(name, 'den', den); put(name, 'w', w);
  put(name, 'mag', rows_of(mag)); put(name, 'phase', rows_of(phase) * pi / 180);
end

% A discrete transfer function.
num = [0.01 0.008]; den = conv([1 -0.9], [1 -1.6 0.68]); ts = 0.1;
[mag, phase] = bode(tf(num, den, ts), w);
name = 'bode/discrete1';
put(name, 'num', num); put(name, 'den', den); put(name, 'ts', ts); put(name, 'w', w);
put(name, 'mag', rows_of(mag)); put(name, 'phase', rows_of(phase) * pi / 180);

% State space: one input and two outputs, and singular values of two inputs.
A = [-1 2 0; -2 -1 1; 0 0 -3]; C = [1 0 1; 0 1 0];
B1 = [1; 0; 1]; D1 = [0; 0.5];
R = freqresp(ss(A, B1, C, D1), w);
name = 'bode_ss/system1';
put(name, 'a', A); put(name, 'b', B1); put(name, 'c', C); put(name, 'd', D1); put(name, 'w', w);
put(name, 'mag', abs(rows_of(R))); put(name, 'phase', angle(rows_of(R)));
B = [1 0; 0 1; 1 1]; D = [0 0; 0.5 0];
name = 'sigma/system1';
put(name, 'a', A); put(name, 'b', B); put(name, 'c', C); put(name, 'd', D); put(name, 'w', w);
put(name, 'sv', sigma(ss(A, B, C, D), w));
ts = 0.2; Ad = expm(A * ts);
name = 'sigma/discrete1';
put(name, 'a', Ad); put(name, 'b', B); put(name, 'c', C); put(name, 'd', D); put(name, 'ts', ts);
put(name, 'w', w); put(name, 'sv', sigma(ss(Ad, B, C, D, ts), w));
