% Calls of small user functions of scalar inputs in a loop: one input and
% one output, two inputs and one output.
1;
function y = sq(x)
  y = x * x;
endfunction
function z = mix(a, b)
  z = a - 0.5 * b;
endfunction
n = 500000;
s = 0;
for i = 1:n
  s = mix(s, sq(0.001)) + 1e-6;
end
fprintf('%.6f\n', s);
