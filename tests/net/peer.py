#!/usr/bin/env python3
"""Test peer for the network client, on 127.0.0.1 only.

Records every byte each connection sends, reads the client's frames
(00 00, int32 LE, C0 42, payload, ED 73) and obeys command frames whose
number is COMMAND; everything else is data. Replies are ASCII text.

    peer.py RUNNER... SCRIPT.lua  starts the peer, then runs
    RUNNER... SCRIPT.lua PEER_PORT DEAD_PORT PORT_4464 PORT_8080 SLAM_PORT FLAKY_PORT
(4464 and 8080 are 0 when those ports are busy). SLAM_PORT accepts and closes
at once; FLAKY_PORT resets every odd connection at its first data and serves
the others like PEER_PORT. After the script, connections told "expect N"
must have ended after exactly N data frames.
"""
import socket
import struct
import subprocess
import sys
import threading
import time

COMMAND = -777  # never a data frame number in the tests
LEAD, START, END = b"\x00\x00", b"\xc0\x42", b"\xed\x73"


class Connection:
    def __init__(self, number, sock, listen_port):
        self.number = number
        self.sock = sock
        self.listen_port = listen_port
        self.received = bytearray()
        self.ended = threading.Event()
        self.parsed = 0  # bytes of received already cut into frames
        self.scanned = 0  # no end mark before this offset of the frame being cut
        self.frames = []  # (number, payload)
        self.bad_frames = 0
        self.expected_frames = None  # checked when the script has ended


