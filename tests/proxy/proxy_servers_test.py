"""The proxy connector against real proxy servers (tinyproxy, danted,
microsocks) and a scripted proxy, all on loopback, through the proxy_probe
program: natively, or the Windows build under Wine with --wine LAUNCHER.
Every verdict the connector knows is produced here by a server's answer."""
import argparse
import re
import shutil
import subprocess
import sys
import unittest

import proxy_lab as lab

PROBE, WINE = None, None
SHORT_MS = 1500  # time-out for the cases that wait for it


def run_probe(proxy_type, host, port, targets, user="", password="", timeout_ms=5000):
    command = [WINE] * (WINE is not None) + [
        PROBE, str(proxy_type), host, str(port), user, password, str(timeout_ms), *targets]
    proc = subprocess.run(command, capture_output=True, timeout=120)
    out = proc.stdout.decode("latin-1").replace("\r\n", "\n")
    assert proc.returncode == 0, (proc.returncode, out, proc.stderr[-2000:])
    rows = {}
    for line in out.splitlines():
        parts = line.split("\t")
        if parts[0].isdigit():
            rows[int(parts[0])] = (parts[1], float(parts[2]), parts[3])
    assert len(rows) == len(targets), out
    return [rows[i] for i in range(len(targets))], out


class ProxyCase(unittest.TestCase):
    def expect(self, proxy_type, port, cases, **login):
        """cases: (target, verdict, regex the reason must match)."""
        results, out = run_probe(proxy_type, lab.LOOPBACK, port, [c[0] for c in cases], **login)
        for (target, verdict, reason), (got, _ms, got_reason) in zip(cases, results):
            with self.subTest(target=target, expected=verdict):
                self.assertEqual(got, verdict, got_reason)
                self.assertRegex(got_reason, reason)
        if login.get("password"):
            self.assertNotIn(login["password"], out)
        return results

    def setUp(self):
        self.open_target = lab.Listener()
        self.addCleanup(self.open_target.close)
        self.open = f"{lab.LOOPBACK}:{self.open_target.port}"
        self.closed_port = lab.free_port()
        self.closed = f"{lab.LOOPBACK}:{self.closed_port}"


class RealServers(ProxyCase):
    def test_tinyproxy_connect_refused_port_and_basic_login(self):
        allowed = [self.open_target.port, self.closed_port]
        barred = f"{lab.LOOPBACK}:{lab.free_port()}"
        with lab.tinyproxy(lab.free_port(), allowed) as port:
            self.expect(1, port, [
                (self.open, "open-via-proxy", r"^the HTTP proxy 127\.0\.0\.1:\d+ connected to"),
                (barred, "proxy-refused-target", r"^HTTP/1\.[01] 403 "),
                (self.closed, "proxy-refused-target", r"^HTTP/1\.[01] 5\d\d "),
            ])
        with lab.tinyproxy(lab.free_port(), allowed, login=("agent", "s3cret")) as port:
            self.expect(1, port, [(self.open, "open-via-proxy", "connected")],
                        user="agent", password="s3cret")
            # tinyproxy answers a wrong login with 401, a missing one with 407.
            self.expect(1, port, [(self.open, "proxy-login-refused", r"^HTTP/1\.[01] 401 ")],
                        user="agent", password="wrong-pass")
            self.expect(1, port, [(self.open, "proxy-login-refused", r"^HTTP/1\.[01] 407 ")])

    def test_danted_socks4_and_socks5(self):
        barred = "192.0.2.1:443"  # refused by the server's rule; nothing is sent there
        with lab.danted(lab.free_port()) as port:
            self.expect(2, port, [
                (self.open, "open-via-proxy", "SOCKS4 proxy"),
                (f"localhost:{self.open_target.port}", "open-via-proxy", "connected to localhost"),
                (self.closed, "proxy-refused-target", "^SOCKS4 91: request rejected or failed$"),
                (barred, "proxy-refused-target", "^SOCKS4 91"),
            ])
            self.expect(4, port, [
                (self.open, "open-via-proxy", "SOCKS5 proxy"),
                (f"localhost:{self.open_target.port}", "open-via-proxy", "localhost"),
                (self.closed, "proxy-refused-target", "^SOCKS5 5: connection refused$"),
                (barred, "proxy-refused-target", "^SOCKS5 2: connection not allowed by ruleset$"),
            ])
            # A stored login is offered, the server chooses none and the connection goes on.
            self.expect(4, port, [(self.open, "open-via-proxy", "SOCKS5")],
                        user="agent", password="s3cret")

    def test_microsocks_login(self):
        with lab.microsocks(lab.free_port(), "agent", "s3cret") as port:
            self.expect(4, port, [
                (self.open, "open-via-proxy", "SOCKS5"),
                (self.closed, "proxy-refused-target", r"^SOCKS5 \d: "),
            ], user="agent", password="s3cret")
            self.expect(4, port, [(self.open, "proxy-login-refused", "refused the stored login")],
                        user="agent", password="not-it")
            self.expect(4, port, [(self.open, "proxy-login-refused", "requires a login")])


