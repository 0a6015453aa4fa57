-- tools.lua: the cipher, the text splitting and the machine identifier.
-- Run: brovane-run examples/tools.lua

local secret = "Hello, Brovane"
local cipher = encrypt(secret, "my key")
print("encrypt:  " .. secret .. " -> " .. cipher)
print("decrypt:  " .. tostring(decrypt(cipher, "my key")))
print("same text again gives another cipher text: " .. encrypt(secret, "my key"))
print("empty key uses the default key: " .. tostring(decrypt(encrypt("abc", ""), "")))

local line = "alpha,beta,gamma"
print("member_count('" .. line .. "', ',') = " .. member_count(line, ","))
for n = 1, 4 do
  print("split_text(line, ',', " .. n .. ") = " .. tostring(split_text(line, ",", n)))
end
print("machine_code() = " .. machine_code())
