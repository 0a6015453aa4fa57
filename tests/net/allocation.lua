-- allocation.lua: calls every export once or more against a peer that
-- answers, for the allocation sweep (refuse_each.py). A refused allocation
-- either ends the process after the out-of-memory box or is absorbed as a
-- failure value, so nothing here insists on success; it checks only what
-- must hold either way.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
local line = "alpha,\180\243,gamma"  -- a GBK character in the middle field
t.check(member_count(line, ",") == 3, "member_count")
t.check(split_text(line, ",", 2) == "\180\243", "split_text")
t.check(subroutine1(line, ",", "3") == "gamma", "subroutine1")
t.check(decrypt(encrypt("round trip", "k"), "k") == "round trip", "cipher round trip")
t.check(decrypt(encrypt(string.rep("long ", 20000), ""), "") == string.rep("long ", 20000), "long text")
t.check(#machine_code() == 35, "machine_code")
for round = 1, 2 do
  if connect("127.0.0.1", t.peer_port) then
    if send_data(round, "hello") and t.command("send 414243") then t.take(2000) end
    get_packet()
  end
  t.check(type(is_disconnected()) == "boolean", "is_disconnected")
  disconnect()
end
t.check(connect("127.0.0.1", t.dead_port) == false and is_disconnected(), "a refused connect")
print("allocation: ok")
