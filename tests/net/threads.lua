-- threads.lua: run by brovane-run --threads 4, in four Lua states at once.
-- Every state splits, counts, ciphers and reads the machine code on texts of
-- its own and checks each result against plain Lua; state 1 also connects,
-- sends and disconnects while the others send command frames on the same
-- connection and poll the flag. The peer must get every frame whole.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
local me, rounds = host_thread, 3000
local key = "key of state " .. me

local function fields_of(line)  -- the oracle: plain Lua, no GBK in these texts
  local fields = {}
  for field in (line .. ","):gmatch("([^,]*),") do fields[#fields + 1] = field end
  return fields
end

local function check_text_exports(round)
  local line = string.format("s%d,r%d,%s,x%d", me, round, string.rep("y", round % 50), round * me)
  local fields = fields_of(line)
  t.check(member_count(line, ",") == #fields, "state %d: member_count of %q", me, line)
  local n = round % #fields + 1
  t.check(split_text(line, ",", n) == fields[n], "state %d: field %d of %q", me, n, line)
  t.check(subroutine1(line, ",", n) == fields[n], "state %d: subroutine1 of %q", me, line)
  local cipher = encrypt(line, key)
  t.check(#cipher == 16 + 2 * #line, "state %d: cipher text of %q", me, line)
  t.check(decrypt(cipher, key) == line, "state %d: round trip of %q", me, line)
end

local first_code = machine_code()
t.check(first_code:match("^%x+%-%x+%-%x+%-%x+$"), "machine code %q", first_code)

local sent = 0  -- state 1: data frames on the current connection
local function cycle_connection(round)
  if round > 1 then
    disconnect()
    t.connect()
    local report = t.report(-1)
    t.check(report.frames == sent and report.inorder and report.bad == 0,
            "%d frames sent, the peer got %d (in order %s, %d bad)", sent, report.frames,
            tostring(report.inorder), report.bad)
  else
    t.connect()
  end
  sent = 0
end

for round = 1, rounds do
  check_text_exports(round)
  t.check(machine_code() == first_code, "state %d: machine code changed", me)
  if me == 1 then
    if round % 1000 == 1 then cycle_connection(round) end
    t.check(send_data(round, "frame of round " .. round), "round %d: send refused", round)
    sent = sent + 1
  else
    t.check(type(is_disconnected()) == "boolean", "is_disconnected")
    send_data(t.COMMAND, "none")  -- refused while state 1 reconnects: either is fine
  end
end
if me == 1 then cycle_connection(rounds + 1); disconnect() end
print(string.format("threads: state %d ok", me))
