-- Word building in a loop, as bench/programs/words.tvr.
local n = 0
local w
for _ = 1, 1000000 do
  w = "abc" .. string.upper("def")
  n = n + #string.sub(w, 2)
end
print(n)
