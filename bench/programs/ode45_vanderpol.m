% ode45 of the Van der Pol oscillator (mu = 1) on [0, 20], repeated; the
% last line is the number of output rows (the steps differ by design).
vdp = @(t, y) [y(2); (1 - y(1)^2) * y(2) - y(1)];
options = odeset('RelTol', 1e-3, 'AbsTol', 1e-6);
for k = 1:20
  [t, y] = ode45(vdp, [0 20], [2; 0], options);
end
disp(numel(t))
