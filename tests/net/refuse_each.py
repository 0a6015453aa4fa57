#!/usr/bin/env python3
"""Refuses each allocation of a library in turn, one run per allocation.

    refuse_each.py [--wine] HOST... [ARG...]

HOST ends with brovane-run, whose options and script follow (as peer.py runs
it: brovane-run --lib SEAM_LIBRARY SCRIPT.lua PORTS...; or brovane-run
--lumivet SEAM_LIBRARY). The library must export the allocation seam.

A first run counts the allocations (--refuse-allocation 0); then run N
refuses the N-th. Each run must either end after the out-of-memory box with
exit status 0, or carry on to "allocation: ok" (a refusal absorbed as a
failure value) with status 0; an abort, a crash, another status or a hang
fails the sweep.

--wine: Wine itself sometimes dies in its own thread teardown as a process
ends (status -11 here). Under Wine a run whose status is not 0 still held
when its lines say that it reached its end (the seam's "[end] exit 0" after
the box, or the host's count after "allocation: ok"); it is run again, up to
5 times in all, and one of those runs must end with status 0: a failure at
every end is no accident of Wine's.
"""
import os
import re
import subprocess
import sys
import time

BOX = "[!error] \u5185\u5b58\u4e0d\u8db3"  # 内存不足, the box as a line on stderr
BOX_ENDED = "[end] exit 0"  # the seam: the library's end ran, the exit comes next
DONE = "allocation: ok"
COUNTED = "allocations"  # the host's last line before it frees the library
TRIES = 5


def text(output):
    return (output or b"").decode(errors="replace")


def run(command):
    try:
        result = subprocess.run(command, capture_output=True, timeout=60)
    except subprocess.TimeoutExpired as hung:  # what it printed says where it hung
        return "hang", text(hung.stdout), text(hung.stderr)
    return result.returncode, text(result.stdout), text(result.stderr)


def outcome(out, err):
    """'box' or 'carried on' by the printed lines, or None."""
    if DONE in out:
        return "carried on"
    return "box" if BOX in err else None


def reached_end(out, err):
    return (BOX in err and BOX_ENDED in err) or (DONE in out and COUNTED in err)


def main():
    args = sys.argv[1:]
    wine = args[:1] == ["--wine"]
    args = args[1:] if wine else args
    at = next(i for i, a in enumerate(args) if os.path.basename(a).startswith("brovane-run")) + 1

    def command(number):
        return args[:at] + ["--refuse-allocation", str(number)] + args[at:]

    def run_judged(number):
        """A run, again while Wine died after its end (see --wine); and its tries."""
        status, out, err = run(command(number))
        tries = 1
        while wine and status != 0 and reached_end(out, err) and tries < TRIES:
            tries += 1
            status, out, err = run(command(number))
        return status, out, err, tries

    started = time.monotonic()
    status, out, err, _ = run_judged(0)
    counted = re.search(r"made (\d+) allocations", err)
    if status != 0 or DONE not in out or not counted:
        print("refuse_each: the run without a refusal failed (%s):\n%s%s" % (status, out, err))
        return 1
    total = int(counted.group(1))
    outcomes = {"box": 0, "carried on": 0}
    failures = []
    tried_again = 0
    for number in range(1, total + 1):
        status, out, err, tries = run_judged(number)
        tried_again += tries - 1
        held = outcome(out, err) if status == 0 else None
        if held is None:
            failures.append("allocation %d: status %s (%d tries)\n%s%s" % (number, status, tries, out, err))
        else:
            outcomes[held] += 1
    again = ", %d runs again after a status not 0 at the end" % tried_again if wine else ""
    print("refuse_each: %d allocations; %d ended after the box, %d carried on (%.0f s%s)" %
          (total, outcomes["box"], outcomes["carried on"], time.monotonic() - started, again))
    for failure in failures:
        print("refuse_each: " + failure)
    return 1 if failures or total == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
