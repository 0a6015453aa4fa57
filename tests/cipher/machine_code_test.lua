-- machine_code_test.lua: 取机器码 through the real library.

local code = machine_code()
assert(type(code) == "string", "machine_code gives a text")
assert(#code == 35, "35 characters, got " .. #code .. ": " .. code)
for i = 1, 35 do
  local c = code:sub(i, i)
  if i == 9 or i == 18 or i == 27 then
    assert(c == "-", "a dash at " .. i .. ": " .. code)
  else
    assert(c:find("^[0-9A-F]$"), "an uppercase hex digit at " .. i .. ": " .. code)
  end
end
-- Stable across calls, whatever is passed.
for _, extra in ipairs({{}, {nil}, {1, 2, 3}, {"x", {}, print}}) do
  assert(machine_code(unpack(extra)) == code, "the same text on every call")
end
assert(_G["\200\161\187\250\198\247\194\235"]() == code, "取机器码 is the same function")
-- Leaf 1 EAX is the processor signature: never zero on a processor with CPUID.
assert(code:sub(10, 17) ~= "00000000", "a processor signature: " .. code)
print("machine_code_test: ok " .. code)
