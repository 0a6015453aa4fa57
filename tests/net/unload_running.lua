-- unload_running.lua: the script ends with the connection open, frames still
-- queued and the engine running; the host then frees the library and exits.
-- The frames accepted before still reach the peer, whole and in order, and
-- the connection ends in order (checked by peer.py after the script).
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
t.connect()
t.check(t.command("expect 3"), "expect refused")
t.check(t.command("paced 50 100 20"), "paced refused")  -- data keeps coming during unload
for i = 1, 3 do  -- more than the system buffers while the peer is busy: some stay queued
  t.check(send_data(i, string.rep("u", 3 * 1048576)), "send %d refused", i)
end
host_sleep(100)
print("unload_running: ok")
