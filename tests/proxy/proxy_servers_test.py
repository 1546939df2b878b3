"""The proxy connector against real proxy servers (tinyproxy, danted,
microsocks) on loopback, through the proxy_probe program: natively, or the
Windows build under Wine with --wine LAUNCHER. Answers no packaged server
gives (garbled, truncated, silent) are the connector's unit tests'."""
import argparse
import shutil
import subprocess
import sys
import unittest

import proxy_lab as lab

PROBE, WINE = None, None


def run_probe(proxy_type, host, port, targets, user="", password="", timeout_ms=5000):
    command = [WINE] * (WINE is not None) + [
        PROBE, str(proxy_type), host, str(port), user, password, str(timeout_ms), *targets]
    proc = subprocess.run(command, capture_output=True, timeout=120)
    out = proc.stdout.decode("latin-1").replace("\r\n", "\n")
    assert proc.returncode == 0, (proc.returncode, out, proc.stderr[-2000:])
    rows = {int(p[0]): (p[1], float(p[2]), p[3])
            for p in (line.split("\t") for line in out.splitlines()) if p[0].isdigit()}
    assert len(rows) == len(targets), out
    return [rows[i] for i in range(len(targets))], out


class RealServers(unittest.TestCase):
    """One road per proxy type and login through a real server; the refusal codes and reasons
    themselves are the protocol's unit tests'."""

    def expect(self, proxy_type, port, cases, **login):
        """cases: (target, verdict, regex the reason must match)."""
        results, out = run_probe(proxy_type, lab.LOOPBACK, port, [c[0] for c in cases], **login)
        for (target, verdict, reason), (got, _ms, got_reason) in zip(cases, results):
            with self.subTest(target=target, expected=verdict):
                self.assertEqual(got, verdict, got_reason)
                self.assertRegex(got_reason, reason)
        if login.get("password"):
            self.assertNotIn(login["password"], out)

    def setUp(self):
        self.open_target = lab.Listener()
        self.addCleanup(self.open_target.close)
        self.open = f"{lab.LOOPBACK}:{self.open_target.port}"
        self.closed_port = lab.free_port()
        self.closed = f"{lab.LOOPBACK}:{self.closed_port}"

    def test_tinyproxy_connect_refused_port_and_basic_login(self):
        with lab.tinyproxy(lab.free_port(), [self.open_target.port, self.closed_port]) as port:
            self.expect(1, port, [
                (self.open, "open-via-proxy", r"^the HTTP proxy 127\.0\.0\.1:\d+ connected to"),
                (f"{lab.LOOPBACK}:{lab.free_port()}", "proxy-refused-target", r"^HTTP/1\.[01] 403 "),
                (self.closed, "proxy-refused-target", r"^HTTP/1\.[01] 5\d\d "),
            ])
        with lab.tinyproxy(lab.free_port(), [self.open_target.port], login=("agent", "s3cret")) as port:
            self.expect(1, port, [(self.open, "open-via-proxy", "connected")],
                        user="agent", password="s3cret")
            self.expect(1, port, [(self.open, "proxy-login-refused", r"^HTTP/1\.[01] 401 ")],
                        user="agent", password="wrong-pass")

    def test_danted_socks4_and_socks5(self):
        # SOCKS5's open and refused targets through danted are proxy_cli_test's.
        with lab.danted(lab.free_port()) as port:
            self.expect(2, port, [
                (f"localhost:{self.open_target.port}", "open-via-proxy", "connected to localhost"),
                (self.closed, "proxy-refused-target", "^SOCKS4 91: request rejected or failed$"),
            ])
            self.expect(4, port, [("192.0.2.1:443", "proxy-refused-target",  # refused by rule
                                   "^SOCKS5 2: connection not allowed by ruleset$")])

    def test_microsocks_login(self):
        # The accepted login is proxy_cli_test's.
        with lab.microsocks(lab.free_port(), "agent", "s3cret") as port:
            self.expect(4, port, [(self.open, "proxy-login-refused", "refused the stored login")],
                        user="agent", password="not-it")
            self.expect(4, port, [(self.open, "proxy-login-refused", "requires a login")])


def main():
    global PROBE, WINE
    parser = argparse.ArgumentParser()
    parser.add_argument("--probe", required=True)
    parser.add_argument("--wine")
    args, rest = parser.parse_known_args()
    PROBE, WINE = args.probe, args.wine
    missing = [p for p in ("tinyproxy", "danted", "microsocks") if shutil.which(p) is None]
    if missing:
        print("missing proxy servers (scripts/install-deps.sh installs them):", *missing)
        sys.exit(1)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
