-- basic.lua: connect, send, receive and disconnect against the test peer.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")

t.check(is_disconnected() == false, "flag set before any connect")
t.connect()
t.check(is_disconnected() == false, "flag set after a connect")
local me = t.ask("whoami")
t.check(me:match("^port " .. t.peer_port), "whoami answered %q", me)
for i = 1, 3 do t.check(send_data(i, "frame " .. i) == true, "send %d refused", i) end
t.check(select("#", disconnect()) == 0, "disconnect pushed a value")
t.check(send_data(4, "late") == false, "send after disconnect accepted")
t.connect()
local report = t.report(-1)
t.check(report.frames == 3 and report.inorder and report.bad == 0 and report.ended,
        "previous connection: %d frames", report.frames)
disconnect()
print("basic: ok")