class ScriptedProxies(ProxyCase):
    def test_socks4a_hands_the_name_to_the_proxy(self):
        with lab.ScriptedProxy("socks4a", names={"hq.test": lab.LOOPBACK}) as proxy:
            self.expect(3, proxy.port, [
                (f"hq.test:{self.open_target.port}", "open-via-proxy", "SOCKS4a proxy"),
                (f"nowhere.test:{self.open_target.port}", "proxy-refused-target", "^SOCKS4 91"),
                (self.open, "open-via-proxy", "SOCKS4a"),
            ])
            port = self.open_target.port.to_bytes(2, "big")
            self.assertIn(b"\4\1" + port + b"\0\0\0\1\0hq.test\0", proxy.requests)
            self.assertIn(b"\4\1" + port + b"\x7f\0\0\1\0", proxy.requests)  # numeric: plain SOCKS4

    def test_answers_that_are_not_the_protocol(self):
        cases = [
            ("garbled", 4, "version 72, not 5"),
            ("garbled", 2, "version 72, not 0"),
            ("truncated", 4, "mid-reply, after 6 bytes"),
            ("mute-close", 4, "without answering"),
            ("mute-close", 1, "without answering"),
            ("endless-header", 1, "header longer than 8192 bytes"),
        ]
        for behaviour, proxy_type, reason in cases:
            with self.subTest(behaviour=behaviour, type=proxy_type), lab.ScriptedProxy(behaviour) as p:
                self.expect(proxy_type, p.port, [(self.open, "proxy-protocol-error", reason)])

    def test_silent_proxy_times_out(self):
        with lab.ScriptedProxy("silent") as proxy:
            for proxy_type in (1, 2, 4):
                results = self.expect(proxy_type, proxy.port, [
                    (self.open, "timeout", f"did not answer within {SHORT_MS} ms")], timeout_ms=SHORT_MS)
                self.assertGreaterEqual(results[0][1], SHORT_MS - 50)
                self.assertLess(results[0][1], SHORT_MS + 1000)


class ProxyItself(ProxyCase):
    def test_unreachable_proxy_refused_or_timed_out(self):
        # A refusal is told at once on both platforms (Windows reports it in
        # the exception set of the connect's wait), not when the time is up.
        refused = "^refused: the proxy 127.0.0.1:\\d+ does not"
        results = self.expect(4, self.closed_port, [(self.open, "proxy-unreachable", refused)],
                              timeout_ms=SHORT_MS)
        self.assertLess(results[0][1], SHORT_MS / 2)
        with lab.Listener(accept=False, backlog_full=True) as stalled:
            self.expect(1, stalled.port, [(self.open, "proxy-unreachable",
                                           f"^timed out: .* within {SHORT_MS} ms")], timeout_ms=SHORT_MS)


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
