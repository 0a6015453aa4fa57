#!/usr/bin/env python3
"""echo-peer.py PORT: a peer on 127.0.0.1 for examples/client.lua. It reads
frames (00 00, int32, C0 42, payload, ED 73) and answers each with its
payload. Ends by itself after 60 s or when the client disconnects."""
import socket
import sys

START, END = b"\xc0\x42", b"\xed\x73"

def serve(port):
    with socket.create_server(("127.0.0.1", port)) as server:
        server.settimeout(60)
        client, _ = server.accept()
        with client:
            client.settimeout(60)
            buffered = b""
            while True:
                chunk = client.recv(4096)
                if not chunk:
                    return
                buffered += chunk
                # The frame has no length field: its payload ends at the
                # first end mark after the start mark at offset 6.
                while len(buffered) >= 10 and buffered[6:8] == START:
                    end = buffered.find(END, 8)
                    if end < 0:
                        break
                    client.sendall(buffered[8:end])
                    buffered = buffered[end + 2:]

if __name__ == "__main__":
    serve(int(sys.argv[1]))
