-- faults.lua: the peer ends while frames wait to go out (a reset, an orderly
-- end), or closes each connection as soon as it is made (with and without
-- disconnect() between). The flag turns true, later sends are refused, and
-- nothing is left behind.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
for i = 0, 25 do t.letter_frame(i, 1048576) end

-- peer command, what it is
local queued_ends = { { "reset_after 300", "a reset" }, { "close_after 300", "an orderly end" } }

local function end_with_frames_queued(case)
  t.connect()
  t.check(t.command(case[1]), "%s: command refused", case[2])
  local last = t.fill(1, 1000)  -- until the queue is full, or the end came
  t.check(last >= 1 and last < 1000, "%s: %d frames accepted", case[2], last)
  t.check(t.wait_flag(true, 10000) == true, "%s: flag not set", case[2])
  t.check(send_data(last + 1, "late") == false, "%s: a send accepted after the end", case[2])
  disconnect()
  t.check(is_disconnected() == true, "%s: the flag turned back", case[2])
end

local function closed_at_once(round)
  t.check(connect("127.0.0.1", t.slam_port), "round %d: connect failed", round)
  local number, deadline = 0, host_clock() + 10000
  while not is_disconnected() and host_clock() < deadline do
    number = number + 1
    send_data(number, "x")  -- accepted until the end is seen
    host_sleep(1)
  end
  t.check(is_disconnected(), "round %d: flag not set", round)
  t.check(send_data(number + 1, "late") == false, "round %d: a send accepted after the end", round)
  disconnect()
end

-- connect() to a peer that closes at once gives true: the connection was made.
-- Straight after it the flag is false, or true when the end came first; when
-- true, sends are refused already. Either way it turns true soon.
local seen_at_once, reconnects = 0, 0
local function reconnect_to_a_closing_peer(round)
  t.check(connect("127.0.0.1", t.slam_port) == true, "reconnect %d: connect gave false", round)
  local ended = is_disconnected()
  reconnects = reconnects + 1
  if ended then
    seen_at_once = seen_at_once + 1
    t.check(send_data(round, "x") == false, "reconnect %d: flag set, yet a send accepted", round)
  end
  t.check(t.wait_flag(true, 5000) == true, "reconnect %d: flag not set", round)
  t.check(send_data(round, "late") == false, "reconnect %d: a send accepted after the end", round)
end

local function all_cases()
  for _, case in ipairs(queued_ends) do end_with_frames_queued(case) end
  for round = 1, 10 do closed_at_once(round) end
  for round = 1, 60 do reconnect_to_a_closing_peer(round) end  -- no disconnect() between
  disconnect()
end

all_cases()  -- the allocator reaches its high-water mark here
collectgarbage("collect")
local threads, handles, memory = t.settled_threads(), host_handle_count(), t.resident_kib()
for _ = 1, 3 do all_cases() end
collectgarbage("collect")
local after = t.threads_back_to(threads)
t.check(after == threads, "threads: %d before, %d after", threads, after)
t.check(host_handle_count() == handles, "handles: %d before, %d after", handles, host_handle_count())
if memory then
  local grown = t.resident_kib() - memory
  t.check(grown < 4096, "resident memory grew by %d KiB", grown)
end
print(string.format("faults: %d connects to a peer that closes at once, its end seen at once in %d",
                    reconnects, seen_at_once))
print("faults: ok")
