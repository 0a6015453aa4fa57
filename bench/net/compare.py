#!/usr/bin/env python3
"""Alternated rounds of the network client beside its reference, on loopback.

    compare.py native TREE    Brovane against LuaSocket from the same Lua, idle
                              and with a core kept busy (yes >/dev/null)
    compare.py wine TREE      a Windows build under Wine against winsock-client.exe,
                              plain blocking Winsock, under the same Wine

Each round runs each client once, in turn, against the same peers (a sink
that reads everything, and answer-peer, which answers each 14-byte frame with
4 bytes); a figure is the median of its rounds, beside its minimum."""
import os
import statistics
import subprocess
import sys
import threading
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import sink  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
SCRIPT = ROOT / "bench/net/round_trip.lua"


def start_peers(native_tree):
    server, silent, held = sink.listen(), sink.listen(), []
    threading.Thread(target=sink.accept_loop, args=(server,), daemon=True).start()
    threading.Thread(target=sink.silent_loop, args=(silent, held), daemon=True).start()
    answer = subprocess.Popen([str(native_tree / "bin/answer-peer")], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE, text=True)
    ports = [server.getsockname()[1], silent.getsockname()[1], int(answer.stdout.readline())]
    return [str(p) for p in ports], answer


def figures(command):
    out = subprocess.run(command, capture_output=True, text=True, timeout=600)
    found = {}
    for line in out.stdout.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0] == "figure":
            found[parts[1]] = float(parts[2])
    if not found:
        sys.exit("compare: no figures from %s:\n%s%s" % (command[-1], out.stdout, out.stderr))
    return found


def rounds(clients, count):
    """clients: name -> command; returns name -> figure -> list of values."""
    got = {name: {} for name in clients}
    for _ in range(count):
        for name, command in clients.items():
            for figure, value in figures(command).items():
                got[name].setdefault(figure, []).append(value)
    return got


def line(label, ours, theirs, unit, goal, lower_is_better):
    m_ours, m_theirs = statistics.median(ours), statistics.median(theirs)
    ratio = m_theirs / m_ours if lower_is_better else m_ours / m_theirs
    best = min if lower_is_better else max
    print("%-30s %s %9.1f (best %9.1f)   %s %9.1f (best %9.1f) %s   ratio %.2f (goal >= %g)%s" % (
        label, "Brovane", m_ours, best(ours), "reference", m_theirs, best(theirs), unit, ratio,
        goal, "" if ratio >= goal else "  MISSED"))


def busy_core():
    return subprocess.Popen(["yes"], stdout=subprocess.DEVNULL)


def native(tree):
    ports, answer = start_peers(tree)
    run = [str(tree / "bin/brovane-run"), str(SCRIPT)]
    clients = {name: run + [name, "2000", "round-trips"] + ports for name in ("library", "luasocket")}
    for label, goal, busy in (("round trip, idle", 1.0, False),
                              ("round trip, one core busy", 0.8, True)):
        hog = busy_core() if busy else None
        try:
            got = rounds(clients, 15)
        finally:
            if hog:
                hog.kill()
        line(label + " (µs, median)", got["library"]["round_trip_us"],
             got["luasocket"]["round_trip_us"], "µs", goal, True)
    answer.stdin.close()


def wine(tree, native_tree):
    ports, answer = start_peers(native_tree)
    wine_run = [str(ROOT / "scripts/wine-run")]
    drive = lambda path: "Z:" + str(path)  # noqa: E731
    clients = {
        "library": wine_run + [str(tree / "bin/brovane-run.exe"), drive(SCRIPT), "library", "2000",
                               "all"] + ports,
        "winsock": wine_run + [str(tree / "bin/winsock-client.exe"), "2000"] + ports,
    }
    got = rounds(clients, 7)
    ours, theirs = got["library"], got["winsock"]
    line("round trip (µs)", ours["round_trip_us"], theirs["round_trip_us"], "µs", 0.9, True)
    # The library's shape without the library: what a completion port and a
    # polling thread cost under this Wine.
    line("  the same, port and poll in C", ours["round_trip_us"], theirs["port_round_trip_us"], "µs",
         0.9, True)
    # And with as many workers on the port as the engine keeps: each chunk
    # wakes one more thread than it needs under Wine.
    line("  the same, engine's workers", ours["round_trip_us"],
         theirs["port_workers_round_trip_us"], "µs", 0.9, True)
    line("4000-byte frames (frames/s)", ours["frames4000_per_s"], theirs["frames4000_per_s"], "/s",
         0.9, False)
    line("3-byte frames (frames/s)", ours["frames3_per_s"], theirs["frames3_per_s"], "/s", 5, False)
    answer.stdin.close()


def main():
    kind, tree = sys.argv[1], Path(sys.argv[2]).resolve()
    native_tree = Path(os.environ.get("NATIVE_TREE", ROOT / "build/native")).resolve()
    if kind == "native":
        native(tree)
    else:
        wine(tree, native_tree)


if __name__ == "__main__":
    main()
