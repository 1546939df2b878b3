#!/usr/bin/env python3
"""Time to build the host catalogue through `reachkit-cli hosts`, process start
included: 10,000 Local entries plus 40 server sections must take under 100 ms,
and 20,000 entries at most 2.3 times as long.

usage: bench/catalogue_bench.py PATH/TO/reachkit-cli [RUNS]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def make_tree(root, local_entries, server_sections=40):
    # Short names, so the whole list fits the 259 bytes that one profile read takes.
    names = ["Order%d" % i if i % 5 == 0 else "Q%d" % i for i in range(server_sections)]
    quote = ["[Tradedesk]", "Name=" + ",".join(names)]
    for i, name in enumerate(names):
        quote += ["[%s]" % name, "NMIP=127.0.%d.%d" % (i // 250, i % 250 + 1)]
    hosts = ["[Local]", "Count=%d" % local_entries]
    for i in range(1, local_entries + 1):
        hosts += ["IP_%d=127.1.%d.%d" % (i, (i // 250) % 250, i % 250 + 1), "Port_%d=%d" % (i, 7000 + i % 1000)]
    files = {
        "Sys/ZentickConSet.ini": quote,
        "Sys/VekTradedesk.ini": hosts,
        "Bin/BaseConfig.ini": ["[DC]", "ClientToNMPortTry=8001,8002"],
    }
    for rel, lines in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(("\r\n".join(lines) + "\r\n").encode("cp950"))


def median_ms(cli, root, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        out = subprocess.run([cli, "--raw", "--root", root, "hosts"], capture_output=True, check=True)
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times), out.stdout.count(b"\n")


def main():
    cli = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    results = {}
    for entries in (10000, 20000):
        root = tempfile.mkdtemp(prefix="reachkit-bench-")
        try:
            make_tree(root, entries)
            ms, lines = median_ms(cli, root, runs)
            results[entries] = ms
            print("%6d Local entries + 40 server sections: %7.1f ms (median of %d), %d lines"
                  % (entries, ms, runs, lines))
        finally:
            shutil.rmtree(root, ignore_errors=True)
    ratio = results[20000] / results[10000]
    ok = results[10000] < 100 and ratio <= 2.3
    print("20,000 / 10,000 = %.2f; target: 10,000 under 100 ms and ratio at most 2.3: %s"
          % (ratio, "met" if ok else "NOT met"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
