-- reload.lua: one cycle of a host that loads the library for each
-- connection (brovane-run --cycles): connect, ten frames, disconnect; the
-- host then closes the state and frees the library. The peer checks that
-- each connection ended after its ten frames.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
t.connect()
t.check(t.command("expect 10"), "expect refused")
for i = 1, 10 do
  t.check(send_data(i, t.letter_frame(i, 10 * i)), "frame %d refused", i)
end
disconnect()
