-- unload_after.lua: disconnect, then the host frees the library.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
t.connect()
t.check(t.command("expect 2"), "expect refused")
t.check(send_data(1, "bye"), "send refused")
t.check(send_data(2, string.rep("b", 300000)), "send refused")
disconnect()
print("unload_after: ok")
