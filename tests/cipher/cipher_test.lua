-- cipher_test.lua: 加密 and 解密 through the real library.

local function check(got, want, what)
  if got ~= want then
    error(string.format("%s: got %q, want %q", what, tostring(got), tostring(want)), 2)
  end
end

-- Lua 5.1 has no bit operations: XOR and NOT of bytes by their bits.
local function xor(a, b)
  local result, bit = 0, 1
  while a > 0 or b > 0 do
    if a % 2 ~= b % 2 then result = result + bit end
    a, b, bit = math.floor(a / 2), math.floor(b / 2), bit * 2
  end
  return result
end
local function notByte(a) return 255 - a end

local function blockOf(cipherText)
  local bytes = {}
  for i = 1, #cipherText, 2 do bytes[#bytes + 1] = tonumber(cipherText:sub(i, i + 1), 16) end
  return bytes
end

local defaultKey = "pk4vzd9qewn2sb7fjr0mtyc5hl8xgi3oua61!?#$%^&()+-=:;."
local gbk = "\196\227\186\195\163\172\202\192\189\231 abc \163\161"  -- 你好，世界 abc ！
local texts = {"a", "hello world", gbk, string.rep("\255", 300), "0123456789ABCDEF", "\1\2\3"}
local keys = {"k", "secret key", defaultKey, gbk, "\128\255", string.rep("z", 1000)}

