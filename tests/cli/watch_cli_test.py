"""watch and watch-summary on loopback: a port that listens and one that refuses, the log read
back, a watch killed with SIGKILL still leaving a readable log, Ctrl+C as the normal end (exit 0
without an outage, 1 with one), bad options exit 2."""
import json
import pathlib
import signal
import socket
import sys
import threading
import time

import cli_test as h

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "proxy"))
import proxy_lab as lab  # noqa: E402


class WatchCliTest(h.CliCase):
    def setUp(self):
        super().setUp()
        self.open, self.closed = self.loopback_ports()
        self.log = self.dir / "watch.jsonl"

    def client(self, *ports):
        lines = ["[Local]", "Count=%d" % len(ports)]
        for i, port in enumerate(ports, 1):
            lines += ["IP_%d=127.0.0.1" % i, "Port_%d=%d" % (i, port)]
        self.write("Sys/VekTradedesk.ini", "\n".join(lines) + "\n")

    def wait_for_log(self, text, seconds=30):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if self.log.exists() and text in self.log.read_bytes():
                return
            time.sleep(0.05)
        self.fail("the log never held " + text.decode())

    def summary(self, *args):
        code, out, err = self.run_cli("--json", "watch-summary", self.host_path(self.log), *args)
        return code, json.loads(out), err

    def test_watch_finds_the_refusing_port_and_its_log_gives_the_same_summary(self):
        self.client(self.open, self.closed)
        code, out, _ = self.run_cli("--root", self.root, "watch", "--duration", "4s", "--interval-ms", "500",
                                    "--log", self.host_path(self.log))
        lines = out.decode("cp950" if self.windows else "utf-8").splitlines()
        self.assertEqual(code, 1, out)
        self.assertTrue(any("127.0.0.1:%d  outage 1 opened (connect)" % self.closed in l for l in lines), lines)
        self.assertTrue(any("outage 1 placed: broker_host" in l for l in lines), lines)
        self.assertEqual(lines[-1], "2 endpoints, 1 outages")
        code, summary, _ = self.summary()
        self.assertEqual(code, 1)
        up, down = summary["endpoints"]
        self.assertEqual((up["port"], up["lost"], up["outages"]), (self.open, 0, []))
        self.assertEqual((down["port"], down["lost"]), (self.closed, down["samples"]))
        self.assertEqual([o["place"] for o in down["outages"]], ["broker_host"])
        # The watch's own summary is the log's.
        code, out, _ = self.run_cli("watch-summary", self.host_path(self.log))
        self.assertEqual(out.decode("utf-8" if not self.windows else "cp950").splitlines()[-1], lines[-1])

    def test_a_watch_killed_with_sigkill_leaves_a_log_that_watch_summary_reads(self):
        self.client(self.open, self.closed)
        proc, _ = self.start("watch", "--interval-ms", "200", "--log", self.host_path(self.log), "--log-samples")
        self.wait_for_log(b'"outage_open"')
        proc.kill()
        proc.wait(timeout=10)
        code, summary, err = self.summary()
        self.assertEqual(code, 1, err)
        self.assertEqual(len(summary["endpoints"][1]["outages"]), 1)
        self.assertIsNone(summary["endpoints"][1]["outages"][0]["end"])

    def test_ctrl_c_is_the_normal_end_exit_0_without_an_outage_1_with_one(self):
        for ports, expected in (((self.open,), 0), ((self.open, self.closed), 1)):
            self.client(*ports)
            proc, out = self.start("watch", "--interval-ms", "300")
            # Once the endpoints are seen up (or the outage placed): a slow start under Wine on a
            # busy machine must not turn "1 with an outage" into "0, stopped before it opened".
            seen = b"outage 1 placed" if expected else b"-> up"
            deadline = time.monotonic() + 30
            while time.monotonic() < deadline and proc.poll() is None:
                if any(seen in line for line in self.output(out)):
                    break
                time.sleep(0.05)
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
        self.client(self.open, closer.getsockname()[1])
        code, out, _ = self.run_cli("--root", self.root, "watch", "--idle", "--duration", "3s",
                                    "--log", self.host_path(self.log))
        ends = [json.loads(l) for l in self.log.read_bytes().splitlines() if b'"idle_end"' in l]
        # The first held by the listener to the end, the second closed by its peer.
        self.assertEqual(sorted((e["ep"], e["how"]) for e in ends)[:2], [(0, "open"), (1, "closed")], ends)
        self.assertTrue(0.8 <= [e for e in ends if e["ep"] == 1][0]["after_s"] <= 2.5, ends)

    def test_the_stored_proxy_is_watched_too_and_a_dead_one_is_an_outage_placed_there(self):
        self.client(self.open)
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