class Peer:
    def __init__(self):
        self.lock = threading.Lock()
        self.connections = []
        self.listeners = []

    def listen(self, port, mode="serve"):
        server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            server.bind(("127.0.0.1", port))
        except OSError:
            server.close()
            return 0
        server.listen(64)
        self.listeners.append(server)
        threading.Thread(target=self.accept_loop, args=(server, mode), daemon=True).start()
        return server.getsockname()[1]

    def accept_loop(self, server, mode):
        port = server.getsockname()[1]
        accepted = 0
        while True:
            try:
                sock, _ = server.accept()
            except OSError:
                return
            accepted += 1
            if mode == "slam":  # accepts and closes at once, reading nothing
                sock.close()
                continue
            if mode == "flaky" and accepted % 2 == 1:
                threading.Thread(target=reset_at_first_data, args=(sock,), daemon=True).start()
                continue
            with self.lock:
                conn = Connection(len(self.connections) + 1, sock, port)
                self.connections.append(conn)
            threading.Thread(target=self.serve, args=(conn,), daemon=True).start()

    def serve(self, conn):
        try:
            while True:
                data = conn.sock.recv(65536)
                if not data:
                    break
                with self.lock:
                    conn.received += data
                for number, payload in self.cut_frames(conn):
                    if number == COMMAND:
                        self.obey(conn, payload.decode("latin-1"))
        except OSError:
            pass
        conn.ended.set()
        try:
            conn.sock.close()  # our end answers the client's
        except OSError:
            pass

    def cut_frames(self, conn):
        found = []
        with self.lock:
            buf = conn.received
            while True:
                # where the last search ended: a long frame is not searched again and again
                end = buf.find(END, max(conn.parsed + 8, conn.scanned))
                if end < 0 or len(buf) - conn.parsed < 10:
                    conn.scanned = max(conn.parsed + 8, len(buf) - 1)
                    break
                frame = bytes(buf[conn.parsed:end + 2])
                if frame[:2] != LEAD or frame[6:8] != START:
                    conn.bad_frames += 1
                number = struct.unpack("<i", frame[2:6])[0]
                conn.frames.append((number, frame[8:-2]))
                found.append((number, frame[8:-2]))
                conn.parsed = end + 2
        return found

    def find(self, conn, which):
        index = int(which)
        with self.lock:
            target = self.connections[conn.number - 1 + index] if index <= 0 else self.connections[index - 1]
        if target is not conn and not target.ended.wait(10):
            print("peer: connection %d not ended 10 s after connection %d asked" % (
                target.number, conn.number), file=sys.stderr)
        return target

    def obey(self, conn, line):
        words = line.split() or ["none"]
        verb, args = words[0], words[1:]
        sock = conn.sock
        if verb == "send":  # send HEX [HEX...]: one write each, 150 ms apart
            for i, chunk in enumerate(args):
                if i:
                    time.sleep(0.15)
                sock.sendall(bytes.fromhex(chunk))
        elif verb == "burst":  # burst N: N bytes of a pattern in one write
            count = int(args[0])
            sock.sendall(bytes((65 + i % 26) for i in range(count)))
        elif verb == "stream":  # stream N SIZE: N chunks as fast as possible
            for i in range(int(args[0])):
                sock.sendall(bytes([65 + i % 26]) * int(args[1]))
        elif verb == "pause":  # pause MS: stop reading for a while
            time.sleep(int(args[0]) / 1000.0)
        elif verb == "paced":  # paced N SIZE MS: N chunks of letters, MS apart
            for i in range(int(args[0])):
                if i:
                    time.sleep(int(args[2]) / 1000.0)
                sock.sendall(bytes([65 + i % 26]) * int(args[1]))
        elif verb == "close":  # orderly end
            sock.shutdown(socket.SHUT_WR)
        elif verb == "reset":  # abortive end: RST
            reset(sock)
        elif verb == "close_after":  # close_after MS: reads nothing meanwhile, then ends in order
            time.sleep(int(args[0]) / 1000.0)
            sock.shutdown(socket.SHUT_WR)
        elif verb == "reset_after":  # reset_after MS: reads nothing meanwhile, then resets
            time.sleep(int(args[0]) / 1000.0)
            reset(sock)
        elif verb == "whoami":
            sock.sendall(("port %d conn %d" % (conn.listen_port, conn.number)).encode())
        elif verb == "report":  # report WHICH: what that connection sent, once it ended
            self.report(conn, self.find(conn, args[0]), args[1:])
        elif verb == "hex":  # hex WHICH: its first bytes, in hex
            target = self.find(conn, args[0])
            with self.lock:
                sock.sendall(bytes(target.received[:1000]).hex().encode() or b"none")
        elif verb == "expect":  # expect N: N data frames before this connection's end
            conn.expected_frames = int(args[0])
        elif verb == "count":
            with self.lock:
                sock.sendall(("connections %d" % len(self.connections)).encode())

    def unmet_expectations(self):
        unmet = []
        for conn in list(self.connections):
            if conn.expected_frames is None:
                continue
            ended = conn.ended.wait(10)
            with self.lock:
                got = len([n for n, _ in conn.frames if n != COMMAND])
            if not ended or got != conn.expected_frames or conn.bad_frames:
                unmet.append("connection %d: %d of %d frames, ended %s" % (
                    conn.number, got, conn.expected_frames, ended))
        return unmet

    def report(self, conn, target, _):
        with self.lock:
            data = [(n, p) for n, p in target.frames if n != COMMAND]
            numbers = [n for n, _ in data]
            in_order = numbers == list(range(numbers[0] if numbers else 1, (numbers[0] if numbers else 1) + len(numbers)))
            if not in_order:
                first = next(i for i, n in enumerate(numbers) if n != i + 1)
                print("peer: connection %d frame %d has number %d" % (
                    target.number, first + 1, numbers[first]), file=sys.stderr)
            total = sum(len(p) for _, p in data)
            # frames whose payload is not all of the letter 65 + number % 26
            odd = sum(1 for n, p in data if p.strip(bytes([65 + n % 26])))
            checksum = sum(sum(p) for _, p in data) % 1000000007
            text = "frames %d inorder %s bytes %d sum %d bad %d ended %s odd %d" % (
                len(data), "yes" if in_order else "no", total, checksum,
                target.bad_frames, "yes" if target.ended.is_set() else "no", odd)
        conn.sock.sendall(text.encode())
        print("peer: to connection %d, connection %d's report" % (conn.number, target.number),
              file=sys.stderr)


def reset(sock):
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    sock.close()


def reset_at_first_data(sock):
    try:
        sock.settimeout(10)
        sock.recv(65536)
        reset(sock)
    except OSError:
        sock.close()


def dead_port():
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


def main():
    runner = sys.argv[1:]
    peer = Peer()
    port = peer.listen(0)
    extra = [str(peer.listen(4464)), str(peer.listen(8080)),
             str(peer.listen(0, "slam")), str(peer.listen(0, "flaky"))]
    command = runner + [str(port), str(dead_port())] + extra
    try:
        result = subprocess.run(command, timeout=600)  # ctest bounds each test more tightly
    except subprocess.TimeoutExpired:
        print("peer: the script timed out", file=sys.stderr)
        return 1
    if result.returncode != 0:
        return result.returncode
    unmet = peer.unmet_expectations()  # what the client owed after the script
    for line in unmet:
        print("peer: " + line, file=sys.stderr)
    return 1 if unmet else 0


if __name__ == "__main__":
    sys.exit(main())
