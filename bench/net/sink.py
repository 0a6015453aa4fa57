#!/usr/bin/env python3
"""Loopback sink for the client benchmark: accepts connections on
127.0.0.1 and reads everything they send, then runs the command given with
the sink's port appended."""
import socket
import subprocess
import sys
import threading


def drain(sock):
    try:
        while sock.recv(1 << 20):
            pass
    except OSError:
        pass
    sock.close()


def accept_loop(server):
    while True:
        sock, _ = server.accept()
        threading.Thread(target=drain, args=(sock,), daemon=True).start()


def main():
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(128)
    threading.Thread(target=accept_loop, args=(server,), daemon=True).start()
    port = str(server.getsockname()[1])
    return subprocess.run(sys.argv[1:] + [port], timeout=600).returncode


if __name__ == "__main__":
    sys.exit(main())
