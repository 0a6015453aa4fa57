-- churn.lua: 10,000 connect/send/disconnect cycles (1,000 under Wine) against a peer that
-- resets every other connection at its first data, then 10,000 refused
-- connects. No thread, handle or memory is left behind.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")
-- Bounded in time under sanitizers and under Wine, where each cycle's engine
-- start and stop (its worker threads) costs about 15 ms.
local cycles = (t.under_sanitizer() or t.on_windows()) and 1000 or 10000
local refusals = t.under_sanitizer() and 1000 or 10000

local function cycle(i)
  t.check(connect("127.0.0.1", t.flaky_port), "cycle %d: connect failed", i)
  send_data(i, "x")  -- refused once the reset has come: either is fine
  send_data(i + 1, string.rep("y", i % 200))
  disconnect()
end

local function refused(i)
  t.check(connect("127.0.0.1", t.dead_port) == false, "connect %d to a dead port succeeded", i)
  t.check(is_disconnected() == true, "connect %d: flag not set", i)
end

local function settle_and_count()
  collectgarbage("collect")
  return t.settled_threads(), host_handle_count(), t.resident_kib()
end

local function check_counts(what, threads, handles, memory)
  collectgarbage("collect")
  local now_threads, now_handles, now_memory =
      t.threads_back_to(threads), host_handle_count(), t.resident_kib()
  t.check(now_threads == threads, "%s: threads %d before, %d after", what, threads, now_threads)
  t.check(now_handles == handles, "%s: handles %d before, %d after", what, handles, now_handles)
  if memory then
    t.check(now_memory - memory < 2048, "%s: resident memory grew by %d KiB", what, now_memory - memory)
  end
end

for i = 1, 20 do cycle(i) end  -- warm up: the allocator and the loader settle
local threads, handles, memory = settle_and_count()
for i = 1, cycles do cycle(i) end
check_counts(cycles .. " cycles", threads, handles, memory)

for i = 1, 20 do refused(i) end
disconnect()
threads, handles, memory = settle_and_count()
for i = 1, refusals do refused(i) end
disconnect()
check_counts(refusals .. " refused connects", threads, handles, memory)
print("churn: ok")
