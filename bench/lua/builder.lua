-- A recursive list builder, as bench/programs/builder.tvr: each step copies
-- the list with the new square at its end (lput makes a new list).
local function lput(v, list)
  local copy = table.move(list, 1, #list, 1, {})
  copy[#copy + 1] = v
  return copy
end
local function squares(n, acc)
  if n == 0 then return acc end
  return squares(n - 1, lput(n * n, acc))
end
local s = 0
for _ = 1, 40 do s = s + #squares(500, {}) end
print(s)
