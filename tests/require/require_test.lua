-- require_test.lua: `require "brovane"` in a stock interpreter, started in
-- the folder that holds brovane.lua and the library, by tests/net/peer.py:
-- arg[1] is the peer's port. Prints "require: ok" at its end.
local function check(condition, message, ...)
  if not condition then error(string.format(message, ...), 2) end
end

local brovane = require "brovane"
check(require "brovane" == brovane, "a second require gave another table")
local names = {}
for name in pairs(brovane) do names[#names + 1] = name end
table.sort(names)
check(table.concat(names, " ") == "connect decrypt disconnect encrypt get_packet "
      .. "is_disconnected machine_code member_count send_data split_text subroutine1",
      "module holds %s", table.concat(names, " "))

-- Splitting, GBK-aware: the second byte of 中 (D6 D0) is no separator here.
local text = "\214\208,b|x,c"
check(brovane.member_count(text, ",") == 3, "member_count")
check(brovane.split_text(text, ",", 1) == "\214\208", "split_text field 1")
check(brovane.subroutine1(text, ",", 3) == "c", "subroutine1 field 3")
check(brovane.split_text(text, ",", 4) == false, "split_text past the end")

-- The cipher, round trip: 16 hex digits of salt, then two a byte.
local secret, key = "\214\208\206\196 text", "key"
local cipher = brovane.encrypt(secret, key)
check(type(cipher) == "string" and cipher:match("^%x+$") and #cipher == 16 + 2 * #secret,
      "encrypt gave %s", tostring(cipher))
check(brovane.decrypt(cipher, key) == secret, "decrypt did not give the text back")
check(brovane.machine_code():match("^%x+%-%x+%-%x+%-%x+$"), "machine_code")

-- The client against the peer: a data frame arrives whole (the peer's
-- report), and text the peer is told to send comes back as a packet.
local COMMAND = -777  -- the peer's command frames
local function take()  -- polls: a stock interpreter has no sleep
  local deadline = os.time() + 20
  repeat
    local packet = brovane.get_packet()
    if packet then return packet end
  until os.time() > deadline
end
local function ask(line)
  check(brovane.send_data(COMMAND, line), "command %q not sent", line)
  return take()
end

local port = tonumber(arg[1])
check(brovane.is_disconnected() == false, "disconnected before connecting")
check(brovane.connect("127.0.0.1", port) == true, "connect to port %s", tostring(port))
local payload = "frame \214\208"
check(brovane.send_data(7, payload), "send_data refused")
local sum = 0
for i = 1, #payload do sum = sum + payload:byte(i) end
local report = ask("report 0")
check(report and report:match("^frames 1 inorder yes bytes " .. #payload .. " sum " .. sum .. " "),
      "peer reported %s", tostring(report))
local echo = payload:gsub(".", function(c) return string.format("%02x", c:byte()) end)
check(ask("send " .. echo) == payload, "echo differs")
check(select("#", brovane.disconnect()) == 0, "disconnect returned a value")

-- A library that is not there, and a file that is no library: the error
-- names what was tried and what the loader said.
package.loaded.brovane = nil
local saved = package.cpath
package.cpath = "./no-such-folder/?.x;./neither/?.y"
local ok, message = pcall(require, "brovane")
check(not ok and message:find("./no-such-folder/Brovane.x", 1, true)
      and message:find("./neither/Brovane.y", 1, true), "not found: %s", tostring(message))
local script = arg[0]
local _, loader_message = package.loadlib(script, "x")
package.cpath = script
package.loaded.brovane = nil
ok, message = pcall(require, "brovane")
check(not ok and message:find(script, 1, true) and message:find(loader_message, 1, true),
      "not a library: %s", tostring(message))
package.cpath = saved
print("require: ok")
