-- frames.lua: the frame's exact bytes, and order across bursts and partial sends.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")

local function hex(s) return (s:gsub(".", function(c) return string.format("%02x", c:byte()) end)) end

-- number and data as the script passes them, and the frame expected on the wire
local cases = {
  { 1, "abc", "000001000000c042616263ed73" },
  { -1, "", "0000ffffffffc042ed73" },
  { 1.9, "abc", "000001000000c042616263ed73" },
  { -1.9, "z", "0000ffffffffc0427aed73" },
  { 258, "", "000002010000c042ed73" },
  { 4294967297, "", "000001000000c042ed73" },  -- low 32 bits of the 64-bit value
  { 0 / 0, "", "000000000000c042ed73" },       -- NaN reads as 0
  { 1e300, "", "000000000000c042ed73" },       -- beyond 64 bits reads as 0
  { "7", {}, "000007000000c042ed73" },         -- not a string: empty payload
  { 2, 12, "000002000000c0423132ed73" },       -- a number reads as its text
  { 3, "a\0b", "000003000000c04261ed73" },     -- the payload ends at a zero byte
  { 4, "\193\172\189\211", "000004000000c042c1acbdd3ed73" },  -- GBK bytes unchanged
}

t.check(send_data(1, "abc") == false, "send before any connect accepted")
t.connect()
local expected = {}
for i, case in ipairs(cases) do
  t.check(send_data(case[1], case[2]) == true, "case %d refused", i)
  expected[#expected + 1] = case[3]
end
disconnect()
t.connect()
local wire = t.ask("hex -1")
t.check(wire == table.concat(expected), "wire bytes differ:\n%s\n%s", wire, table.concat(expected))

-- 10,000 frames in one burst, disconnected at once: all arrive, in order.
local count, bytes, sum = 10000, 0, 0
for i = 1, count do
  local payload = string.rep(string.char(65 + i % 26), i % 50)
  t.check(send_data(i, payload), "frame %d refused", i)
  bytes = bytes + #payload
  sum = sum + (65 + i % 26) * #payload
end
disconnect()
t.connect()
local report = t.report(-1)
t.check(report.frames == count and report.inorder and report.bytes == bytes and
        report.sum == sum % 1000000007 and report.bad == 0 and report.ended,
        "burst: %d frames, in order %s, %d bytes", report.frames, tostring(report.inorder),
        report.bytes)

-- Four 1 MiB frames while the peer does not read: sends end part way and
-- their rest must go out before the next frame.
t.check(t.command("pause 700"), "pause refused")
local big = 4
for i = 1, big do
  t.check(send_data(i, string.rep(string.char(96 + i), 1048576)), "big frame %d refused", i)
end
disconnect()
t.connect()
report = t.report(-1)
local big_sum = 0
for i = 1, big do big_sum = big_sum + (96 + i) * 1048576 end
t.check(report.frames == big and report.inorder and report.bytes == big * 1048576 and
        report.sum == big_sum % 1000000007 and report.bad == 0,
        "big frames: %d frames, %d bytes", report.frames, report.bytes)
disconnect()
print("frames: ok")
