-- split_test.lua: E_分割文本, 子程序1 and E_取成员数 through the real library.

local function check(got, want, what)
  if got ~= want then
    error(string.format("%s: got %s, want %s", what, tostring(got), tostring(want)), 2)
  end
end

local function quoted(...)
  local parts = {}
  for i = 1, select("#", ...) do parts[i] = string.format("%q", tostring((select(i, ...)))) end
  return table.concat(parts, ", ")
end

-- member_count(text, separator)
local counts = {
  {"a,b,c", ",", 3}, {"a,,b", ",", 3}, {",a", ",", 2}, {"a,", ",", 1}, {",", ",", 1},
  {"a,b,", ",", 2}, {"abc", ",", 0}, {"", ",", 0}, {"abc", "", 0}, {"a", "ab", 0},
  {"aaa", "aa", 2}, {"a--b--c", "--", 3}, {",,,", ",", 3},
  {"\129|", "|", 0},             -- 81 7C: the trail byte is no separator
  {"\129||A", "|", 2},           -- 81 7C 7C 41: fields 81 7C and A
  {"\163\172a\163\172b", "\163\172", 3},  -- a two-byte separator (，)
  {"\172\163\172", "\163\172", 0},        -- AC A3 AC: A3 AC straddles two characters
  {"\130\129", "\129", 0},       -- 82 81: a trail byte equal to a high separator
  {"x\129", "\129", 1},          -- at a character boundary a high byte matches
}
for _, case in ipairs(counts) do
  check(member_count(case[1], case[2]), case[3], "member_count(" .. quoted(case[1], case[2]) .. ")")
end

-- split_text(text, separator, number) and its twin subroutine1
local picks = {
  {"a,b,c", ",", 1, "a"}, {"a,b,c", ",", 2, "b"}, {"a,b,c", ",", 3, "c"},
  {"a,b,c", ",", 4, false}, {"a,b,c", ",", 0, false}, {"a,b,c", ",", -1, false},
  {"a,b,c", ",", 2.9, "b"}, {"a,b,c", ",", 3.00000005, "c"}, {"a,b,c", ",", 3.001, false},
  {"a,b,c", ",", "2", "b"}, {"a,b,c", ",", "\163\178", "b"}, {"a,b,c", ",", "x", false},
  {"a,b,c", ",", "2x", "b"}, {"abc", ",", 1, false}, {",a", ",", 1, ""}, {",a", ",", 2, "a"},
  {"a--b--c", "--", 2, "b"}, {"aaa", "aa", 1, ""}, {"aaa", "aa", 2, "a"},
  {"\129||A", "|", 1, "\129|"}, {"\129||A", "|", 2, "A"},
  {"a,b,c", ",", 2.5, "b"}, {"a,b", ",", 2.5, false},  -- 2.5 needs a third field
  -- tolerance edges
  {"a,b,c", ",", 1 - 0.00000005, false},  -- passes the lower check, names field 0
  {"a,b,c", ",", 1 - 0.0000002, false},
  {"a,b,c", ",", 0.9999999, false},
  {"a,b,c", ",", 3.00000009, "c"}, {"a,b,c", ",", 3.0000002, false},
  -- the number rule: decimal only, white space, sign, exponent, full-width forms
  {"a,b,c", ",", " \t2", "b"}, {"a,b,c", ",", "+2", "b"}, {"a,b,c", ",", "2e0", "b"},
  {"a,b,c", ",", "0.2E1", "b"}, {"a,b,c", ",", "20e-1", "b"}, {"a,b,c", ",", ".3e1", "c"},
  {"a,b,c", ",", "2.", "b"}, {"a,b,c", ",", "2e", "b"}, {"a,b,c", ",", "2e+", "b"},
  {"a,b,c", ",", "0x2", false}, {"a,b,c", ",", "0x10", false}, {"a,b,c", ",", "inf", false},
  {"a,b,c", ",", "nan", false}, {"a,b,c", ",", "infinity", false}, {"a,b,c", ",", "1e999", false},
  {"a,b,c", ",", "-1e999", false}, {"a,b,c", ",", "1e-999", false}, {"a,b,c", ",", "2,5", "b"},
  {"a,b,c", ",", "", false}, {"a,b,c", ",", ".", false}, {"a,b,c", ",", "-", false},
  {"a,b,c", ",", "\163\179", "c"},                        -- full-width 3
  {"a,b,c", ",", "\163\174\163\179\163\197\163\177", "c"},  -- full-width .3E1
  {"a,b,c", ",", "\163\173\163\177", false},              -- full-width -1
  {"a,b,c", ",", "\163\177\163\176", false},              -- full-width 10
  {"a,b,c", ",", "\163\178\163\174\163\185", "b"},        -- full-width 2.9
  {"a,b,c", ",", "\161\161" .. "2", false},               -- full-width space is no space
}
for _, case in ipairs(picks) do
  local what = "(" .. quoted(case[1], case[2], case[3]) .. ")"
  check(split_text(case[1], case[2], case[3]), case[4], "split_text" .. what)
  check(subroutine1(case[1], case[2], case[3]), case[4], "subroutine1" .. what)
