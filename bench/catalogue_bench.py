#!/usr/bin/env python3
"""Time to build the host catalogue of client trees with 10,000, 30,000 and 100,000 Local entries
(plus 40 server sections): the build alone, timed inside a fresh process by catalogue_build_bench,
and a whole `reachkit-cli --raw hosts` run beside the start-up of a run that finds no client.

Targets, natively: the build of 10,000 entries under 20 ms, of 100,000 under 200 ms, and linear
cost (100,000 take at most 12 times as long as 10,000). With --wine (the Windows build) the
figures are printed and no target applies.

usage: bench/catalogue_bench.py --cli PATH/TO/reachkit-cli --build-bench PATH/TO/catalogue_build_bench
                                [--runs N] [--sizes 10000,30000,100000] [--wine LAUNCHER]
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SIZES = (10000, 30000, 100000)


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


class Runner:
    def __init__(self, wine):
        self.wine = wine

    def path(self, path):
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def run(self, program, *args):
        command = ([self.wine] if self.wine else []) + [program, *args]
        start = time.perf_counter()
        proc = subprocess.run(command, capture_output=True, timeout=600)
        return (time.perf_counter() - start) * 1000, proc


def median(values):
    return statistics.median(values)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--build-bench", required=True)
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--sizes", default=",".join(map(str, SIZES)))
    parser.add_argument("--wine")
    options = parser.parse_args()
    runner = Runner(options.wine)
    print("load average before: %.2f %.2f %.2f" % os.getloadavg())

    empty = tempfile.mkdtemp(prefix="reachkit-bench-empty-")
    try:
        startup = median([runner.run(options.cli, "--raw", "--root", runner.path(empty), "hosts")[0]
                          for _ in range(options.runs)])
    finally:
        shutil.rmtree(empty, ignore_errors=True)
    print("process start-up (a run that finds no client): %.1f ms" % startup)

    builds = {}
    sizes = [int(n) for n in options.sizes.split(",")]
    for entries in sizes:
        root = tempfile.mkdtemp(prefix="reachkit-bench-")
        try:
            make_tree(root, entries)
            times, cpu = [], []
            for _ in range(options.runs):
                _, proc = runner.run(options.build_bench, runner.path(root))
                found = re.search(rb"(\d+) hosts in ([\d.]+) ms \(cpu ([\d.]+) ms\)", proc.stdout)
                if proc.returncode != 0 or not found or int(found.group(1)) != entries + 40:
                    print("catalogue_build_bench failed: %r %r" % (proc.stdout, proc.stderr))
                    return 1
                times.append(float(found.group(2)))
                cpu.append(float(found.group(3)))
            builds[entries] = median(times)
            whole = [runner.run(options.cli, "--raw", "--root", runner.path(root), "hosts")
                     for _ in range(options.runs)]
            lines = whole[-1][1].stdout.count(b"\n")
            print("%7d Local entries + 40 sections: build %7.2f ms (min %.2f, max %.2f, cpu %.2f), "
                  "hosts run %7.1f ms, %d lines (medians of %d)"
                  % (entries, builds[entries], min(times), max(times), median(cpu),
                     median([t for t, _ in whole]), lines, options.runs))
        finally:
            shutil.rmtree(root, ignore_errors=True)

    print("load average after: %.2f %.2f %.2f" % os.getloadavg())
    ratio = builds[sizes[-1]] / builds[sizes[0]]
    print("%d / %d entries: %.2f times as long" % (sizes[-1], sizes[0], ratio))
    if options.wine or sizes != list(SIZES):
        return 0
    ok = builds[10000] < 20 and builds[100000] < 200 and ratio <= 12
    print("target: build of 10,000 under 20 ms, of 100,000 under 200 ms, ratio at most 12: %s"
          % ("met" if ok else "NOT met"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
