-- Assignments of a global from a function body, as bench/programs/counter.tvr.
local function count_up(n)
  counter = 0
  for _ = 1, n do counter = counter + 1 end
  return counter
end
print(count_up(5000000))
