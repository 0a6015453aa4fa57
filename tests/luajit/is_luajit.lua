-- is_luajit.lua: the host runs LuaJIT 2.1, and an export's results land in
-- its state as values of that state.
assert(type(jit) == "table" and type(jit.version) == "string", "not LuaJIT: no jit table")
assert(jit.version:match("^LuaJIT 2%.1%."), "not LuaJIT 2.1: " .. jit.version)
local fields = {}
for n = 1, member_count("a,bb,ccc", ",") do fields[n] = split_text("a,bb,ccc", ",", n) end
assert(table.concat(fields, "|") == "a|bb|ccc", "split on LuaJIT: " .. table.concat(fields, "|"))
assert(decrypt(encrypt("LuaJIT", "k"), "k") == "LuaJIT", "cipher round trip on LuaJIT")
print(jit.version .. " " .. jit.arch .. ", exports answer")
