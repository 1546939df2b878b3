"""The HTML reports as a browser shows them: `report --html` on a client tree with loopback hosts
and `watch-summary --html` of a short watch of them, each loaded once by Debian's headless chromium
for its DOM and once for a screenshot, with every network kept off by its flags. Every endpoint
must come out as a table row and an SVG chart, every outage as a band, and the screenshot must
show something drawn. REACHKIT_HTML_SHOTS=DIR keeps the screenshots there."""
import json
import os
import pathlib
import shutil
import struct
import subprocess
import tempfile
import unittest
from html.parser import HTMLParser

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


def assert_drawn(png):
    """A 1200x1600 screenshot with something on it: a blank page compresses to a few kilobytes."""
    data = png.read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR", png
    assert struct.unpack(">II", data[16:24]) == (1200, 1600), struct.unpack(">II", data[16:24])
    assert len(data) > 60_000, "%s is nearly blank: %d bytes" % (png, len(data))


class Page(HTMLParser):
    """Per endpoint section: its charts and outage bands and rows; and the summary rows."""
    def __init__(self):
        super().__init__()
        self.rows, self.sections, self.texts = 0, [], []

    def handle_starttag(self, tag, attrs):
        attrs, classes = dict(attrs), dict(attrs).get("class", "").split()
        if tag == "tr" and "endpoint-row" in classes:
            self.rows += 1
        elif tag == "section" and "endpoint" in classes:
            self.sections.append({"charts": 0, "bands": 0, "outages": 0})
        elif self.sections and tag == "svg" and "chart" in classes:
            self.sections[-1]["charts"] += 1
        elif self.sections and tag == "rect" and "outage-band" in classes:
            self.sections[-1]["bands"] += 1
        elif self.sections and tag == "tr" and "outage-row" in classes:
            self.sections[-1]["outages"] += 1

    def handle_data(self, data):
        self.texts.append(data)


def parse(dom):
    page = Page()
    page.feed(dom)
    return page


@unittest.skipUnless(CHROMIUM or os.environ.get("CI") == "true", "chromium is not installed")
class HtmlReportTest(h.CliCase):
    def render(self, html):
        """The DOM chromium built from the file; its first 1200x1600 pixels must show something."""
        shot = self.dir / (html.stem + ".png")
        dom = chromium(self.dir, "--dump-dom", html.as_uri())
        chromium(self.dir, "--screenshot=%s" % shot, "--window-size=1200,1600", html.as_uri())
        shots = os.environ.get("REACHKIT_HTML_SHOTS")
        if shots:
            shutil.copy(shot, pathlib.Path(shots) / shot.name)
        assert_drawn(shot)
        return dom

    def assert_self_contained(self, raw):
        for word in (b"<script", b"http:", b"https:", b"<link", b"@import"):
            self.assertNotIn(word, raw)

    def test_support_report_has_its_conclusion_and_every_endpoint_as_a_row(self):
        open_port, closed = self.loopback_ports()
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=台北\n[台北]\nNMIP=127.0.0.1\n")
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d,%d\nProxyType=1\n"
                   "ProxyServerName=127.0.0.1\nProxyPort=%d\nUserName=u\nUserPassword=Pw-Never-Shown\n"
                   % (closed, open_port, closed))
        self.write("Sys/VekTradedesk.ini", "[Local]\nCount=1\nIP_1=127.0.0.1\n")
        html, doc = self.dir / "report.html", self.dir / "report.json"
        code, out, err = self.run_cli("--root", self.root, "--json", "report", "--html", str(html),
                                      "--out", str(doc), "--timeout-ms", "2000", "--no-diagnose")
        self.assertEqual((code, out), (0, b""), err)
        raw = html.read_bytes()
        self.assert_self_contained(raw)
        self.assertNotIn(b"Pw-Never-Shown", raw)
        endpoints = json.loads(doc.read_bytes())["check"]["endpoints"]
        dom = self.render(html)
        page = parse(dom)
        self.assertEqual(page.rows, len(endpoints))
        text = "".join(page.texts)
        self.assertLess(text.index("Conclusion"), text.index("Endpoints"))
        for endpoint in endpoints:
            self.assertIn(endpoint["label"], text)
        self.assertIn("UserPassword=********", text)

    def test_watch_report_has_a_row_and_a_chart_per_endpoint_and_a_band_per_outage(self):
        open_port, closed = self.loopback_ports()
        self.write("Sys/VekTradedesk.ini", "[Local]\nCount=2\nIP_1=127.0.0.1\nPort_1=%d\n"
                   "IP_2=127.0.0.1\nPort_2=%d\n" % (open_port, closed))
        log, html = self.dir / "watch.jsonl", self.dir / "watch.html"
        code, _, err = self.run_cli("--root", self.root, "watch", "--duration", "4s",
                                    "--interval-ms", "500", "--log", str(log))
        self.assertEqual(code, 1, err)  # the refused port is an outage
        code, _, err = self.run_cli("watch-summary", str(log), "--html", str(html))
        self.assertEqual(code, 1, err)
        raw = html.read_bytes()
        self.assert_self_contained(raw)
        page = parse(self.render(html))
        self.assertEqual((page.rows, len(page.sections)), (2, 2))
        for section in page.sections:
            self.assertEqual(section["charts"], 1)
            self.assertEqual(section["bands"], section["outages"])
        self.assertEqual([s["outages"] for s in page.sections], [0, 1])

if __name__ == "__main__":
    h.main()
