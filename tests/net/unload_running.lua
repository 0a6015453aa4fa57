-- unload_running.lua: the script ends with the connection open and the
-- engine running; the host then frees the library and exits cleanly. The
-- frames accepted before still reach the peer (checked by peer.py after).
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
t.connect()
t.check(t.command("expect 3"), "expect refused")
t.check(t.command("paced 50 100 20"), "paced refused")  -- data keeps coming during unload
for i = 1, 3 do t.check(send_data(i, string.rep("u", 100000)), "send %d refused", i) end
host_sleep(100)
print("unload_running: ok")
