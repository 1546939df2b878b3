"""Ctrl+C during a test: Ping ends its pass with its end line and the program exits non-zero
(130), natively by SIGINT and SIGTERM, under Wine by SIGINT, which Wine turns into the console's
Ctrl+C event."""
import signal
import time

import cli_test as h


class InterruptCliTest(h.CliCase):
    def setUp(self):
        super().setUp()
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=Loop\n[Loop]\nNMIP=127.0.0.1\n")

    def test_interrupted_ping_prints_its_end_line_at_once_and_exits_130(self):
        signals = [signal.SIGINT] if self.windows else [signal.SIGINT, signal.SIGTERM]
        for sig in signals:
            proc, out = self.start("ping", "0")
            # The header and the first echo: now in the 1 s pause.
            self.assertGreaterEqual(len(self.output(out, 2, proc)), 2, "the run did not start")
            sent = time.monotonic()
            proc.send_signal(sig)
            code = proc.wait(timeout=10)
            lines = self.output(out)
            self.assertEqual((code, lines[0], lines[-1]), (130, b"Ping 127.0.0.1 [127.0.0.1]", b"End "), sig)
            self.assertLess(len(lines), 7, "the five echoes ran to their end")  # 1 + 5 + End
            self.assertLess(time.monotonic() - sent, 2.0, sig)


if __name__ == "__main__":
    h.main()
