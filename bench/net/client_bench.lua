-- client_bench.lua: 发送数据 against LuaSocket sending the same frames from
-- the same Lua loop, to a sink on loopback; 断开连接 and connect cycles.
local port = tonumber(arg[1])
local silent_port = tonumber(arg[2])  -- accepts, never reads, never closes
local socket = require "socket"

local function frame(number, payload)  -- what LuaSocket has to build in Lua
  local n = number % 4294967296
  return "\0\0" .. string.char(n % 256, math.floor(n / 256) % 256,
    math.floor(n / 65536) % 256, math.floor(n / 16777216) % 256) .. "\192\066" .. payload .. "\237\115"
end

local function brovane_run(count, payload)
  assert(connect("127.0.0.1", port), "connect failed")
  local start = host_clock()
  for i = 1, count do
    while not send_data(i, payload) do host_sleep(1) end  -- full queue: as a blocking send waits
  end
  disconnect()  -- waits for every accepted frame to be on the wire
  return host_clock() - start
end

local function luasocket_run(count, payload)
  local client = assert(socket.tcp())
  assert(client:connect("127.0.0.1", port))
  local start = host_clock()
  for i = 1, count do assert(client:send(frame(i, payload))) end
  client:close()
  return host_clock() - start
end

-- Best of several rounds, the two taking turns: the machine's load hits both.
local function compare(label, count, payload, unit, goal)
  local ours, theirs = math.huge, math.huge
  for _ = 1, 5 do
    ours = math.min(ours, brovane_run(count, payload))
    theirs = math.min(theirs, luasocket_run(count, payload))
  end
  local bytes = count * (#payload + 10)
  local function figure(ms)
    if unit == "MB/s" then return bytes / 1e6 / (ms / 1000) end
    return count / (ms / 1000)
  end
  print(string.format("%-28s Brovane %10.1f %s   LuaSocket %10.1f %s   ratio %.2f (goal >= %g)%s",
    label, figure(ours), unit, figure(theirs), unit, theirs / ours, goal,
    theirs / ours >= goal and "" or "  MISSED"))
end

compare("frames, 3-byte payload", 200000, "abc", "frames/s", 15)
compare("frames, 4000-byte payload", 20000, string.rep("x", 4000), "MB/s", 0.9)

-- 断开连接 with idle workers.
local times = {}
for i = 1, 21 do
  assert(connect("127.0.0.1", port))
  host_sleep(20)  -- the workers are idle in their wait
  local start = host_clock()
  disconnect()
  times[i] = host_clock() - start
end
table.sort(times)
print(string.format("%-28s median %.3f ms, worst %.3f ms (goal < 10 ms)", "disconnect, idle workers",
  times[11], times[21]))

local cycles = 500
local start = host_clock()
for _ = 1, cycles do
  assert(connect("127.0.0.1", port))
  disconnect()
end
print(string.format("%-28s %.0f per second", "connect + disconnect", cycles / ((host_clock() - start) / 1000)))

-- A peer that never reads: 1,500 frames of 1 MiB thrown at it, then 断开连接.
local function resident_mib()
  local kib = host_resident_kib()
  return kib and kib / 1024 or 0 / 0
end
local mib = string.rep("m", 1048576)
collectgarbage("collect")
local before = resident_mib()
assert(connect("127.0.0.1", silent_port), "connect to the silent peer failed")
local accepted, peak = 0, before
for i = 1, 1500 do
  if send_data(i, mib) then accepted = accepted + 1 end
  if i % 50 == 0 then peak = math.max(peak, resident_mib()) end
end
peak = math.max(peak, resident_mib())
start = host_clock()
disconnect()
local took = (host_clock() - start) / 1000
print(string.format("%-28s %.0f MiB resident (%.0f before; goal < 256 MiB), %d of 1500 frames accepted",
  "silent peer, 1,500 x 1 MiB", peak, before, accepted))
print(string.format("%-28s %.2f s (goal < 5 s)", "disconnect, silent peer", took))
