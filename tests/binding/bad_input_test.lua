-- bad_input_test.lua: every export of the binding, cipher and machine
-- identifier called with values of every kind: no Lua error, no crash, and
-- each argument read as its text form (a value without one as the empty text).

local huge = string.rep("\214\208,abc|", 110000) .. "\163\172end"  -- over 1 MiB
local values = {
  nil, true, false, {}, print, coroutine.create(function() end), 0, -1.5, 2, 1e308, 0 / 0, 1 / 0,
  "", ",", "a,b,c", "a\0b,c", "\0", "\129", "\163\178", "1\0" .. "2",
}
local count = 20  -- values holds a nil, so # cannot count it

-- What the library reads for a value: strings up to a zero byte, numbers in
-- Lua's text form, everything else empty.
local function asText(value)
  if type(value) == "number" then return tostring(value) end
  if type(value) ~= "string" then return "" end
  return (value:match("^[^%z]*"))
end

local function call(name, f, ...)
  local results = {pcall(f, ...)}
  if not results[1] then error(name .. " raised " .. tostring(results[2]), 2) end
  return unpack(results, 2)
end

local function same(a, b) return a == b or (a ~= a and b ~= b) end

local function checkSplit(name, f, a, b, c, arity)
  local args = {a, b, c}
  local got = call(name, f, unpack(args, 1, arity))
  -- missing arguments read as empty texts, present ones as their text form
  local texts = {"", "", ""}
  for i = 1, arity do texts[3 - arity + i] = asText(args[i]) end
  local want = f(texts[1], texts[2], texts[3])
  assert(got == false or type(got) == "string", name .. " gives a text or false")
  assert(same(got, want), name .. ": arguments as their texts")
end

local function checkCount(a, b, arity)
  local args = {a, b}
  local got = call("member_count", member_count, unpack(args, 1, arity))
  local texts = {"", ""}
  for i = 1, arity do texts[2 - arity + i] = asText(args[i]) end
  assert(type(got) == "number" and got >= 0 and got % 1 == 0, "member_count gives a count")
  assert(got == member_count(texts[1], texts[2]), "member_count: arguments as their texts")
end

local function checkCipher(a, b, arity)
  local args = {a, b}
  local cipherText = call("encrypt", encrypt, unpack(args, 1, arity))
  local decrypted = call("decrypt", decrypt, unpack(args, 1, arity))
  local texts = {"", ""}
  for i = 1, arity do texts[2 - arity + i] = asText(args[i]) end
  if texts[1] == "" then
    assert(cipherText == nil, "encrypt of an empty text gives nil")
  else
    assert(#cipherText == 16 + 2 * #texts[1], "encrypt: length of the text form")
    assert(decrypt(cipherText, texts[2]) == texts[1], "encrypt: round trip of the text form")
  end
  assert(decrypted == nil or type(decrypted) == "string", "decrypt gives a text or nil")
  if #texts[1] < 18 then assert(decrypted == nil, "decrypt of a short text gives nil") end
end

local code = machine_code()
local calls = 0
for i = 0, count do
  for j = 0, count do
    for arity = 0, 2 do
      if arity >= 1 or (i == 0 and j == 0) then
        checkCount(values[i], values[j], arity)
        checkCipher(values[i], values[j], arity)
        assert(call("machine_code", machine_code, values[i], values[j]) == code)
        calls = calls + 3
      end
    end
    for k = 0, count do
      for arity = 0, 3 do
        checkSplit("split_text", split_text, values[i], values[j], values[k], arity)
        checkSplit("subroutine1", subroutine1, values[i], values[j], values[k], arity)
        calls = calls + 2
      end
    end
  end
end

-- Too many arguments: the top ones are read.
assert(split_text({}, print, "x|y", "|", 2) == "y")
assert(member_count(true, nil, "x|y", "|") == 2)
assert(decrypt(false, encrypt(1, 2, "zz", "key"), "key") == "zz")

-- Huge texts in every position.
local hugeCount = member_count(huge, ",")
assert(hugeCount == 110001, "fields of the huge text: " .. hugeCount)
assert(member_count(huge, "|") == 110001)
assert(member_count(huge, "\163\172") == 2)
assert(split_text(huge, ",", 110001) == "abc|\163\172end")
assert(split_text(huge, "\163\172", 2) == "end")
assert(split_text(huge, ",", huge) == false)
assert(split_text(",", huge, 1) == false)
assert(member_count(",", huge) == 0)
assert(split_text("a,b", ",", string.rep(" ", 2000000) .. "2") == "b")
assert(split_text("a,b", ",", string.rep("0", 2000000) .. "2") == "b")
assert(split_text("a,b", ",", string.rep("\163\176", 1000000) .. "2") == "b")
local hugeCipher = encrypt(huge, huge)
assert(#hugeCipher == 16 + 2 * #huge)
assert(decrypt(hugeCipher, huge) == huge)
-- No uppercase hex pair in huge: every byte decodes as 0, so the mask byte is
-- FF, the salt FF FF FF FF and each body byte FF XOR "k" (6B) = 94.
assert(decrypt(huge, "k") == string.rep("\148", math.floor(#huge / 2) - 8))
local garbage = decrypt(huge, huge)
assert(garbage == nil or type(garbage) == "string")
assert(machine_code(huge, huge) == code)
print("bad_input_test: ok, " .. calls .. " calls")
