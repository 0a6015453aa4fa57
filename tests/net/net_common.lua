-- net_common.lua: helpers shared by the client's test scripts.
-- arg: peer port, a port nobody listens on, the 4464 and 8080 listeners (0: busy),
-- a listener that closes each connection at once, one that resets every odd one.
local M = {}

M.peer_port = tonumber(arg[1])
M.dead_port = tonumber(arg[2])
M.port_4464 = tonumber(arg[3]) or 0
M.port_8080 = tonumber(arg[4]) or 0
M.slam_port = tonumber(arg[5])
M.flaky_port = tonumber(arg[6])
M.MAX_UNSENT_KIB = 16 * 1024  -- the library's bound on unsent bytes per connection
M.COMMAND = -777

function M.check(condition, message, ...)
  if not condition then error(string.format(message, ...), 2) end
end

function M.command(text) return send_data(M.COMMAND, text) end

-- Thread counts after 断开连接. A stop that finds the machine too busy to run
-- its idle workers in time leaves them to end a moment later, as they may:
-- the count is read once it has settled, and compared once it is back.
function M.settled_threads()
  local last, same = host_thread_count(), 0
  while same < 5 do
    host_sleep(20)
    local now = host_thread_count()
    same = now == last and same + 1 or 0
    last = now
  end
  return last
end

function M.threads_back_to(before)
  local deadline, now = host_clock() + 5000, host_thread_count()
  while now ~= before and host_clock() < deadline do
    host_sleep(20)
    now = host_thread_count()
  end
  return now
end


-- Like wait_packet, but keeps what get_packet returned (a string or nil).
function M.take(ms)
  local deadline = host_clock() + (ms or 5000)
  repeat
    local results = { n = 0 }
    local function keep(...) results.n = select("#", ...); results[1] = ... end
    keep(get_packet())
    if results.n > 0 then return true, results[1] end
    host_sleep(2)
  until host_clock() > deadline
  return false
end

-- Sends a command and waits for the peer's text answer.
function M.ask(text, ms)
  while M.take(0) do end  -- nothing stale
  M.check(M.command(text), "command %q not sent", text)
  local got, answer = M.take(ms or 10000)
  M.check(got, "no answer to %q (disconnected: %s)", text, tostring(is_disconnected()))
  return answer
end

function M.connect()
  M.check(connect("127.0.0.1", M.peer_port) == true, "connect to the peer failed")
end

-- Waits until is_disconnected() reports want, up to ms.
function M.wait_flag(want, ms)
  local deadline = host_clock() + (ms or 5000)
  while is_disconnected() ~= want and host_clock() < deadline do host_sleep(5) end
  return is_disconnected()
end

function M.under_sanitizer()  -- its shadow memory grows on its own; so does valgrind's
  local maps = io.open("/proc/self/maps")
  local text = maps and maps:read("*a") or ""
  if maps then maps:close() end
  return text:find("libtsan") or text:find("libasan") or text:find("vgpreload")
end

function M.on_windows() return package.config:sub(1, 1) == "\\" end

-- Resident memory in KiB, nil where it is unknown or means nothing.
function M.resident_kib()
  if M.under_sanitizer() then return nil end
  return host_resident_kib()
end

-- Frames of the letter 65 + number % 26, as the peer's report checks them.
local letters = {}
function M.letter_frame(number, size)
  local key = (number % 26) .. ":" .. size
  if not letters[key] then letters[key] = string.rep(string.char(65 + number % 26), size) end
  return letters[key]
end

-- Sends 1 MiB frames numbered from first on until one is refused (at most
-- limit); returns the number of the last frame accepted.
function M.fill(first, limit)
  local number = first - 1
  while number - first + 1 < limit and send_data(number + 1, M.letter_frame(number + 1, 1048576)) do
    number = number + 1
  end
  return number
end

function M.report(which)
  local answer = M.ask("report " .. which)
  local frames, inorder, bytes, sum, bad, ended, odd = answer:match(
    "frames (%d+) inorder (%a+) bytes (%d+) sum (%d+) bad (%d+) ended (%a+) odd (%d+)")
  M.check(frames, "bad report %q", tostring(answer))
  return { frames = tonumber(frames), inorder = inorder == "yes", bytes = tonumber(bytes),
           sum = tonumber(sum), bad = tonumber(bad), ended = ended == "yes",
           odd = tonumber(odd) }
end

return M
