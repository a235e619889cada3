-- A loop of assignments of a global at the top level, as bench/programs/assign.tvr.
x = 0
for _ = 1, 3000000 do x = x + 1 end
print(x)
