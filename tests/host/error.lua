-- Raises an error.
error("raised on purpose")
