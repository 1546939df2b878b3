#!/usr/bin/env python3
"""delay_link.py CONFIG: a point-to-point link between two TUN devices that sit in two network
namespaces, carrying IPv4 packets both ways after a delay, with jitter and loss.

CONFIG holds key=value lines (# starts a comment):
  ns_a, ns_b       the namespaces (names under /run/netns)
  dev_a, dev_b     the TUN devices already made in them (ip tuntap add dev NAME mode tun)
  delay_ms         one-way delay (default 10)
  jitter_ms        each packet's delay varies by up to this much either way (default 0); packets
                   of one direction never overtake each other, as on a real line
  loss             the share of packets dropped, 0..1 (default 0)
  lifetime_s       the forwarder exits after this long whatever happens (default 300)
  seed             for the jitter and loss draws (default: random)
The file is read again when it changes, so a test can change the link while it runs. At most
10,000 packets wait at once; more are dropped, as a full queue would.
"""
import ctypes
import fcntl
import heapq
import os
import random
import select
import struct
import sys
import time

TUNSETIFF = 0x400454CA
IFF_TUN, IFF_NO_PI = 0x0001, 0x1000
CLONE_NEWNET = 0x40000000
MAX_QUEUED = 10000


def read_config(path):
    config = {"delay_ms": 10.0, "jitter_ms": 0.0, "loss": 0.0, "lifetime_s": 300.0, "seed": None}
    with open(path, encoding="ascii") as lines:
        for line in lines:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            key, _, value = line.partition("=")
            key, value = key.strip(), value.strip()
            config[key] = value if key in ("ns_a", "ns_b", "dev_a", "dev_b") else float(value)
    config["lifetime_s"] = min(max(config["lifetime_s"], 1.0), 3600.0)
    config["loss"] = min(max(config["loss"], 0.0), 1.0)
    return config


def open_tun(namespace, device):
    """Attaches to DEVICE inside NAMESPACE; the descriptor keeps working from any namespace."""
    libc = ctypes.CDLL(None, use_errno=True)
    with open(f"/run/netns/{namespace}") as ns:
        if libc.setns(ns.fileno(), CLONE_NEWNET) != 0:
            raise OSError(ctypes.get_errno(), f"setns {namespace}")
    fd = os.open("/dev/net/tun", os.O_RDWR | os.O_NONBLOCK)
    fcntl.ioctl(fd, TUNSETIFF, struct.pack("16sH", device.encode(), IFF_TUN | IFF_NO_PI))
    return fd


def main():
    path = sys.argv[1]
    config = read_config(path)
    mtime = os.stat(path).st_mtime
    draw = random.Random(config["seed"])
    ends = [open_tun(config["ns_a"], config["dev_a"]), open_tun(config["ns_b"], config["dev_b"])]
    stop_at = time.monotonic() + config["lifetime_s"]
    queue = []  # (due, sequence, out fd, packet)
    last_due = {fd: 0.0 for fd in ends}
    sequence = 0
    next_look = time.monotonic() + 1
    while True:
        now = time.monotonic()
        if now >= stop_at:
            return 0
        if now >= next_look:  # the test may have changed the link
            next_look = now + 0.5
            try:
                if os.stat(path).st_mtime != mtime:
                    mtime = os.stat(path).st_mtime
                    config.update({k: v for k, v in read_config(path).items() if k != "lifetime_s"})
            except (OSError, ValueError):
                pass
        while queue and queue[0][0] <= now:
            _, _, out, packet = heapq.heappop(queue)
            try:
                os.write(out, packet)
            except OSError:
                pass  # the far end is gone or full: the packet is lost
        wait = min(stop_at, next_look, queue[0][0] if queue else stop_at) - time.monotonic()
        readable, _, _ = select.select(ends, [], [], max(wait, 0))
        for source in readable:
            out = ends[1] if source == ends[0] else ends[0]
            for _ in range(64):
                try:
                    packet = os.read(source, 65536)
                except BlockingIOError:
                    break
                if draw.random() < config["loss"] or len(queue) >= MAX_QUEUED:
                    continue
                jitter = draw.uniform(-config["jitter_ms"], config["jitter_ms"])
                due = time.monotonic() + max(config["delay_ms"] + jitter, 0) / 1000
                due = max(due, last_due[out])
                last_due[out] = due
                sequence += 1
                heapq.heappush(queue, (due, sequence, out, packet))


if __name__ == "__main__":
    sys.exit(main())
