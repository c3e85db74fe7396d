% ode45 of a 10-state linear system on [0, 100], repeated; the last line
% is the number of output rows (the steps differ by design).
A = -eye(10) + diag(0.5 * ones(9, 1), 1) - diag(0.5 * ones(9, 1), -1);
f = @(t, y) A * y;
options = odeset('RelTol', 1e-3, 'AbsTol', 1e-6);
for k = 1:20
  [t, y] = ode45(f, [0 100], ones(10, 1), options);
end
disp(numel(t))
