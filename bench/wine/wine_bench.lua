-- wine_bench.lua: the exports' speed on a Windows build, through brovane-run
-- under Wine. Figures only, no goals: Wine is not Windows. arg[1] is the
-- port of a sink on 127.0.0.1 that reads everything.
local port = tonumber(arg[1])

-- Best time of several rounds of n calls of f, in nanoseconds per call.
local function per_call(n, f)
  local best = math.huge
  for _ = 1, 7 do
    local start = host_clock()
    f(n)
    best = math.min(best, host_clock() - start)
  end
  return best * 1e6 / n
end

local function report(label, ns, reference, reference_ns)
  local line = string.format("%-44s %10.0f ns", label, ns)
  if reference then line = line .. string.format("   %.2fx %s", reference_ns / ns, reference) end
  print(line)
end

local line = "alpha,beta,gamma,delta,epsilon,zeta,eta,theta,iota,kappa"
local function lua_split(text, sep, n)  -- what a script would write instead
  local start, i = 1, 1
  while true do
    local at = string.find(text, sep, start, true)
    if i == n then return string.sub(text, start, at and at - 1) end
    if not at then return false end
    start, i = at + #sep, i + 1
  end
end

local empty = per_call(200000, function(n) for _ = 1, n do is_disconnected() end end)
report("empty export call (is_disconnected)", empty)
local plain = per_call(100000, function(n) for _ = 1, n do lua_split(line, ",", 7) end end)
report("split_text, 60-byte line, field 7",
  per_call(100000, function(n) for _ = 1, n do split_text(line, ",", 7) end end),
  "faster than the plain-Lua split", plain)
local gmatch = per_call(100000, function(n)
  for _ = 1, n do local c = 0 for _ in string.gmatch(line, "[^,]+") do c = c + 1 end end
end)
report("member_count, same line",
  per_call(100000, function(n) for _ = 1, n do member_count(line, ",") end end),
  "faster than counting with gmatch", gmatch)
local text32 = string.rep("t", 32)
local round = per_call(50000, function(n) for _ = 1, n do decrypt(encrypt(text32, "k"), "k") end end)
print(string.format("%-44s %10.0f ns   %.1fx the empty call", "encrypt + decrypt, 32 bytes", round,
  round / empty))

local mib = string.rep("0123456789abcdef", 65536)
local fields = string.rep("abcdefghi,", 104858):sub(1, 1048576)
report("encrypt + decrypt, 1 MiB", per_call(5, function(n)
  for _ = 1, n do decrypt(encrypt(mib, "k"), "k") end
end))
report("member_count, 1 MiB of 100,000 fields", per_call(20, function(n)
  for _ = 1, n do member_count(fields, ",") end
end))
report("split_text, middle field of it", per_call(20, function(n)
  for _ = 1, n do split_text(fields, ",", 52429) end
end))

-- Frames until 断开连接 has seen them all out.
local function frames(count, payload)
  local best = math.huge
  for _ = 1, 3 do
    assert(connect("127.0.0.1", port), "connect to the sink failed")
    local start = host_clock()
    for i = 1, count do
      while not send_data(i, payload) do host_sleep(1) end
    end
    disconnect()
    best = math.min(best, host_clock() - start)
  end
  return best / 1000
end
local seconds = frames(100000, "abc")
print(string.format("%-44s %10.0f frames/s", "send_data, 3-byte frames", 100000 / seconds))
seconds = frames(10000, string.rep("x", 4000))
print(string.format("%-44s %10.1f MB/s", "send_data, 4000-byte frames", 10000 * 4010 / 1e6 / seconds))
