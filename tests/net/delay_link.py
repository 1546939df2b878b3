#!/usr/bin/env python3
"""delay_link.py CONFIG: a point-to-point link between two TUN devices in two network namespaces,
carrying IPv4 both ways after a delay. CONFIG holds key=value lines: ns_a, ns_b, dev_a, dev_b (the
TUN devices, already made), delay_ms one way (10), jitter_ms either side of it (0; packets of one
direction never overtake each other, as on a real line), loss 0..1 (0), lifetime_s after which the
forwarder exits whatever happens (300), delay_by_dst ADDR:MS,ADDR:MS (none): more one-way delay for
the packets to or from each ADDR, in order among themselves only, so that hosts behind the link can
sit at different distances. At most 10,000 packets wait; more are dropped."""
import ctypes
import fcntl
import heapq
import os
import random
import select
import socket
import struct
import sys
import time

TUNSETIFF = 0x400454CA
IFF_TUN, IFF_NO_PI = 0x0001, 0x1000
CLONE_NEWNET = 0x40000000
MAX_QUEUED = 10000


def read_config(path):
    config = {"delay_ms": 10.0, "jitter_ms": 0.0, "loss": 0.0, "lifetime_s": 300.0}
    with open(path, encoding="ascii") as lines:
        for key, _, value in (line.strip().partition("=") for line in lines if "=" in line):
            if key == "delay_by_dst":
                config[key] = {socket.inet_aton(a): float(ms) for a, _, ms in
                               (item.strip().partition(":") for item in value.split(",") if item.strip())}
            else:
                config[key] = value if key in ("ns_a", "ns_b", "dev_a", "dev_b") else float(value)
    config["lifetime_s"] = min(max(config["lifetime_s"], 1.0), 3600.0)
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
    config = read_config(sys.argv[1])
    draw = random.Random()
    ends = [open_tun(config["ns_a"], config["dev_a"]), open_tun(config["ns_b"], config["dev_b"])]
    stop_at = time.monotonic() + config["lifetime_s"]
    queue = []  # (due, sequence, out fd, packet)
    extra = config.get("delay_by_dst", {})
    last_due = {}  # by (out fd, the listed address of the packet or None)
    sequence = 0
    while True:
        now = time.monotonic()
        if now >= stop_at:
            return 0
        while queue and queue[0][0] <= now:
            _, _, out, packet = heapq.heappop(queue)
            try:
                os.write(out, packet)
            except OSError:
                pass  # the far end is gone or full: the packet is lost
        wait = min(stop_at, queue[0][0] if queue else stop_at) - time.monotonic()
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
                far = next((a for a in (packet[16:20], packet[12:16]) if a in extra), None)
                delay_ms = config["delay_ms"] + (extra[far] if far else 0)
                due = time.monotonic() + max(delay_ms + jitter, 0) / 1000
                due = max(due, last_due.get((out, far), 0.0))
                last_due[(out, far)] = due
                sequence += 1
                heapq.heappush(queue, (due, sequence, out, packet))


if __name__ == "__main__":
    sys.exit(main())
