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
ends (about 1 run in 20). A run whose printed lines held but whose status is
not 0 is run once more, and fails the sweep only if it does so again.
"""
import os
import re
import subprocess
import sys
import time

BOX = "[!error] \u5185\u5b58\u4e0d\u8db3"  # 内存不足, the box as a line on stderr
DONE = "allocation: ok"


def run(command):
    try:
        result = subprocess.run(command, capture_output=True, timeout=60)
    except subprocess.TimeoutExpired:
        return "hang", "", ""
    return result.returncode, result.stdout.decode(errors="replace"), result.stderr.decode(errors="replace")


def outcome(status, out, err):
    """'box', 'carried on', or None; and whether the lines alone held."""
    lines = "box" if BOX in err and DONE not in out else "carried on" if DONE in out else None
    return (lines if status == 0 else None), lines


def main():
    args = sys.argv[1:]
    wine = args[:1] == ["--wine"]
    args = args[1:] if wine else args
    at = next(i for i, a in enumerate(args) if os.path.basename(a).startswith("brovane-run")) + 1

    def command(number):
        return args[:at] + ["--refuse-allocation", str(number)] + args[at:]

    started = time.monotonic()
    status, out, err = run(command(0))
    counted = re.search(r"made (\d+) allocations", err)
    if status != 0 or DONE not in out or not counted:
        print("refuse_each: the run without a refusal failed (%s):\n%s%s" % (status, out, err))
        return 1
    total = int(counted.group(1))
    outcomes = {"box": 0, "carried on": 0}
    failures = []
    reruns = 0
    for number in range(1, total + 1):
        status, out, err = run(command(number))
        held, lines = outcome(status, out, err)
        if held is None and lines is not None and wine:
            reruns += 1
            status, out, err = run(command(number))
            held, _ = outcome(status, out, err)
        if held is None:
            failures.append("allocation %d: status %s\n%s%s" % (number, status, out, err))
        else:
            outcomes[held] += 1
    again = ", %d run again after a failed end" % reruns if wine else ""
    print("refuse_each: %d allocations; %d ended after the box, %d carried on (%.0f s%s)" %
          (total, outcomes["box"], outcomes["carried on"], time.monotonic() - started, again))
    for failure in failures:
        print("refuse_each: " + failure)
    return 1 if failures or total == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
