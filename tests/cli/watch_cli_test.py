"""watch and watch-summary on loopback: a port that listens and one that refuses, the log read
back, the series the real Prometheus node exporter's textfile collector (on 127.0.0.1 only) serves
from --openmetrics, a watch killed with SIGKILL still leaving a readable log, Ctrl+C as the normal
end (exit 0 without an outage, 1 with one)."""
import json
import pathlib
import re
import signal
import socket
import subprocess
import sys
import threading
import time
import urllib.request

import cli_test as h

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "proxy"))
import proxy_lab as lab  # noqa: E402

EXPORTER = "/usr/bin/prometheus-node-exporter"


class WatchCliTest(h.CliCase):
    def setUp(self):
        super().setUp()
        self.open, self.closed = self.loopback_ports()
        self.log = self.dir / "watch.jsonl"

    def scrape(self, folder):
        """The reachkit_ series without quantiles the node exporter serves from `folder`, by name and port."""
        port = lab.free_port()
        exporter = subprocess.Popen([EXPORTER, "--web.listen-address=127.0.0.1:%d" % port,
                                     "--collector.disable-defaults", "--collector.textfile",
                                     "--collector.textfile.directory=%s" % folder],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (exporter.kill(), exporter.wait()))

        def get():
            try:
                with urllib.request.urlopen("http://127.0.0.1:%d/metrics" % port, timeout=2) as reply:
                    return reply.read().decode("utf-8")
            except OSError:
                return None
        text = self.until(get, 15)
        self.assertIn("\nnode_textfile_scrape_error 0\n", text or "the node exporter did not answer")
        return {(name.split("{")[0], int(re.search(r'port="(\d+)"', name)[1])): float(value)
                for name, value in (line.rsplit(" ", 1) for line in text.splitlines())
                if name.startswith("reachkit_") and "quantile" not in name}

    def test_watch_finds_the_refusing_port_and_its_log_and_metrics_say_the_same(self):
        self.write_locals(self.open, self.closed)
        folder = self.dir / "textfiles"
        folder.mkdir()
        code, out, _ = self.run_cli("--root", self.root, "watch", "--duration", "4s", "--interval-ms", "300",
                                    "--log", self.host_path(self.log),
                                    "--openmetrics", self.host_path(folder / "reachkit.prom"))
        lines = out.decode("cp950" if self.windows else "utf-8").splitlines()
        self.assertEqual(code, 1, out)
        self.assertTrue(any("127.0.0.1:%d  outage 1 opened (connect)" % self.closed in l for l in lines), lines)
        self.assertTrue(any("outage 1 placed: broker_host" in l for l in lines), lines)
        self.assertEqual(lines[-1], "2 endpoints, 1 outages")
        up, down = self.document("watch-summary", self.host_path(self.log), code=1)["endpoints"]
        self.assertEqual((up["port"], up["lost"], up["outages"]), (self.open, 0, []))
        self.assertEqual((down["port"], down["lost"]), (self.closed, down["samples"]))
        self.assertEqual([o["place"] for o in down["outages"]], ["broker_host"])
        # The watch's own summary is the log's.
        code, out, _ = self.run_cli("watch-summary", self.host_path(self.log))
        self.assertEqual(out.decode("utf-8" if not self.windows else "cp950").splitlines()[-1], lines[-1])

        # The series' names, labels and units are the core's unit test; here the values seen.
        series = self.scrape(folder)
        self.assertEqual([series[metric, port] for metric in ("reachkit_endpoint_up", "reachkit_outages_total")
                          for port in (self.open, self.closed)], [1, 0, 0, 1])
        self.assertEqual(series["reachkit_connect_seconds_count", self.closed], 0)
        self.assertGreaterEqual(series["reachkit_connect_seconds_count", self.open], 8)
        # A metrics file that cannot be written is said at the start, not never.
        code, _, err = self.run_cli("--root", self.root, "watch", "--duration", "1s", "--openmetrics",
                                    self.host_path(self.dir / "missing" / "reachkit.prom"))
        self.assertEqual((code, err.count(b"\n")), (1, 1), err)

    def test_a_watch_killed_with_sigkill_leaves_a_log_that_watch_summary_reads(self):
        self.write_locals(self.open, self.closed)
        proc, _ = self.start("watch", "--interval-ms", "200", "--log", self.host_path(self.log), "--log-samples")
        self.assertTrue(self.until(lambda: self.log.exists() and b'"outage_open"' in self.log.read_bytes()))
        proc.kill()
        proc.wait(timeout=10)
        summary = self.document("watch-summary", self.host_path(self.log), code=1)
        self.assertEqual([o["end"] for o in summary["endpoints"][1]["outages"]], [None])

    def test_ctrl_c_is_the_normal_end_exit_0_without_an_outage_1_with_one(self):
        for ports, expected in (((self.open,), 0), ((self.open, self.closed), 1)):
            self.write_locals(*ports)
            proc, out = self.start("watch", "--interval-ms", "300")
            # Once the endpoints are seen up (or the outage placed): a slow start under Wine on a
            # busy machine must not turn "1 with an outage" into "0, stopped before it opened".
            seen = b"outage 1 placed" if expected else b"-> up"
            self.until(lambda: proc.poll() is not None or any(seen in line for line in self.output(out)))
            sent = time.monotonic()
            proc.send_signal(signal.SIGINT)
            self.assertEqual(proc.wait(timeout=10), expected, ports)
            self.assertLess(time.monotonic() - sent, 2.0, ports)  # the engine stops within 1 s
            self.assertIn(b"%d endpoints, %d outages" % (len(ports), expected), self.output(out)[-1])

    def test_idle_connections_say_how_they_ended(self):
        closer = socket.create_server(("127.0.0.1", 0))  # takes each connection, closes it after 1 s
        self.addCleanup(closer.close)

        def serve():
            for _ in range(3):
                try:
                    connection = closer.accept()[0]
                except OSError:
                    return
                threading.Timer(1.0, connection.close).start()
        threading.Thread(target=serve, daemon=True).start()
        self.write_locals(self.open, closer.getsockname()[1])
        code, out, _ = self.run_cli("--root", self.root, "watch", "--idle", "--duration", "3s",
                                    "--log", self.host_path(self.log))
        ends = [json.loads(l) for l in self.log.read_bytes().splitlines() if b'"idle_end"' in l]
        # The first held by the listener to the end, the second closed by its peer.
        self.assertEqual(sorted((e["ep"], e["how"]) for e in ends)[:2], [(0, "open"), (1, "closed")], ends)
        self.assertTrue(0.8 <= [e for e in ends if e["ep"] == 1][0]["after_s"] <= 2.5, ends)

    def test_the_stored_proxy_is_watched_too_and_a_dead_one_is_an_outage_placed_there(self):
        self.write_locals(self.open)
        proxy = "[DC]\nProxyType=4\nSOCKSProxyServerName=127.0.0.1\nSOCKSProxyPort=%d\n"
        with lab.danted(lab.free_port()) as port:
            self.write("Bin/BaseConfig.ini", proxy % port)
            code, out, _ = self.run_cli("--root", self.root, "watch", "--duration", "2s", "--interval-ms", "300",
                                        "--log", self.host_path(self.log), "--log-samples")
        verdicts = {json.loads(l)["verdict"] for l in self.log.read_bytes().splitlines() if b'"kind":"proxy"' in l}
        self.assertEqual((code, verdicts), (0, {"open-via-proxy"}), out)
        self.write("Bin/BaseConfig.ini", proxy % lab.free_port())  # nothing listens there now
        code, out, _ = self.run_cli("--root", self.root, "--json", "watch", "--duration", "2s",
                                    "--interval-ms", "300")
        outages = json.loads(out)["endpoints"][0]["outages"]
        self.assertEqual(code, 1)
        self.assertEqual([(o["by"], o["place"]) for o in outages], [("proxy", "proxy")])
        self.assertTrue(outages[0]["conclusion"].startswith("the proxy: proxy-unreachable"), outages)


if __name__ == "__main__":
    h.main()
