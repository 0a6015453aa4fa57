-- long_texts.lua: one round of the long-text figures and a few short calls,
-- for bench/wine/long-texts, which runs it on each build in turn. Prints
-- "figure<TAB>nanoseconds per call", the median of the round's repetitions.
local repetitions = tonumber(arg[1]) or 15

local function median(values)
  table.sort(values)
  local n = #values
  if n % 2 == 1 then return values[(n + 1) / 2] end
  return (values[n / 2] + values[n / 2 + 1]) / 2
end

-- 100,000 fields (with a GBK character each) joined by ';', 1 MiB in all.
local function field_text()
  local parts, size, total = {}, 0, 1048576
  for i = 0, 99999 do
    local stop = math.floor((i + 1) * total / 100000)
    local field = "\202\253" .. i
    local room = stop - size - #field - (i < 99999 and 1 or 0)
    if room > 0 then field = field .. string.rep(string.char(97 + i % 26), room) end
    parts[#parts + 1] = field
    size = size + #field + (i < 99999 and 1 or 0)
  end
  return table.concat(parts, ";")
end

local fields = field_text()
local mib = string.rep("0123456789abcdef", 65536)
local line = "alpha,beta12,gamma3,delta,eps,zeta99,seventh,eta,theta0,iota"
local text32 = string.rep("q", 32)
-- Its 2 MiB parts, a different one each time, are new texts made in one
-- allocation, as an export's result is.
local held, fresh = string.rep("0123456789abcdef", 131328), 0
assert(#fields == 1048576 and member_count(fields, ";") == 100000, "the field text is wrong")
assert(split_text(fields, ";", 50000):sub(1, 7) == "\202\25349999", "the middle field is wrong")
assert(decrypt(encrypt(mib, "k"), "k") == mib, "the 1 MiB round trip lost the text")

-- Each figure: a name, calls per repetition, and the calls.
local figures = {
  {"member_count 1 MiB", 4, function(n) for _ = 1, n do member_count(fields, ";") end end},
  {"split_text 1 MiB middle", 4, function(n) for _ = 1, n do split_text(fields, ";", 50000) end end},
  {"round trip 1 MiB", 2, function(n) for _ = 1, n do decrypt(encrypt(mib, "k"), "k") end end},
  -- Lua's own part of a round trip's results: a 1 MiB text equal to one it
  -- holds (its hash, then its comparison with the held one), and a new text
  -- of 2 MiB, unique as the salt makes a cipher text (an equal one that Lua
  -- still held would cost no allocation).
  {"Lua: equal 1 MiB text", 4, function(n) for _ = 1, n do local _ = mib:sub(1) end end},
  {"Lua: new 2 MiB text", 2, function(n)
    for _ = 1, n do
      fresh = fresh % 4096 + 1
      local _ = held:sub(fresh, fresh + 2097151)
    end
  end},
  {"empty call", 20000, function(n) for _ = 1, n do is_disconnected() end end},
  {"split_text 60 bytes", 20000, function(n) for _ = 1, n do split_text(line, ",", 7) end end},
  {"member_count 60 bytes", 20000, function(n) for _ = 1, n do member_count(line, ",") end end},
  {"round trip 32 bytes", 10000, function(n) for _ = 1, n do decrypt(encrypt(text32, "k"), "k") end end},
}

-- The figures alternate within the round, so a slow moment falls on all.
local times = {}
for _, figure in ipairs(figures) do times[figure[1]] = {} end
for _ = 1, repetitions do
  for _, figure in ipairs(figures) do
    local name, n, run = figure[1], figure[2], figure[3]
    local start = host_clock()
    run(n)
    local took = host_clock() - start
    table.insert(times[name], took * 1e6 / n)
  end
end
for _, figure in ipairs(figures) do
  print(string.format("%s\t%.1f", figure[1], median(times[figure[1]])))
end
