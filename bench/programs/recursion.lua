-- Recursive function calls, the result printed once.
local function fib(n)
  if n < 2 then
    return n
  else
    return fib(n - 1) + fib(n - 2)
  end
end
print(string.format("%d", fib(22)))
