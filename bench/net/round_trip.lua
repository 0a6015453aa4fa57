-- round_trip.lua: one round of one client's figures, for bench/net/compare.py.
--   round_trip.lua MODE COUNT SCOPE SINK_PORT SILENT_PORT ANSWER_PORT
-- MODE library: Brovane's exports; luasocket: LuaSocket from the same Lua
-- loop. SCOPE all, or round-trips alone. Prints "figure NAME VALUE" lines: the mean round trip in µs (a
-- 14-byte frame out, the peer's 4-byte answer back; the library's answer
-- polled with 取封包 in a tight loop, as a script must), and frames per
-- second of 3-byte and 4000-byte frames to a sink.
local mode, count, scope = arg[1], tonumber(arg[2]), arg[3]
local sink_port, answer_port = tonumber(arg[4]), tonumber(arg[6])

local function frame(number, payload)  -- what LuaSocket has to build in Lua
  local n = number % 4294967296
  return "\0\0" .. string.char(n % 256, math.floor(n / 256) % 256,
    math.floor(n / 65536) % 256, math.floor(n / 16777216) % 256) .. "\192\066" .. payload .. "\237\115"
end

local library = {}

function library.round_trips(n)
  assert(connect("127.0.0.1", answer_port), "connect failed")
  local start = host_clock()
  for i = 1, n do
    send_data(i, "ping")
    while get_packet() == nil do end
  end
  local ms = host_clock() - start
  disconnect()
  return ms
end

function library.frames(n, payload)
  assert(connect("127.0.0.1", sink_port), "connect failed")
  local start = host_clock()
  for i = 1, n do
    while not send_data(i, payload) do host_sleep(1) end  -- full queue: as a blocking send waits
  end
  disconnect()  -- waits for every accepted frame to be on the wire
  return host_clock() - start
end

local luasocket = {}

local function open(port)
  local socket = require "socket"
  local client = assert(socket.tcp())
  assert(client:connect("127.0.0.1", port))
  return client
end

function luasocket.round_trips(n)
  local client = open(answer_port)
  local clock = require("socket").gettime
  local start = clock()
  for i = 1, n do
    assert(client:send(frame(i, "ping")))
    assert(client:receive(4))
  end
  local ms = (clock() - start) * 1000
  client:close()
  return ms
end

function luasocket.frames(n, payload)
  local client = open(sink_port)
  local clock = require("socket").gettime
  local start = clock()
  for i = 1, n do assert(client:send(frame(i, payload))) end
  client:close()
  return (clock() - start) * 1000
end

local client = mode == "library" and library or luasocket
print(string.format("figure round_trip_us %.3f", client.round_trips(count) * 1000 / count))
if scope == "all" then
  print(string.format("figure frames3_per_s %.0f", 200000 / (client.frames(200000, "abc") / 1000)))
  print(string.format("figure frames4000_per_s %.0f",
    20000 / (client.frames(20000, string.rep("x", 4000)) / 1000)))
end
