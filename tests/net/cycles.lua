-- cycles.lua: 1,000 connect/send/disconnect cycles leave no thread, socket
-- or memory behind, and the peer gets every frame of each.
local t = dofile(arg[0]:match("^(.-)[^/\\]*$") .. "net_common.lua")

local function cycle(i)
  t.connect()
  t.check(send_data(i, string.rep("x", i % 100)), "cycle %d: send refused", i)
  t.check(send_data(i + 1, "y"), "cycle %d: second send refused", i)
  disconnect()
end

for i = 1, 20 do cycle(i) end  -- warm up: the allocator and the loader settle
collectgarbage("collect")
local threads, handles, memory = t.settled_threads(), host_handle_count(), t.resident_kib()
local cycles = 1000
for i = 1, cycles do cycle(i) end
collectgarbage("collect")
local after = t.threads_back_to(threads)
t.check(after == threads, "threads: %d before, %d after", threads, after)
t.check(host_handle_count() == handles, "handles: %d before, %d after", handles, host_handle_count())
if memory then
  local grown = t.resident_kib() - memory
  t.check(grown < 2048, "resident memory grew by %d KiB over %d cycles", grown, cycles)
end

-- The peer saw each connection end after both frames.
t.connect()
for _, back in ipairs({ -1, -2, -500, -1000 }) do
  local report = t.report(back)
  t.check(report.frames == 2 and report.bad == 0 and report.ended,
          "connection %d back: %d frames", -back, report.frames)
end
disconnect()
print("cycles: ok")
