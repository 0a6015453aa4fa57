-- unload_after.lua: disconnect, then the host frees the library.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
t.connect()
t.check(send_data(1, "bye"), "send refused")
disconnect()
print("unload_after: ok")