-- Form of the cipher text and of its block.
for _, text in ipairs(texts) do
  for _, key in ipairs(keys) do
    local cipherText = encrypt(text, key)
    local what = string.format("encrypt(%q, %q)", text, key)
    check(#cipherText, 16 + 2 * #text, what .. " length")
    check(cipherText:find("^[0-9A-F]+$") ~= nil, true, what .. " uppercase hex")
    local block = blockOf(cipherText)
    for i = 1, 3 do  -- bytes 1 to 3 complement bytes 5 to 7 (block is 1-based here)
      check(block[1 + i], notByte(block[5 + i]), what .. " check word byte " .. i)
    end
    -- byte 0 is byte 4 XOR (NOT r) for a mask byte r from 2 to 255
    local mask = notByte(xor(block[1], block[5]))
    check(mask >= 2 and mask <= 255, true, what .. " mask byte " .. mask)
    check(decrypt(cipherText, key), text, what .. " round trip")
  end
end

-- Fresh salt: two encryptions at different milliseconds differ, both decrypt.
local first = encrypt("same text", "k")
host_sleep(20)  -- past the tick count's step (10 to 16 ms on Windows)
local second = encrypt("same text", "k")
check(first ~= second, true, "two encryptions differ")
check(decrypt(first, "k"), "same text", "first decrypts")
check(decrypt(second, "k"), "same text", "second decrypts")

-- The empty key is the default key, both ways.
check(decrypt(encrypt(gbk, ""), defaultKey), gbk, "empty key, then default key")
check(decrypt(encrypt(gbk, defaultKey), ""), gbk, "default key, then empty key")
check(decrypt(encrypt(gbk, nil), {}), gbk, "missing keys are the default key")
check(decrypt(encrypt(gbk, "other"), "wrong") ~= gbk, true, "a wrong key gives other bytes")

-- Empty and short inputs.
check(encrypt("", "k"), nil, "encrypt of the empty text")
check(decrypt("", "k"), nil, "decrypt of the empty text")
local one = encrypt("Z", "k")
check(#one, 18, "one byte")
check(decrypt(one:sub(1, 17), "k"), nil, "decrypt of 17 characters")
check(decrypt(one .. "F", "k"), "Z", "an odd last character is ignored")
check(decrypt(string.rep("0", 16), "k"), nil, "a header without a body")

-- 18 characters always run: the body byte decrypts whatever the header says.
for _, body in ipairs({"00", "41", "FF"}) do
  local result = decrypt("FFFFFFFF00000000" .. body, "k")
  check(result == nil or #result == 1, true, "decrypt of 18 characters, body " .. body)
end

-- Lowercase hex is no hex: each pair holding a lowercase letter decodes as a
-- zero byte, exactly as if it were "00" (the text itself may still come back
-- when only bytes that decryption ignores were hit).
for _, text in ipairs(texts) do
  local upper = encrypt(text, "k")
  local lower = upper:lower()
  local zeroed = upper:gsub("..", function(pair)
    return pair:lower() ~= pair and "00" or pair
  end)
  check(decrypt(lower, "k"), decrypt(zeroed, "k"), "lowercase cipher text of " .. text)
end
check(decrypt(("41"):rep(9):lower() .. "6b", "k"), decrypt(("41"):rep(9) .. "00", "k"),
      "a lowercase pair in the body")

-- A zero first output byte gives nil: build one with the known answer below.

-- Known answer: a block built here from a chosen salt and mask byte.
local function buildBlock(text, key, salt, mask)
  local masked, block = {}, {}
  for i = 1, 4 do masked[i] = xor(salt[i], mask) end
  for i = 1, 4 do block[i] = xor(notByte(mask), masked[i]) end
  block[1] = xor(masked[1], notByte(mask))
  for i = 2, 4 do block[i] = notByte(masked[i]) end
  for i = 1, 4 do block[4 + i] = masked[i] end
  local maskedKey = {}
  for i = 1, #key do maskedKey[i] = xor(key:byte(i), masked[(i - 1) % 4 + 1]) end
  local step = #key
  for i = 1, #text do
    local byte = text:byte(i)
    for j = 1, #maskedKey do byte = xor(byte, maskedKey[j]) end
    step = step + 1
    block[8 + i] = xor(byte, salt[(step - 1) % 4 + 1])
  end
  local hex = {}
  for i, byte in ipairs(block) do hex[i] = string.format("%02X", byte) end
  return table.concat(hex)
end

local answers = {
  {"known answer", "key", {0x12, 0x34, 0x56, 0x78}, 2},
  {gbk, "", {0xFF, 0x00, 0x80, 0x01}, 255},
  {"x", "abcde", {0, 0, 0, 0}, 128},
  {"salt\1bytes", "\200\201\202", {0xA5, 0x5A, 0xC3, 0x3C}, 77},
}
for _, case in ipairs(answers) do
  local text, key, salt, mask = case[1], case[2], case[3], case[4]
  local block = buildBlock(text, key == "" and defaultKey or key, salt, mask)
  check(decrypt(block, key), text, string.format("known answer %q", text))
end
-- First output byte zero: text bytes chosen so that decryption yields 0 first.
check(decrypt(buildBlock("\0abc", "k", {1, 2, 3, 4}, 9), "k"), nil, "zero first byte")
check(decrypt(buildBlock("ab\0c", "k", {1, 2, 3, 4}, 9), "k"), "ab", "zero inside")

-- Three arguments: the second is the text, the third the key.
local three = encrypt("ignored", "middle", "key3")
check(#three, 16 + 2 * #"middle", "encrypt with three arguments")
check(decrypt("ignored", three, "key3"), "middle", "decrypt with three arguments")
-- One argument: the missing text reads as empty.
check(encrypt("only"), nil, "encrypt with one argument")
check(decrypt(three), nil, "decrypt with one argument")
-- Numbers arrive in their text form.
check(decrypt(encrypt(12.5, 7), "7"), "12.5", "numbers as text and key")

-- A long text.
local long = string.rep(gbk, 20000)
check(decrypt(encrypt(long, "k"), "k"), long, "long round trip")

-- Results of very different lengths in turn, each whole and nothing more:
-- a later result may reuse the block of an earlier, longer one.
local lengths = {100000, 3, 70000, 1, 0, 5000, 100000, 17, 2, 40000, 39999}
for _, n in ipairs(lengths) do
  local text = string.rep("ab\214\208", n):sub(1, n)
  local cipherText = encrypt(text, "key")
  if n == 0 then
    check(cipherText, nil, "empty text between long ones")
  else
    check(#cipherText, 16 + 2 * n, "cipher text of " .. n .. " bytes")
    check(decrypt(cipherText, "key"), text, "round trip of " .. n .. " bytes")
  end
end
-- Ends found inside a result after a long one: the short text alone.
check(decrypt(encrypt(long, "k"), "k"), long, "long round trip again")
check(decrypt(buildBlock("ab\0c", "k", {1, 2, 3, 4}, 9), "k"), "ab", "zero inside after long")
check(decrypt(encrypt(long, "k"), "k"), long, "and long once more")
check(decrypt(buildBlock("\0abc", "k", {1, 2, 3, 4}, 9), "k"), nil, "zero first after long")
check(encrypt("x\0yz", "k"):len(), 18, "a text cut at its zero byte after long ones")
print("cipher_test: ok")
