-- trace_bisect.lua: trace-calls.lua as its usage line runs it (lua
-- -ltrace-calls bisect.lua); the hook goes before the host's own frames
-- return, as those differ between interpreters.
dofile("trace-calls.lua")
dofile("bisect.lua")
debug.sethook()
