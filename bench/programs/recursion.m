% Recursive function calls, the result printed once.
1;
function r = fib(n)
  if n < 2
    r = n;
  else
    r = fib(n - 1) + fib(n - 2);
  end
endfunction
x = fib(22);
fprintf('%d\n', x);
