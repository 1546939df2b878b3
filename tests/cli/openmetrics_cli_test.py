"""watch --openmetrics read by the real Prometheus node exporter's textfile collector (on
127.0.0.1 only): Reachkit's series with the values the watch saw, natively and, for the Windows
build, from the file the program wrote under Wine."""
import socket
import subprocess
import time
import urllib.request

import cli_test as h

EXPORTER = "/usr/bin/prometheus-node-exporter"


class OpenMetricsCliTest(h.CliCase):
    def test_node_exporter_serves_the_watch_series_with_their_values(self):
        listening, refusing = self.loopback_ports()
        self.write("Sys/VekTradedesk.ini", "[Local]\nCount=2\nIP_1=127.0.0.1\nPort_1=%d\n"
                   "IP_2=127.0.0.1\nPort_2=%d\n" % (listening, refusing))
        folder = self.dir / "textfiles"
        folder.mkdir()
        code, out, _ = self.run_cli("--root", self.root, "watch", "--duration", "3s", "--interval-ms", "300",
                                    "--openmetrics", self.host_path(folder / "reachkit.prom"))
        self.assertEqual(code, 1, out)  # the refusing port is an outage
        code, _, err = self.run_cli("--root", self.root, "watch", "--duration", "1s", "--openmetrics",
                                    self.host_path(self.dir / "missing" / "reachkit.prom"))
        self.assertEqual((code, err.count(b"\n")), (1, 1), err)  # said at the start, not never

        with socket.socket() as spare:
            spare.bind(("127.0.0.1", 0))
            port = spare.getsockname()[1]
        exporter = subprocess.Popen([EXPORTER, "--web.listen-address=127.0.0.1:%d" % port,
                                     "--collector.disable-defaults", "--collector.textfile",
                                     "--collector.textfile.directory=%s" % folder],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (exporter.kill(), exporter.wait()))
        deadline, text = time.monotonic() + 15, None
        while text is None and time.monotonic() < deadline:
            try:
                with urllib.request.urlopen("http://127.0.0.1:%d/metrics" % port, timeout=2) as reply:
                    text = reply.read().decode("utf-8")
            except OSError:
                time.sleep(0.1)
        self.assertIsNotNone(text, "the node exporter did not answer")
        self.assertIn("\nnode_textfile_scrape_error 0\n", text)
        series = {}
        for line in text.splitlines():
            if line.startswith("reachkit_"):
                name, value = line.rsplit(" ", 1)
                series[name] = float(value)

        def value(metric, port):
            for name, number in series.items():
                if name.startswith(metric + "{") and 'port="%d"' % port in name:
                    return number
            self.fail("%s for port %d missing: %s" % (metric, port, sorted(series)))

        # The series' names, labels and units are the core's unit test; here the values seen.
        self.assertEqual([value(metric, port) for metric in ("reachkit_endpoint_up", "reachkit_outages_total")
                          for port in (listening, refusing)], [1, 0, 0, 1])
        self.assertEqual(value("reachkit_connect_seconds_count", refusing), 0)
        self.assertGreaterEqual(value("reachkit_connect_seconds_count", listening), 8)


if __name__ == "__main__":
    h.main()
