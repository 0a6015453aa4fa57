-- stress.lua: the peer streams chunks while the script takes packets and
-- sends; run under ThreadSanitizer too.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
for round = 1, 3 do
  t.connect()
  t.check(t.command("stream 3000 700"), "stream refused")
  local taken, deadline = 0, host_clock() + 1500
  while host_clock() < deadline do
    local got, value = t.take(0)
    if got and value then
      t.check(value:match("^[A-Z]+$"), "a chunk that is not letters")
      taken = taken + 1
    end
    send_data(round, "tick")
  end
  t.check(taken > 0, "round %d: nothing taken", round)
  disconnect()
end
print("stress: ok")
