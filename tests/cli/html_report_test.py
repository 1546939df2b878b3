"""The HTML reports as a browser shows them: `report --html` on a client tree with loopback hosts
and `watch-summary --html` of a short watch of them, each loaded once by Debian's headless chromium
for its DOM and once for a screenshot, with every network kept off by its flags. The pages' parts
are the core's unit tests; here every endpoint must come out of the browser's parse as a table row
(and, in the watch's page, an SVG chart), and the screenshot must show something drawn.
REACHKIT_HTML_SHOTS=DIR keeps the screenshots there."""
import os
import pathlib
import shutil
import struct
import subprocess
import unittest

import cli_test as h

CHROMIUM = shutil.which("chromium")


def chromium(tmp, *args):
    """One headless run that can reach nothing: every host name maps to an unresolvable one."""
    command = [CHROMIUM, "--headless", "--no-sandbox", "--disable-gpu",
               "--disable-background-networking", "--disable-component-update", "--no-first-run",
               "--host-resolver-rules=MAP * ~NOTFOUND", "--user-data-dir=%s" % (tmp / "profile"),
               *args]
    proc = subprocess.run(command, capture_output=True, timeout=120)
    if proc.returncode != 0:
        raise AssertionError("chromium failed: %s" % proc.stderr.decode(errors="replace")[-2000:])
    return proc.stdout.decode("utf-8")


@unittest.skipUnless(CHROMIUM or os.environ.get("CI") == "true", "chromium is not installed")
class HtmlReportTest(h.CliCase):
    def render(self, html):
        """The page self-contained; the DOM chromium built from it; its first 1200x1600 pixels
        drawn (a blank page compresses to a few kilobytes)."""
        for word in (b"<script", b"http:", b"https:", b"<link", b"@import"):
            self.assertNotIn(word, html.read_bytes())
        shot = self.dir / (html.stem + ".png")
        dom = chromium(self.dir, "--dump-dom", html.as_uri())
        chromium(self.dir, "--screenshot=%s" % shot, "--window-size=1200,1600", html.as_uri())
        if os.environ.get("REACHKIT_HTML_SHOTS"):
            shutil.copy(shot, pathlib.Path(os.environ["REACHKIT_HTML_SHOTS"]) / shot.name)
        data = shot.read_bytes()
        self.assertEqual((data[:8], struct.unpack(">II", data[16:24])), (b"\x89PNG\r\n\x1a\n", (1200, 1600)))
        self.assertGreater(len(data), 60_000, "%s is nearly blank" % shot)
        return dom

    def test_support_report_has_its_conclusion_and_every_endpoint_as_a_row(self):
        open_port, closed = self.loopback_ports()
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=台北\n[台北]\nNMIP=127.0.0.1\n")
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d,%d\nProxyType=1\n"
                   "ProxyServerName=127.0.0.1\nProxyPort=%d\nUserName=u\nUserPassword=Pw-Never-Shown\n"
                   % (closed, open_port, closed))
        self.write("Sys/VekTradedesk.ini", "[Local]\nCount=1\nIP_1=127.0.0.1\n")
        html = self.dir / "report.html"
        code, out, err = self.run_cli("--root", self.root, "report", "--html", str(html),
                                      "--timeout-ms", "2000", "--no-diagnose")
        self.assertEqual((code, out), (0, b""), err)
        self.assertNotIn(b"Pw-Never-Shown", html.read_bytes())
        dom = self.render(html)
        self.assertEqual(dom.count('class="endpoint-row'), 3)  # two ports of 台北, one without
        self.assertLess(dom.index("Conclusion"), dom.index("Endpoints"))
        for label in ("報價主機-台北 : 127.0.0.1", "交易主機-1 : 127.0.0.1:0"):
            self.assertIn(label, dom)

    def test_watch_report_has_a_row_and_a_chart_per_endpoint(self):
        self.write_locals(*self.loopback_ports())
        log, html = self.dir / "watch.jsonl", self.dir / "watch.html"
        code, _, err = self.run_cli("--root", self.root, "watch", "--duration", "4s",
                                    "--interval-ms", "500", "--log", str(log))
        self.assertEqual(code, 1, err)  # the refused port is an outage
        code, _, err = self.run_cli("watch-summary", str(log), "--html", str(html))
        self.assertEqual(code, 1, err)
        dom = self.render(html)
        self.assertEqual((dom.count('class="endpoint-row'), dom.count('<svg class="chart')), (2, 2))


if __name__ == "__main__":
    h.main()