end

-- The GBK names are the same functions as the aliases.
check(_G["E_\183\214\184\238\206\196\177\190"]("x;y", ";", 2), "y", "E_分割文本")
check(_G["\215\211\179\204\208\242\049"]("x;y", ";", 2), "y", "子程序1")
check(_G["E_\200\161\179\201\212\177\202\253"]("x;y", ";"), 2, "E_取成员数")

-- More arguments than read: the top values are used.
check(split_text("ignored", "p|q|r", "|", 3), "r", "split_text with four arguments")
check(subroutine1(1, 2, "p|q|r", "|", 2), "q", "subroutine1 with five arguments")
check(member_count("ignored", "p|q", "|"), 2, "member_count with three arguments")
-- Fewer: the missing ones are missing values, never the caller's values.
local text, separator = "a,b,c", ","
check(split_text(separator, 1), false, "split_text with two arguments")
check(member_count(text), 0, "member_count with one argument")
check(member_count(), 0, "member_count without arguments")

-- Numbers where texts are read arrive in Lua's text form.
check(member_count(10203, 0), 3, "member_count of numbers")
check(split_text(10203, 0, 2), "2", "split_text of numbers")

-- A field number held as a number gives what its text form gives, also
-- where that form rounds (2.9999999999999996 and 3.000000000000001 print as
-- 3) and at the tolerances.
local numbers = {
  0, -0, 1, 2, 3, 4, 5, -1, 2.5, 0.9999999999999999, 1 - 0.00000005, 1 - 0.0000001,
  1 - 0.00000011, 2.9999999999999996, 3.000000000000001, 3 - 1e-15, 3.0000000999999, 3.0000001,
  3.00000010000001, 3.9999999999999996, 99999999999999, 1e14, 123456789012345, 2 ^ 53, 2 ^ 53 + 2,
  1e300, -1e300, 1 / 0, -1 / 0, 0 / 0, 1e-300,
}
for _, text in ipairs({"a,b,c", "a,b,c,", ",a,b", "a"}) do
  for _, n in ipairs(numbers) do
    local what = "(" .. quoted(text, ",", n) .. ")"
    check(split_text(text, ",", n), split_text(text, ",", tostring(n)), "split_text" .. what)
    check(subroutine1(text, ",", n), split_text(text, ",", tostring(n)), "subroutine1" .. what)
  end
end
check(split_text("a,b,c", ",", 2.9999999999999996), "c", "a number that prints as 3")
check(split_text("a,b,c,d", ",", 3.000000000000001), "c", "a number just above 3")

-- A long text: fields far from the start, and a count on the whole.
local pieces = {}
for i = 1, 100000 do pieces[i] = tostring(i) end
local long = table.concat(pieces, ";")
check(member_count(long, ";"), 100000, "member_count of 100000 fields")
check(split_text(long, ";", 50000), "50000", "split_text of a middle field")
check(split_text(long, ";", 100000), "100000", "split_text of the last field")
check(split_text(long, ";", 100001), false, "split_text past the last field")
print("split_test: ok")
