#!/usr/bin/env python3
"""Client and server ends of the traffic that make-captures.sh records.

  exchange.py serve-tcp PORT DELAY_MS ANSWER_BYTES REQUEST_BYTES
  exchange.py serve-udp PORT DELAY_MS ANSWER_BYTES COUNT
  exchange.py ask-tcp HOST PORT COUNT REQUEST_BYTES ANSWER_BYTES SIGNAL_DIR
  exchange.py ask-udp HOST PORT COUNT REQUEST_BYTES ANSWER_BYTES SIGNAL_DIR
  exchange.py sink-tcp PORT RCVBUF
  exchange.py upload-tcp HOST PORT TOTAL_BYTES SNDBUF

The servers answer every request after DELAY_MS milliseconds. The asking clients connect,
then wait for the file SIGNAL_DIR/go before the first request, write SIGNAL_DIR/done after
the last answer and (TCP) close only once SIGNAL_DIR/close exists, so that a capture
started and stopped around them holds the request/answer exchange alone.
"""
import os
import socket
import sys
import time


def wait_for(path, timeout=30.0):
    end = time.monotonic() + timeout
    while not os.path.exists(path):
        if time.monotonic() > end:
            sys.exit(f"timed out waiting for {path}")
        time.sleep(0.01)


def touch(path):
    with open(path, "w"):
        pass


def wait_exactly(delay_ms):
    """Waits delay_ms milliseconds: sleeps for all but the last one and spins then, so that
    the answer leaves at the delay and not a scheduler tick later."""
    deadline = time.perf_counter() + delay_ms / 1000.0
    time.sleep(max(0.0, delay_ms - 1.0) / 1000.0)
    while time.perf_counter() < deadline:
        pass


def receive_exactly(sock, count):
    data = b""
    while len(data) < count:
        chunk = sock.recv(count - len(data))
        if not chunk:
            return None
        data += chunk
    return data


def serve_tcp(port, delay_ms, answer_bytes, request_bytes):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("", port))
    listener.listen(1)
    conn, _ = listener.accept()
    conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    answer = b"A" * answer_bytes
    while receive_exactly(conn, request_bytes) is not None:
        wait_exactly(delay_ms)
        conn.sendall(answer)
    conn.close()


def serve_udp(port, delay_ms, answer_bytes, count):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("", port))
    answer = b"a" * answer_bytes
    for _ in range(count):
        _, peer = sock.recvfrom(65535)
        wait_exactly(delay_ms)
        sock.sendto(answer, peer)


def connect(kind, host, port, timeout=10.0):
    """A socket connected to the server, trying again while the server is not listening yet.
    (A connected UDP socket numbers its datagrams' IP ids one by one, as TCP does.)"""
    end = time.monotonic() + timeout
    while True:
        sock = socket.socket(socket.AF_INET, kind)
        try:
            sock.connect((host, port))
            return sock
        except ConnectionRefusedError:
            sock.close()
            if time.monotonic() > end:
                raise
            time.sleep(0.05)


def ask(kind, host, port, count, request_bytes, answer_bytes, signal_dir):
    sock = connect(socket.SOCK_STREAM if kind == "tcp" else socket.SOCK_DGRAM, host, port)
    if kind == "tcp":
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    touch(os.path.join(signal_dir, "connected"))
    wait_for(os.path.join(signal_dir, "go"))
    request = b"r" * request_bytes
    for _ in range(count):
        sock.send(request)
        if kind == "tcp":
            if receive_exactly(sock, answer_bytes) is None:
                sys.exit("server closed early")
        else:
            sock.recv(65535)
    touch(os.path.join(signal_dir, "done"))
    if kind == "tcp":
        wait_for(os.path.join(signal_dir, "close"))
    sock.close()


def sink_tcp(port, rcvbuf):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    # Set before listen so that the window offered in the handshake is already small.
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
    listener.bind(("", port))
    listener.listen(1)
    conn, _ = listener.accept()
    total = 0
    while True:
        chunk = conn.recv(65536)
        if not chunk:
            break
        total += len(chunk)
    conn.close()
    print(f"received {total} bytes")


def upload_tcp(host, port, total_bytes, sndbuf):
    sock = connect(socket.SOCK_STREAM, host, port)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, sndbuf)
    block = b"u" * 65536
    left = total_bytes
    while left > 0:
        sent = sock.send(block[: min(left, len(block))])
        left -= sent
    sock.shutdown(socket.SHUT_WR)
    sock.recv(1)
    sock.close()


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    role, args = argv[1], argv[2:]
    if role == "serve-tcp":
        serve_tcp(int(args[0]), float(args[1]), int(args[2]), int(args[3]))
    elif role == "serve-udp":
        serve_udp(int(args[0]), float(args[1]), int(args[2]), int(args[3]))
    elif role in ("ask-tcp", "ask-udp"):
        ask(role[4:], args[0], int(args[1]), int(args[2]), int(args[3]), int(args[4]), args[5])
    elif role == "sink-tcp":
        sink_tcp(int(args[0]), int(args[1]))
    elif role == "upload-tcp":
        upload_tcp(args[0], int(args[1]), int(args[2]), int(args[3]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
