-- client.lua: connect, send frames, take the echoed packets, disconnect.
-- Run: brovane-run examples/client.lua PORT   (an echo peer on 127.0.0.1:PORT)

local port = tonumber(arg[1]) or 7777

local function wait_packet(seconds)
  local deadline = os.clock() + seconds
  repeat
    local packet = get_packet()
    if packet then return packet end
  until os.clock() > deadline
  return nil
end

local function hex(bytes)
  return (bytes:gsub(".", function(c) return string.format("%02X ", c:byte()) end))
end

print("is_disconnected() before connecting: " .. tostring(is_disconnected()))
assert(connect("127.0.0.1", port), "cannot connect to 127.0.0.1:" .. port)
print("connected to 127.0.0.1:" .. port)

for number, text in ipairs({ "abc", "hello", "Brovane" }) do
  assert(send_data(number, text))
  local echoed = wait_packet(5)
  -- The frame starts with two zero bytes, so the packet text is cut there;
  -- the echo peer answers with the frame's payload alone.
  print(("sent frame %d %q, got back %s"):format(number, text, echoed and hex(echoed) or "nothing"))
end

print("is_disconnected() while connected: " .. tostring(is_disconnected()))
disconnect()
print("disconnected")
