#!/usr/bin/env python3
"""Hostile clients for the companion server's limits, loopback only.

  hostile.py slow  PORT CONNS INTERVAL SECONDS   hold CONNS connections, each
      sending one header line every INTERVAL s and never ending its header;
      a connection the server closes is opened again at once.
  hostile.py flood PORT CONNS MEGABYTES          CONNS connections sending
      header lines as fast as they go until MEGABYTES were sent in all;
      a connection the server closes is opened again.

Prints one summary line. Bounded in connections, bytes and time.
"""
import resource
import selectors
import socket
import sys
import time

HOST = "127.0.0.1"


def more_files(n):
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    want = n + 64 if hard == resource.RLIM_INFINITY else min(n + 64, hard)
    if soft != resource.RLIM_INFINITY and soft < want:
        resource.setrlimit(resource.RLIMIT_NOFILE, (want, hard))


def connect(port):
    s = socket.create_connection((HOST, port), timeout=5)
    s.setblocking(False)
    return s


def slow(port, conns, interval, seconds):
    more_files(conns)
    socks, cut, opened = [], 0, 0
    for _ in range(conns):
        s = connect(port)
        s.send(b"GET / HTTP/1.1\r\nHost: a\r\n")
        socks.append(s)
        opened += 1
    end = time.monotonic() + seconds
    n = 0
    while time.monotonic() < end:
        time.sleep(min(interval, max(0.0, end - time.monotonic())))
        for i, s in enumerate(socks):
            try:
                s.send(b"X-%d: %d\r\n" % (i, n))
                s.recv(65536)  # an answer means the server gave up on it
                gone = True
            except BlockingIOError:
                gone = False
            except OSError:
                gone = True
            if gone:
                cut += 1
                s.close()
                socks[i] = connect(port)
                socks[i].send(b"GET / HTTP/1.1\r\nHost: a\r\n")
                opened += 1
        n += 1
    for s in socks:
        s.close()
    print(f"slow: {conns} held for {seconds:.0f} s, a line every {interval:.0f} s; "
          f"{cut} cut off by the server, {opened} opened")


def flood(port, conns, megabytes):
    limit = megabytes << 20
    line = b"X-Flood: " + b"a" * 1014 + b"\r\n"
    block = line * 64
    sent, reopened = 0, 0
    sel = selectors.DefaultSelector()
    for _ in range(conns):
        s = connect(port)
        s.send(b"GET / HTTP/1.1\r\n")
        sel.register(s, selectors.EVENT_WRITE)
    start = time.monotonic()
    while sent < limit and time.monotonic() - start < 300:
        for key, _ in sel.select(timeout=1):
            s = key.fileobj
            try:
                sent += s.send(block)
                continue
            except BlockingIOError:
                continue
            except OSError:
                pass
            sel.unregister(s)
            s.close()
            s = connect(port)
            s.send(b"GET / HTTP/1.1\r\n")
            sel.register(s, selectors.EVENT_WRITE)
            reopened += 1
    for key in list(sel.get_map().values()):
        key.fileobj.close()
    print(f"flood: {sent >> 20} MB of header lines over {conns} connections in "
          f"{time.monotonic() - start:.1f} s, {reopened} connections closed by the server")


if __name__ == "__main__":
    mode, port = sys.argv[1], int(sys.argv[2])
    if mode == "slow":
        slow(port, min(int(sys.argv[3]), 4000), float(sys.argv[4]), min(float(sys.argv[5]), 600))
    elif mode == "flood":
        flood(port, min(int(sys.argv[3]), 64), min(int(sys.argv[4]), 4096))
    else:
        sys.exit(__doc__)
