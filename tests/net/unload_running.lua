-- unload_running.lua: the script ends with the connection open and the
-- engine running; the host then frees the library and exits cleanly.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
t.connect()
t.check(send_data(1, "still open"), "send refused")
t.check(t.command("paced 50 100 20"), "paced refused")  -- data keeps coming during unload
host_sleep(100)
print("unload_running: ok")
