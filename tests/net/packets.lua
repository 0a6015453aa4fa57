-- packets.lua: what 取封包 hands out: the last chunk, once.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")

local function count_results(...) return select("#", ...) end

t.check(count_results(get_packet()) == 0, "a packet before any connect")
t.connect()
t.check(count_results(get_packet()) == 0, "a packet before anything came")

-- peer command, then what the take gives: a string, nil (false here), or nothing
local cases = {
  { "send 414243", "ABC" },              -- one chunk
  { "send 414243 444546", "DEF" },       -- two chunks: the last one wins
  { "send 004142", false },              -- a leading zero byte: nil
  { "send 41420043", "AB" },             -- a zero byte at k cuts there
  { "send " .. string.rep("61", 4096), string.rep("a", 4096) },  -- a full receive
}
for _, case in ipairs(cases) do
  t.check(t.command(case[1]), "command refused")
  host_sleep(500)  -- every chunk of the case has come
  local got, value = t.take(0)
  t.check(got, "%s: nothing to take", case[1]:sub(1, 20))
  t.check((value or false) == case[2], "%s: took %q", case[1]:sub(1, 20), tostring(value))
  t.check(count_results(get_packet()) == 0, "%s: taken twice", case[1]:sub(1, 20))
end

-- Chunks taken in time arrive whole and in order.
t.check(t.command("paced 12 3000 60"), "paced refused")
local seen, total = {}, 0
local deadline = host_clock() + 10000
while total < 12 * 3000 and host_clock() < deadline do
  local got, value = t.take(50)
  if got and value then
    total = total + #value
    local letter = value:sub(1, 1)
    t.check(value == string.rep(letter, #value), "a mixed chunk")
    if seen[#seen] ~= letter then seen[#seen + 1] = letter end
  end
end
t.check(total == 36000, "paced chunks: %d bytes", total)
t.check(table.concat(seen) == "ABCDEFGHIJKL", "paced chunks out of order: %s", table.concat(seen))

-- A burst beyond one receive: the last chunk that survives ends the burst.
t.check(t.command("burst 10000"), "burst refused")
host_sleep(500)
local got, last = t.take(0)
local pattern = {}
for i = 0, 9999 do pattern[#pattern + 1] = string.char(65 + i % 26) end
pattern = table.concat(pattern)
t.check(got and #last <= 4096 and pattern:sub(-#last) == last, "burst tail wrong")
disconnect()

-- A chunk that comes after disconnect cleared the slot empties lastPacket.
t.check(count_results(get_packet()) == 0, "a packet after disconnect")
print("packets: ok")
