-- backpressure.lua: a peer that stops reading for a while, then reads. Sends
-- are refused at the bound, memory stays under it (plus one frame), sends are accepted again
-- once the queue drains, and exactly the frames accepted arrive, in order,
-- byte for byte.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
local size = 1048576
for i = 0, 25 do t.letter_frame(i, size) end  -- made before memory is measured

t.connect()
-- The bound limits what waits, not one frame: 20 MiB on an idle connection
-- is accepted and reaches the peer whole, before the frames that follow.
local big_text = 20 * 1048576 - 10  -- the frame's envelope is 10 bytes
t.check(send_data(1, string.rep("B", big_text)) == true, "a 20 MiB frame refused on an idle connection")
t.check(is_disconnected() == false, "a large frame ended the connection")
t.check(t.report(0).bytes == big_text, "the large frame did not arrive whole")  -- and read
local paused_until = host_clock() + 3000
t.check(t.command("pause 3000"), "the pause was refused")
collectgarbage("collect")
local before = t.resident_kib()
local last = t.fill(2, 1000)
-- The system's buffers may still take from the queue as they grow: fill
-- again until 100 ms free no room; from then on the refusal must stand.
repeat
  host_sleep(100)
  local filled = last
  last = t.fill(last + 1, 1000 - last)
until last == filled or host_clock() > paused_until - 1000
local peak = t.resident_kib()
t.check(last >= 1 and last < 1000, "%d frames of 1 MiB accepted without a refusal", last)
t.check(is_disconnected() == false, "a refused send ended the connection")
-- Still refused while the peer pauses (a machine too busy to fill the queue
-- in time has let the peer read again: then nothing is asserted here).
local refused_again = send_data(last + 1, t.letter_frame(last + 1, size)) == false
t.check(refused_again or host_clock() > paused_until - 500, "refused, then accepted at once")
if not refused_again then last = last + 1 end
if before and peak then
  local grown = peak - before
  print(string.format("backpressure: %d frames accepted, resident memory grew by %d KiB", last, grown))
  t.check(grown < t.MAX_UNSENT_KIB + 8192, "resident memory grew by %d KiB", grown)
end

-- The peer reads again: the queue drains and sends are accepted.
local deadline = host_clock() + 30000
while not send_data(last + 1, t.letter_frame(last + 1, size)) do
  t.check(host_clock() < deadline, "sends still refused long after the peer read again")
  host_sleep(20)
end
last = t.fill(last + 2, 3)
disconnect()

t.connect()
local report = t.report(-1)
t.check(report.frames == last and report.inorder and report.bytes == big_text + (last - 1) * size and
        report.odd == 0 and report.bad == 0 and report.ended,
        "%d frames accepted; the peer got %d (in order %s, %d bytes, %d odd)", last,
        report.frames, tostring(report.inorder), report.bytes, report.odd)
disconnect()
print("backpressure: ok")
