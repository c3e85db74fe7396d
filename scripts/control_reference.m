% Writes the reference values of the control-design conversions, margins and
% frequency responses that tests/control/reference_test.cpp compares with
% (GNU Octave 7.3 with its control package; run by hand):
%   octave --no-gui -q scripts/control_reference.m > tests/data/control_reference.csv
%
% One line per value: case, field, rows, columns, then the values row by row.
% A case is named kind/label; the kind says what the test runs:
%   c2dm_tf_M, d2cm_tf_M   num, den, ts -> numd, dend (method letter M)
%   c2dm_ss_M              a, b, c, d, ts, w -> h (the discrete system's
%                          response at z = exp(i w ts), inputs side by side)
%   ss2tf                  a, b, c, d, w -> h (response of each input's
%                          transfer functions at s = i w)
%   tf2ss, freq_tf         num, den, w -> h (response at s = i w)
%   sigma                  a, b, c, d, w -> sv (one column per frequency)
%   margin, dmargin        num, den [, ts] -> gm, pm (radians), wg, wp
pkg load control
function put(name, field, M)
  printf('%s,%s,%d,%d', name, field, rows(M), columns(M));
  printf(',%.17g', M.');
  printf('\n');
end
% A complex response as a real block on top of an imaginary block.
function putc(name, field, H)
  put(name, field, [real(H); imag(H)]);
end
function H = response(S, w)
  R = freqresp(S, w);
  H = [];
  for k = 1:numel(w)
    H = [H, R(:, :, k)];
  end
end
printf('# Reference values from GNU Octave 7.3 with its control package\n');
printf('# (scripts/control_reference.m).\n');

% Transfer functions to discrete time, every method.
systems = {{[1 2], [1 3 5 1], 0.1}, {[2 3 1], [1 0.5 4], 0.2}};
methods = {'zoh', 'z'; 'foh', 'f'; 'tustin', 't'; 'matched', 'm'};
for i = 1:numel(systems)
  [num, den, ts] = systems{i}{:};
  for j = 1:rows(methods)
    name = sprintf('c2dm_tf_%s/system%d', methods{j, 2}, i);
    [nd, dd] = tfdata(c2d(tf(num, den), ts, methods{j, 1}), 'vector');
    put(name, 'num', num); put(name, 'den', den); put(name, 'ts', ts);
    put(name, 'numd', nd); put(name, 'dend', dd);
  end
end

% A discrete transfer function back to continuous time.
num = [0.5 0.2 -0.1]; den = [1 -1.2 0.5]; ts = 0.1;
[nc, dc] = tfdata(d2c(tf(num, den, ts), 'tustin'), 'vector');
name = 'd2cm_tf_t/system1';
put(name, 'num', num); put(name, 'den', den); put(name, 'ts', ts);
put(name, 'numd', nc); put(name, 'dend', dc);

% State space with two inputs and two outputs: the discrete systems are
% compared by their responses, not their realisations.
A = [-1 2 0; -2 -1 1; 0 0 -3]; B = [1 0; 0 1; 1 1]; C = [1 0 1; 0 1 0]; D = [0 0; 0.5 0];
S = ss(A, B, C, D); ts = 0.1; w = [0.3 2 11];
for j = 1:3
  name = sprintf('c2dm_ss_%s/system1', methods{j, 2});
  put(name, 'a', A); put(name, 'b', B); put(name, 'c', C); put(name, 'd', D);
  put(name, 'ts', ts); put(name, 'w', w);
  putc(name, 'h', response(c2d(S, ts, methods{j, 1}), w));
end

% State space to transfer functions, by their responses.
w = [0.5 2];
put('ss2tf/system1', 'a', A); put('ss2tf/system1', 'b', B);
put('ss2tf/system1', 'c', C); put('ss2tf/system1', 'd', D);
put('ss2tf/system1', 'w', w); putc('ss2tf/system1', 'h', response(S, w));
put('sigma/system1', 'a', A); put('sigma/system1', 'b', B);
put('sigma/system1', 'c', C); put('sigma/system1', 'd', D);
put('sigma/system1', 'w', w); put('sigma/system1', 'sv', sigma(S, w));

% Transfer functions to state space, and responses of a tenth-order one.
w = [0.1 1 7];
name = 'tf2ss/system1'; num = [2 3 1]; den = [1 0.5 4];
put(name, 'num', num); put(name, 'den', den); put(name, 'w', w);
putc(name, 'h', response(ss(tf(num, den)), w));
name = 'tf2ss/system2'; num = [1 0 -2 5]; den = [1 3 5 1];
put(name, 'num', num); put(name, 'den', den); put(name, 'w', w);
putc(name, 'h', response(ss(tf(num, den)), w));
name = 'freq_tf/system1'; num = [3 1 0 2]; den = poly(-(1:10)); w = logspace(-1, 2, 5);
put(name, 'num', num); put(name, 'den', den); put(name, 'w', w);
putc(name, 'h', response(tf(num, den), w));

% Gain and phase margins of continuous and discrete loops.
loops = {{2, [1 3 3 1]}, {[20 40], conv(conv([1 1], [1 3]), conv([1 2 5], [1 4 8 0.5]))}};
for i = 1:numel(loops)
  [num, den] = loops{i}{:};
  [gm, pm, wg, wp] = margin(tf(num, den));
  name = sprintf('margin/loop%d', i);
  put(name, 'num', num); put(name, 'den', den);
  put(name, 'gm', gm); put(name, 'pm', pm * pi / 180); put(name, 'wg', wg); put(name, 'wp', wp);
end
num = [0.01 0.008]; den = conv([1 -0.9], [1 -1.6 0.68]); ts = 0.1;
[gm, pm, wg, wp] = margin(tf(num, den, ts));
name = 'dmargin/loop1';
put(name, 'num', num); put(name, 'den', den); put(name, 'ts', ts);
put(name, 'gm', gm); put(name, 'pm', pm * pi / 180); put(name, 'wg', wg); put(name, 'wp', wp);
