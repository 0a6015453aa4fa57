#!/usr/bin/env python3
"""Refuses each allocation of the library in turn, one run per allocation.

    refuse_each.py HOST... SCRIPT.lua [ARG...]   (as peer.py runs it)

A first run counts the allocations (brovane-run --refuse-allocation 0 with a
library that exports the seam); then run N refuses the N-th. Each run must
either end after the out-of-memory box with exit status 0 or carry the script
to its end; an abort, a crash, another status or a hang fails the sweep.
"""
import re
import subprocess
import sys

BOX = "[!error] \u5185\u5b58\u4e0d\u8db3"  # 内存不足, as the native box prints it
DONE = "allocation: ok"


def run(host, rest, number):
    command = host + ["--refuse-allocation", str(number)] + rest
    try:
        result = subprocess.run(command, capture_output=True, timeout=60)
    except subprocess.TimeoutExpired:
        return None, "", ""
    return result.returncode, result.stdout.decode(errors="replace"), result.stderr.decode(errors="replace")


def main():
    args = sys.argv[1:]
    script = next(i for i, a in enumerate(args) if a.endswith(".lua"))
    host, rest = args[:script], args[script:]
    status, out, err = run(host, rest, 0)
    counted = re.search(r"made (\d+) allocations", err)
    if status != 0 or DONE not in out or not counted:
        print("refuse_each: the run without a refusal failed (%s):\n%s%s" % (status, out, err))
        return 1
    total = int(counted.group(1))
    outcomes = {"box": 0, "carried on": 0}
    failures = []
    for number in range(1, total + 1):
        status, out, err = run(host, rest, number)
        if status == 0 and BOX in err and DONE not in out:
            outcomes["box"] += 1
        elif status == 0 and DONE in out:
            outcomes["carried on"] += 1
        else:
            failures.append("allocation %d: status %s\n%s%s" % (number, status, out, err))
    print("refuse_each: %d allocations; %d ended after the box, %d carried on" %
          (total, outcomes["box"], outcomes["carried on"]))
    for failure in failures:
        print("refuse_each: " + failure)
    return 1 if failures or total == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
