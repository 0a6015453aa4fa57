-- Runs to its end.
assert(arg[0]:match("ok%.lua$"))
assert(arg[1] == "one")
