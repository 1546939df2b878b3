"""reachkit-cli telnet --via-proxy: the entry's ports through the proxy stored in the client's
base configuration, against danted, tinyproxy and a scripted proxy on loopback."""
import pathlib
import re
import sys

import cli_test as h
from cli_test import big5

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "proxy"))
import proxy_lab as lab  # noqa: E402


class ProxyCliTest(h.CliCase):
    def setUp(self):
        super().setUp()
        self.target = lab.Listener()
        self.addCleanup(self.target.close)
        self.open, self.closed = self.target.port, lab.free_port()
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=Order1\n[Order1]\nNMIP=127.0.0.1\n")
        self.write_locals(self.open)

    def store(self, proxy):
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d,%d\n%s\n"
                   % (self.closed, self.open, proxy))

    def test_ports_in_order_with_the_proxys_verdict_until_one_connects(self):
        with lab.danted(lab.free_port()) as port:
            self.store("ProxyType=4\nSOCKSProxyServerName=127.0.0.1\nSOCKSProxyPort=%d" % port)
            code, out, err = self.lines("--root", self.root, "telnet", "0", "--via-proxy")
            settings = self.host_path(self.dir / "Bin" / "BaseConfig.ini").encode()
            self.assertEqual((code, err, out[:4], len(out)), (0, b"", [
                b"Telnet 127.0.0.1 [via SOCKS5 proxy 127.0.0.1:%d, %s]" % (port, settings),
                big5("連線失敗，127.0.0.1：%d" % self.closed), b"  proxy-refused-target: SOCKS5 5: connection refused",
                big5("連線成功，127.0.0.1：%d" % self.open)], 5))
            self.assertRegex(out[4], rb"^  open-via-proxy: the SOCKS5 proxy 127\.0\.0\.1:\d+ connected")
            # The Local entry, by its own port.
            self.assertEqual(self.lines("--root", self.root, "telnet", "1", "--via-proxy")[0], 0)

    def test_check_adds_the_proxied_verdict_of_every_endpoint(self):
        socks = ("ProxyType=4\nSOCKSProxyServerName=127.0.0.1\nSOCKSProxyPort=%d\n"
                 "SOCKSUserName=agent\nSOCKSUserPassword=S0cksPass\nUserPassword=HttpPass")
        with lab.microsocks(lab.free_port(), "agent", "S0cksPass") as port:
            self.store(socks % port)
            code, out, err = self.run_cli("--root", self.root, "check", "--via-proxy", "--no-diagnose",
                                          "--timeout-ms", "3000")
            self.assertEqual(code, 1, (out, err))
            for secret in (b"S0cksPass", b"HttpPass"):
                self.assertNotIn(secret, out + err)
            text = out if self.windows else out.decode("utf-8").encode("cp950")
            lines = text.splitlines()
            # (index, port, direct verdict, proxied verdict, proxied reason) per endpoint
            via = b"the SOCKS5 proxy 127.0.0.1:%d connected to 127.0.0.1:%d" % (port, self.open)
            expected = [(0, self.closed, b"refused", b"proxy-refused-target",
                         b"SOCKS5 5: connection refused"),
                        (0, self.open, b"open", b"open-via-proxy", via),
                        (1, self.open, b"open", b"open-via-proxy", via)]
            settings = self.host_path(self.dir / "Bin" / "BaseConfig.ini")
            heading = lines.index(b"through the SOCKS5 proxy 127.0.0.1:%d (%s):"
                                  % (port, settings.encode()))
            direct, proxied = lines[1:heading], lines[heading + 1:heading + 1 + len(expected)]
            for index, target, verdict, proxy_verdict, reason in expected:
                endpoint = rb"^(%d +\S.* )127\.0\.0\.1:%d +" % (index, target)
                with self.subTest(index=index, port=target):
                    ours = [m for m in (re.match(endpoint + verdict + rb" +[\d.]+ ms$", l)
                                        for l in direct) if m]
                    theirs = [m for m in (re.match(endpoint + proxy_verdict + rb" +[\d.]+ ms  "
                                                   + re.escape(reason) + b"$", l)
                                          for l in proxied) if m]
                    self.assertEqual((len(ours), len(theirs)), (1, 1), (direct, proxied))
                    # the address column where the direct table has it
                    self.assertEqual(len(ours[0][1]), len(theirs[0][1]), (ours[0][0], theirs[0][0]))


if __name__ == "__main__":
    h.main()
