% fminsearch of the Rosenbrock function from [-1.2 1], repeated: each run
% calls an anonymous function a few hundred times.
rosenbrock = @(x) 100 * (x(2) - x(1)^2)^2 + (1 - x(1))^2;
for k = 1:1000
  x = fminsearch(rosenbrock, [-1.2 1]);
end
