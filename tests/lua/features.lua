-- features.lua: what our scripts lean on in the Lua they run on. Prints one
-- line per case; the test compares the lines with Debian's lua5.1 running
-- this same file, so every value here is computed, never written down.
-- Kept to what Lua 5.1 defines the same on every platform: %d %u %x %o
-- of numbers that fit a signed 32-bit long (C's long is 64-bit on Linux,
-- 32-bit on Windows) and NaN without its sign (glibc prints it, mingw does not).

local function show(name, ...)
  local parts = {}
  for i = 1, select("#", ...) do
    local v = select(i, ...)
    parts[#parts + 1] = type(v) == "string" and string.format("%q", v) or tostring(v)
  end
  io.write(name, ": ", table.concat(parts, " "), "\n")
end

-- string.format: every conversion with flags, widths and precisions.
local formats = {
  {"%d", 42}, {"%d", -42}, {"%5d", 42}, {"%-5d|", 42}, {"%05d", -42}, {"%+d", 42},
  {"% d", 42}, {"%.3d", 7}, {"%i", 2147483647}, {"%i", -2147483647}, {"%d", 3.99},
  {"%u", 2147483647}, {"%c", 65}, {"%c%c%c", 76, 117, 97}, {"%x", 255}, {"%X", 255},
  {"%#x", 255}, {"%#X", 48879}, {"%08x", 48879}, {"%x", 2147483647}, {"%o", 8}, {"%#o", 8},
  {"%e", 12345.678}, {"%E", 0.000123}, {"%.0e", 5e10}, {"%+.3e", 1e100}, {"%e", 0},
  {"%f", 3.14159265}, {"%.2f", 2.675}, {"%10.3f|", -1.5}, {"%-10.1f|", 1e6}, {"%.0f", 0.5},
  {"%.0f", 1.5}, {"%#.0f", 3}, {"%f", 1e20}, {"%g", 100000}, {"%g", 1000000},
  {"%g", 1e-5}, {"%g", 0.0001}, {"%.3g", 3.14159}, {"%#g", 1}, {"%G", 1e-10},
  {"%G", 1.5e300}, {"%.14g", 2^53}, {"%s", "text"}, {"%10s|", "right"},
  {"%-10s|", "left"}, {"%.2s", "cut"}, {"%s", 12}, {"%s", 1.5}, {"%%", nil},
  {"%5.1f%%", 99.44}, {"%q", 'a "quoted"\n\\ line\r\0end'}, {"%q", "\1\2\255"},
  {"[%5s][%-5s][%05.1f]", "a", "b", 2.25},
}
for _, case in ipairs(formats) do
  local ok, result = pcall(string.format, case[1], case[2], case[3], case[4])
  show("format " .. case[1], ok, result)
end
show("format %c 0", string.byte(string.format("%c", 0), 1, -1))
show("format bad", pcall(string.format, "%y", 1))
show("format missing", pcall(string.format, "%d"))
show("format not a number", pcall(string.format, "%d", "x"))

-- error and pcall: messages with positions, levels, non-string error objects.
local function thrower(value, level) error(value, level) end
show("error string", pcall(thrower, "plain"))
show("error level 2", pcall(thrower, "up", 2))
show("error level 0", pcall(thrower, "bare", 0))
show("error nil", pcall(error))
show("error number", pcall(error, 42))
local object = {code = 7}
local ok, caught = pcall(error, object)
show("error table", ok, caught == object, caught.code)
show("error from C", pcall(string.rep))
show("error from C arg", pcall(string.sub, {}))
show("error arith", pcall(function() return {} + 1 end))
show("error call nil", pcall(function() local f; f() end))
show("error index", pcall(function() local t; return t.x end))
show("error concat", pcall(function() return "a" .. {} end))
show("error compare", pcall(function() return {} < {} end))
show("xpcall", xpcall(function() error("deep") end,
                      function(m) return "handled: " .. m end))
show("xpcall traceback type", type(select(2, xpcall(error, debug.traceback))))
show("nested pcall", pcall(pcall, error, "inner"))
show("assert", pcall(assert, false, "assertion text"))
show("assert default", pcall(assert, nil))
show("loadstring syntax", loadstring("x = = 1", "chunk"))
show("tostring error", pcall(error, setmetatable({}, {__tostring = function() return "custom" end})))

-- Coroutines: values both ways, errors inside, status, wrap.
local co = coroutine.create(function(a, b)
  local c = coroutine.yield(a + b)
  local d, e = coroutine.yield(c * 2)
  return d .. e
end)
show("resume 1", coroutine.resume(co, 1, 2))
show("resume 2", coroutine.resume(co, 10))
show("resume 3", coroutine.resume(co, "x", "y"))
show("resume dead", coroutine.resume(co))
show("status", coroutine.status(co))
local failing = coroutine.create(function() coroutine.yield(1); error("in coroutine") end)
show("error in coroutine 1", coroutine.resume(failing))
show("error in coroutine 2", coroutine.resume(failing))
show("status after error", coroutine.status(failing))
local tabled = coroutine.create(function() error({tag = "obj"}) end)
local okc, errc = coroutine.resume(tabled)
show("table error in coroutine", okc, type(errc), errc.tag)
show("wrap error", pcall(coroutine.wrap(function() error("wrapped") end)))
show("wrap error from C", pcall(coroutine.wrap(function() string.rep() end)))
show("yield across pcall", pcall(coroutine.wrap(function() pcall(coroutine.yield, 1) end)))
show("running main", coroutine.running())
local gen = coroutine.wrap(function() for i = 1, 3 do coroutine.yield(i) end end)
show("wrap values", gen(), gen(), gen())

-- String patterns.
show("find plain", string.find("a.b.c", ".", 1, true))
show("find pattern", string.find("hello world", "o w"))
show("find captures", string.find("key = value", "(%w+)%s*=%s*(%w+)"))
show("find anchor", string.find("abc", "^b"), string.find("abc", "^a"))
show("find init", string.find("abcabc", "b", 3), string.find("abc", "c", -1))
show("find empty", string.find("", ""), string.find("abc", "", 10))
show("match classes", string.match("  x1_y2 ", "^%s*([%w_]+)%s*$"))
show("match position", string.match("hello", "()ll()"))
show("match end anchor", string.match("file.txt", "%.(%a+)$"))
show("match balance", string.match("f(a(b)c) d", "%b()"))
show("match frontier", string.gsub("THE (quick) fox", "%f[%a]%a+", "W"))
show("match lazy", string.match("<a><b>", "<(.-)>"), string.match("<a><b>", "<(.*)>"))
show("match optional", string.match("-12", "^(-?)(%d+)$"))
show("match set", string.match("2024-01-05", "(%d+)[-/](%d+)[-/](%d+)"))
show("match negated", string.match("abc123", "[^%a]+"))
show("match backref", string.match('say "hi" now', "([\"'])(.-)%1"))
show("gsub count", string.gsub("hello world", "o", "0"))
show("gsub max", string.gsub("aaaa", "a", "b", 2))
show("gsub captures", string.gsub("hello world", "(%w+)", "<%1>"))
show("gsub whole", string.gsub("abc", "%w", "%0%0"))
show("gsub table", string.gsub("$name is $age", "%$(%w+)", {name = "Lua", age = 15}))
show("gsub function", string.gsub("1 2 3", "%d", function(d) return d * 2 end))
show("gsub false keeps", string.gsub("a b", "%w", function() return false end))
show("gsub anchored", string.gsub("aaa", "^a", "b"))
show("gsub empty match", string.gsub("abc", "x*", "-"))
show("gsub bad", pcall(string.gsub, "x", "(", ""))
show("gsub bad escape", pcall(string.gsub, "x", "x", "%2"))
local words = {}
for w in string.gmatch("one two  three", "%a+") do words[#words + 1] = w end
show("gmatch words", unpack(words))
local pairs_seen = {}
for k, v in string.gmatch("a=1, b=2, c=3", "(%w+)=(%w+)") do pairs_seen[#pairs_seen + 1] = k .. v end
show("gmatch pairs", table.concat(pairs_seen, ","))
show("rep sub upper", string.rep("ab", 3, nil), string.sub("hello", 2, -2), string.upper("mIx"))
show("byte char", string.byte("ABC", 1, 3), string.char(72, 105))
show("len embedded zero", string.len("a\0b"), #"a\0b")
show("format long", #string.format("%s", string.rep("x", 1000)))

-- table.sort with and without a comparator, and stability of what it keeps.
local numbers = {5, 3, 8, 1, 9, 2, 7, 4, 6, 0, 3, 5}
table.sort(numbers)
show("sort default", table.concat(numbers, " "))
table.sort(numbers, function(a, b) return a > b end)
show("sort descending", table.concat(numbers, " "))
local people = {{n = "b", a = 30}, {n = "a", a = 25}, {n = "c", a = 30}, {n = "d", a = 20}}
table.sort(people, function(x, y) if x.a ~= y.a then return x.a < y.a end return x.n < y.n end)
local order = {}
for _, p in ipairs(people) do order[#order + 1] = p.n .. p.a end
show("sort records", table.concat(order, " "))
local strings = {"banana", "Apple", "cherry", "apple", "10", "9"}
table.sort(strings)
show("sort strings", table.concat(strings, " "))
show("sort bad comparator", pcall(table.sort, {3, 2, 1, 4, 5}, function(a, b) return true end))
show("sort mixed", pcall(table.sort, {1, "x"}))
local big = {}
for i = 1, 200 do big[i] = (i * 7919) % 211 end
table.sort(big, function(a, b) return a < b end)
local sorted = true
for i = 2, #big do sorted = sorted and big[i - 1] <= big[i] end
show("sort 200", sorted, big[1], big[200])
show("insert remove", (function()
  local t = {1, 2, 3}
  table.insert(t, 4); table.insert(t, 1, 0); local r = table.remove(t, 2)
  return table.concat(t, ","), r, table.remove(t), #t
end)())

-- tostring and tonumber at the edges.
local inf, nan = 1 / 0, 0 / 0
local function unsigned(s) return (string.gsub(s, "^%-(nan)", "%1")) end
show("tostring inf", tostring(inf), tostring(-inf), unsigned(tostring(nan)), nan ~= nan)
local zero = 0
local negative_zero = -zero -- at run time: the parser folds constants
show("tostring zero", tostring(zero), tostring(negative_zero), 1 / negative_zero,
     string.format("%g %.1f", negative_zero, negative_zero), negative_zero == 0)
show("tostring big", tostring(1e308), tostring(-1e308), tostring(1e308 * 10), tostring(2^53),
     tostring(2^53 + 1), tostring(2^63), tostring(1e15), tostring(1e16), tostring(123456789012))
show("tostring small", tostring(1e-300), tostring(5e-324), tostring(0.1), tostring(1 / 3))
show("tostring ints", tostring(2147483647), tostring(-2147483648), tostring(4294967296))
show("format inf", string.format("%f %e %g", inf, -inf, inf), string.format("%5.1f|", inf))
show("format nan", unsigned(string.format("%f", nan)))
show("tonumber hex", tonumber("0x10"), tonumber("0XfF"), tonumber("  0x1F  "), tonumber("0x"))
show("tonumber base", tonumber("ff", 16), tonumber("777", 8), tonumber("z", 36), tonumber("8", 8))
show("tonumber base 2", tonumber("1111", 2), tonumber("102", 2))
show("tonumber text", tonumber("  12  "), tonumber("1e3"), tonumber("-.5"), tonumber("1e"),
     tonumber(""), tonumber("12a"), tonumber(" "), tonumber("5."))
show("tonumber edge", tonumber("1e308"), tonumber("1e309"), tonumber("-1e309"), tonumber("2e-400"))
show("tonumber inf text", tonumber("inf"), tonumber("-inf"), tonumber("infinity"))
show("tonumber nan text", tonumber("nan") ~= tonumber("nan"))
show("tonumber non-string", tonumber(nil), tonumber({}), tonumber(true), tonumber(5))
show("arith", 7 % 3, -7 % 3, 7 % -3, 5.5 % 2, 2^0.5, 10 / 4, math.floor(-3.5), math.ceil(-3.5))
show("math", math.max(1, 5, 3), math.min(2, -1), math.abs(-2), math.fmod(7, 3), math.huge,
     -math.huge, math.sqrt(16), math.pi)
show("math more", math.floor(2^31 + 0.5), math.modf(3.7), math.frexp(8), math.ldexp(1, 10))
show("string to number", "10" + 5, "3" * "4", "0x10" + 0, 10 .. 20)
show("concat number", 1.5 .. "", 1e100 .. "", -0.0 .. "")
