#!/usr/bin/env python3
"""Loopback sink for the client benchmark: accepts connections on
127.0.0.1 and reads everything they send, then runs the command given with
the sink's port and a silent port appended (the silent one accepts and
never reads nor closes)."""
import socket
import subprocess
import sys
import threading


def drain(sock):
    buffer = bytearray(1 << 20)  # reused: a fresh 1 MiB per recv made the sink the bottleneck
    try:
        while sock.recv_into(buffer):
            pass
    except OSError:
        pass
    sock.close()


def accept_loop(server):
    while True:
        sock, _ = server.accept()
        threading.Thread(target=drain, args=(sock,), daemon=True).start()


def silent_loop(server, held):
    while True:
        sock, _ = server.accept()
        held.append(sock)  # kept open, never read


def listen():
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(128)
    return server


def main():
    server, silent, held = listen(), listen(), []
    threading.Thread(target=accept_loop, args=(server,), daemon=True).start()
    threading.Thread(target=silent_loop, args=(silent, held), daemon=True).start()
    ports = [str(server.getsockname()[1]), str(silent.getsockname()[1])]
    return subprocess.run(sys.argv[1:] + ports, timeout=600).returncode


if __name__ == "__main__":
    sys.exit(main())
