"""Ctrl+C during a test: Ping ends its pass with its end line and the program exits non-zero
(130), natively by SIGINT and SIGTERM, under Wine by SIGINT, which Wine turns into the console's
Ctrl+C event."""
import os
import signal
import subprocess
import tempfile
import time

import cli_test as h


class InterruptCliTest(h.CliCase):
    def setUp(self):
        super().setUp()
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=Loop\n[Loop]\nNMIP=127.0.0.1\n")

    def start(self, *args):
        """The program with its output in a file (Wine's first process may hold a pipe open)."""
        out = tempfile.TemporaryFile(dir=self.dir)
        command = ["wine"] * self.windows + [h.CLI, "--root", self.root, *args]
        env = dict(os.environ, WINEDEBUG="-all", LC_ALL="zh_TW.UTF-8")
        proc = subprocess.Popen(command, stdout=out, stderr=subprocess.DEVNULL, env=env)
        self.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
        return proc, out

    def output(self, out):
        out.seek(0)
        return out.read().replace(b"\r\n", b"\n").splitlines()

    def wait_for_lines(self, proc, out, count, seconds=60):
        deadline = time.monotonic() + seconds
        while len(self.output(out)) < count and proc.poll() is None and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertGreaterEqual(len(self.output(out)), count, "the run did not start")

    def test_interrupted_ping_prints_its_end_line_at_once_and_exits_130(self):
        signals = [signal.SIGINT] if self.windows else [signal.SIGINT, signal.SIGTERM]
        for sig in signals:
            proc, out = self.start("ping", "0")
            self.wait_for_lines(proc, out, 2)  # header and the first echo: now in the 1 s pause
            sent = time.monotonic()
            proc.send_signal(sig)
            code = proc.wait(timeout=10)
            lines = self.output(out)
            self.assertEqual((code, lines[0], lines[-1]), (130, b"Ping 127.0.0.1 [127.0.0.1]", b"End "), sig)
            self.assertLess(len(lines), 7, "the five echoes ran to their end")  # 1 + 5 + End
            self.assertLess(time.monotonic() - sent, 2.0, sig)


if __name__ == "__main__":
    h.main()
