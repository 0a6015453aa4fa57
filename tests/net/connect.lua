-- connect.lua: connect failures, the port number, and the disconnected flag.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")

t.check(is_disconnected() == false, "flag set before any connect")
t.check(send_data(1, "x") == false, "send before any connect accepted")

-- address and port that must not connect; the flag is set after each
local failures = {
  { "127.0.0.1", t.dead_port, "no listener" },
  { "localhost", t.peer_port, "a host name" },
  { "", t.peer_port, "an empty address" },
  { nil, t.peer_port, "no address" },
  { "127.0.0.1.5", t.peer_port, "five numbers" },
}
for _, case in ipairs(failures) do
  t.connect()
  t.check(connect(case[1], case[2]) == false, "%s connected", case[3])
  t.check(is_disconnected() == true, "%s: flag not set", case[3])
  t.check(send_data(1, "x") == false, "%s: send accepted", case[3])
  disconnect()
end

-- The port is taken modulo 65536 after truncation toward zero.
local ports = { { 70000, t.port_4464, 4464 }, { 8080.7, t.port_8080, 8080 },
                { t.peer_port + 65536 * 3 + 0.99, t.peer_port, t.peer_port } }
for _, case in ipairs(ports) do
  if case[2] == 0 then
    print("connect: port " .. case[3] .. " is busy here, case skipped")
  else
    t.check(connect("127.0.0.1", case[1]) == true, "port %s refused", tostring(case[1]))
    local me = t.ask("whoami")
    t.check(me:match("^port (%d+)") == tostring(case[3]), "port %s reached %q", case[1], me)
    disconnect()
  end
end

-- The flag after the peer's reset and after its orderly close.
for _, verb in ipairs({ "reset", "close" }) do
  t.connect()
  t.check(is_disconnected() == false, "flag set after a connect")
  t.check(t.command(verb), "%s refused", verb)
  t.check(t.wait_flag(true) == true, "flag not set after the peer's %s", verb)
  t.check(send_data(1, "x") == false, "send accepted after the peer's %s", verb)
  disconnect()
end

-- A reconnect: the old connection's end must not touch the new one.
for _ = 1, 20 do
  t.connect()
  t.connect()
  host_sleep(20)
  t.check(is_disconnected() == false, "the old connection's end set the flag")
  local me = t.ask("whoami")
  t.check(me:match("^port"), "the new connection does not answer")
end
disconnect()
print("connect: ok")
