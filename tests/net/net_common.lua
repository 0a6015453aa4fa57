-- net_common.lua: helpers shared by the client's test scripts.
-- arg: peer port, a port nobody listens on, the 4464 and 8080 listeners (0: busy).
local M = {}

M.peer_port = tonumber(arg[1])
M.dead_port = tonumber(arg[2])
M.port_4464 = tonumber(arg[3]) or 0
M.port_8080 = tonumber(arg[4]) or 0
M.COMMAND = -777

function M.check(condition, message, ...)
  if not condition then error(string.format(message, ...), 2) end
end

function M.command(text) return send_data(M.COMMAND, text) end


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
  M.check(got, "no answer to %q", text)
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

function M.report(which)
  local answer = M.ask("report " .. which)
  local frames, inorder, bytes, sum, bad, ended =
    answer:match("frames (%d+) inorder (%a+) bytes (%d+) sum (%d+) bad (%d+) ended (%a+)")
  M.check(frames, "bad report %q", tostring(answer))
  return { frames = tonumber(frames), inorder = inorder == "yes", bytes = tonumber(bytes),
           sum = tonumber(sum), bad = tonumber(bad), ended = ended == "yes" }
end

return M
