"""Speed of a proxied check: 50 endpoints through one proxy at once.
  1. scripted SOCKS5 proxy, 40 endpoints answered and 10 never answered: the
     whole run ends within the connect time-out + 1 s (10 s + 1 s);
  2. danted (SOCKS5), 50 endpoints that accept: well under one time-out.
usage: python3 bench/proxy_bench.py PATH/TO/proxy_probe [--runs N] [--wine LAUNCHER]"""
import argparse
import pathlib
import statistics
import subprocess
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "tests" / "proxy"))
import proxy_lab as lab  # noqa: E402
from scripted_proxy import ScriptedProxy  # noqa: E402

TIMEOUT_MS = 10000


def run(probe, wine, port, targets):
    command = [wine] * (wine is not None) + [probe, "4", lab.LOOPBACK, str(port), "", "",
                                             str(TIMEOUT_MS), *targets]
    out = subprocess.run(command, capture_output=True, timeout=120, check=True).stdout.decode()
    verdicts, total = {}, None
    for line in out.replace("\r\n", "\n").splitlines():
        parts = line.split("\t")
        if parts[0] == "total":
            total = float(parts[1])
        elif parts[0].isdigit():
            verdicts[parts[1]] = verdicts.get(parts[1], 0) + 1
    return total, verdicts


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("probe")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--wine")
    args = parser.parse_args()
    ok = True
    with lab.Listener() as target:
        hang = lab.free_port()
        with ScriptedProxy("socks5", hang_ports=[hang]) as proxy:
            targets = [f"{lab.LOOPBACK}:{target.port}"] * 40 + [f"{lab.LOOPBACK}:{hang}"] * 10
            runs = [run(args.probe, args.wine, proxy.port, targets) for _ in range(args.runs)]
        totals = [r[0] for r in runs]
        limit = TIMEOUT_MS + 1000
        passed = max(totals) <= limit and all(r[1] == {"open-via-proxy": 40, "timeout": 10} for r in runs)
        ok &= passed
        print(f"scripted SOCKS5, 40 open + 10 hanging: median {statistics.median(totals):.0f} ms, "
              f"max {max(totals):.0f} ms, verdicts {runs[0][1]} (limit {limit} ms) "
              f"{'PASS' if passed else 'FAIL'}")
        with lab.danted(lab.free_port()) as port:
            targets = [f"{lab.LOOPBACK}:{target.port}"] * 50
            runs = [run(args.probe, args.wine, port, targets) for _ in range(args.runs)]
        totals = [r[0] for r in runs]
        passed = max(totals) <= TIMEOUT_MS and all(r[1] == {"open-via-proxy": 50} for r in runs)
        ok &= passed
        print(f"danted SOCKS5, 50 open: median {statistics.median(totals):.0f} ms, "
              f"max {max(totals):.0f} ms {'PASS' if passed else 'FAIL'}")
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
