-- lua_memory.lua: Lua runs out of memory while an export hands back its
-- result. The script's pcall gets Lua's own error, nothing of the library's
-- is lost (resident memory stays flat; the leak checkers see no block), and
-- the next call works.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")

local key, text = "k", string.rep("0123456789abcdef", 16384)  -- 256 KiB
-- Lua interns its strings: a result equal to a live string costs it nothing,
-- so the text that this cipher text hides is not kept.
local cipher = encrypt(string.rep("fedcba9876543210", 16384), key)

-- Calls f(...) while Lua may grow by a little only; true when that ended in
-- Lua's memory error.
local function runs_out(f, ...)
  collectgarbage()
  host_lua_memory_cap(collectgarbage("count") * 1024 + 2048)
  local ok, message = pcall(f, ...)
  host_lua_memory_cap(0)
  return not ok and tostring(message):find("not enough memory", 1, true) ~= nil
end

local before = t.resident_kib()
for _ = 1, 64 do  -- a lost result block each: 64 x (512 + 256) KiB
  t.check(runs_out(encrypt, text, key), "encrypt ran without the memory error")
  t.check(runs_out(decrypt, cipher, key), "decrypt ran without the memory error")
end
local after = t.resident_kib()
t.check(not (before and after) or after - before < 16384, "resident memory grew by %d KiB",
        (after or 0) - (before or 0))
t.check(decrypt(encrypt(text, key), key) == text, "no round trip after the memory errors")

-- A received chunk that Lua has no room for waits for the next call.
t.connect()
for round = 1, 16 do
  t.check(t.command("send " .. string.rep("61", 4096)), "command refused")
  host_sleep(200)  -- the chunk has come
  t.check(runs_out(get_packet), "round %d: get_packet ran without the memory error", round)
  t.check(get_packet() == string.rep("a", 4096), "round %d: the chunk was lost", round)
  t.check(select("#", get_packet()) == 0, "round %d: the chunk came twice", round)
end
t.check(t.ask("send 414243") == "ABC", "no packet after the memory errors")
disconnect()
print("lua_memory: ok")
