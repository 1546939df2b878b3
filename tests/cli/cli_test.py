"""reachkit-cli as support staff use it: host list, preference line, the three
tests on loopback, and its answers to bad input."""
import os
import shutil
import unittest

import cli_harness as h
from cli_harness import big5

QUOTE = ("[Tradedesk]\nName=Order1,台北Quote,\n[Order1]\nNMIP=127.0.0.1\n"
         "[台北Quote]\nNMIP=localhost\n")
HOSTS = "[Local]\nCount=2\nIP_1=127.0.0.2\nPort_1={open}\nIP_2=127.0.0.1\n"


class CliTest(unittest.TestCase):
    def setUp(self):
        self.cli = h.cli()
        self.tree = h.ClientTree()
        self.listener = h.Listener()
        self.closed = h.closed_port()
        self.tree.write("Sys/ZentickConSet.ini", QUOTE)
        self.tree.write("Bin/BaseConfig.ini",
                        "[DC]\nClientToNMPortTry={},{}\n".format(self.closed, self.listener.port))
        self.tree.write("Sys/VekTradedesk.ini", HOSTS.format(open=self.listener.port))
        self.root = self.cli.host_path(self.tree.root)

    def tearDown(self):
        self.listener.close()
        self.tree.cleanup()

    def test_hosts_lists_index_and_label_in_combo_order(self):
        code, lines, _ = self.cli.lines("--root", self.root, "hosts")
        self.assertEqual(code, 0)
        self.assertEqual(lines, [
            big5("0\t交易主機-Order1 : 127.0.0.1"),
            big5("1\t報價主機-台北Quote : localhost"),
            big5("2\t報價主機- : "),
            big5("3\t交易主機-1 : 127.0.0.2:%d" % self.listener.port),
            big5("4\t交易主機-2 : 127.0.0.1:0"),
        ])

    def test_raw_output_is_the_code_page_bytes(self):
        code, out, _ = self.cli.run("--raw", "--root", self.root, "hosts")
        self.assertEqual(code, 0)
        self.assertIn(big5("報價主機-台北Quote : localhost"), out)
        if not self.cli.windows:
            code, out, _ = self.cli.run("--root", self.root, "hosts")
            self.assertIn("報價主機-台北Quote".encode("utf-8"), out)

    def test_bytes_that_do_not_convert_are_shown_not_dropped(self):
        if self.cli.windows:
            self.skipTest("the Windows console takes the bytes as they are")
        self.tree.write("Sys/ZentickConSet.ini",
                        b"[Tradedesk]\r\nName=Bad\xffName\r\n")
        code, out, _ = self.cli.run("--root", self.root, "hosts")
        self.assertEqual(code, 0)
        self.assertIn("Bad\ufffdName".encode("utf-8"), out)

    def test_empty_tree_lists_nothing_and_preference_shows_no_records(self):
        empty = h.ClientTree()
        try:
            root = self.cli.host_path(empty.root)
            self.assertEqual(self.cli.lines("--root", root, "hosts")[:2], (0, []))
            self.assertEqual(self.cli.lines("--root", root, "preference")[:2],
                             (0, [big5("成功連線： - 　　優先連線： - ")]))
            # Every test then fails at resolution, as the window does.
            code, lines, _ = self.cli.lines("--root", root, "telnet", "0")
            self.assertEqual((code, lines), (1, [b"Get Host From ComboBox Failed !"]))
        finally:
            empty.cleanup()

    def test_preference_line(self):
        self.tree.write("Sys/Reachkit.ini", "[Priority]\nCombo=台北Quote,8000,8001\n")
        self.assertEqual(self.cli.lines("--root", self.root, "preference")[:2],
                         (0, [big5("成功連線： - 　　優先連線：台北Quote　8000　8001")]))

    def test_telnet_reports_each_port_until_one_connects(self):
        code, lines, _ = self.cli.lines("--root", self.root, "telnet", "0")
        self.assertEqual(code, 0)
        self.assertEqual(lines, [
            b"Telnet 127.0.0.1 [127.0.0.1]",
            big5("連線失敗，127.0.0.1：%d" % self.closed),
            big5("連線成功，127.0.0.1：%d" % self.listener.port),
        ])

    def test_local_entry_without_port_fails_resolution(self):
        for command in ("ping", "trace", "telnet"):
            code, lines, _ = self.cli.lines("--root", self.root, command, "4")
            self.assertEqual((code, lines), (1, [b"Order Port Size Error!"]), command)

    def test_ping_and_trace_on_loopback(self):
        code, lines, _ = self.cli.lines("--root", self.root, "ping", "0", timeout=60)
        self.assertEqual(code, 0, lines)
        self.assertEqual(lines[0], b"Ping 127.0.0.1 [127.0.0.1]")
        self.assertEqual(len(lines), 7)
        for seq, line in enumerate(lines[1:6]):
            self.assertRegex(line.decode(), r"^32 bytes from 127\.0\.0\.1: icmp_seq = %d\. time: \d+ ms$" % seq)
        self.assertEqual(lines[6], b"End ")

        code, lines, _ = self.cli.lines("--root", self.root, "trace", "1", timeout=60)
        self.assertEqual(code, 0, lines)
        self.assertEqual(lines[0], b"TraceRT localhost [127.0.0.1]")
        self.assertRegex(lines[1].decode("cp950"), r"^第1個路由器，IP地址：127\.0\.0\.1用時：\d+毫秒$")
        self.assertEqual(lines[2:], [big5("目標到達")])

    def test_usage_errors_exit_2_with_one_line(self):
        for args in ([], ["bogus"], ["ping"], ["ping", "x"], ["ping", "-1"], ["ping", "99"],
                     ["--root"], ["--nope", "hosts"], ["hosts", "extra"]):
            code, out, err = self.cli.run(*(["--root", self.root] if args[:1] != ["--root"] else []), *args)
            self.assertEqual(code, 2, args)
            self.assertEqual(len(err.replace(b"\r\n", b"\n").strip().split(b"\n")), 1, (args, err))
            self.assertEqual(out, b"", args)

    def test_missing_root_exits_1_and_names_it(self):
        missing = os.path.join(self.tree.root, "no-such-client")
        code, out, err = self.cli.run("--root", self.cli.host_path(missing), "hosts")
        self.assertEqual(code, 1)
        self.assertIn(b"no-such-client", err)

    def test_help(self):
        code, out, _ = self.cli.run("--help")
        self.assertEqual(code, 0)
        self.assertIn(b"usage: reachkit-cli", out)

    def test_default_root_is_the_folder_above_the_program(self):
        # As in the field: the program in a sub-folder of the client root.
        program = os.path.join(self.tree.root, "Reachkit", os.path.basename(self.cli.path))
        os.makedirs(os.path.dirname(program))
        shutil.copy2(self.cli.path, program)
        placed = h.Cli(program, self.cli.wine)
        code, lines, _ = placed.lines("hosts")
        self.assertEqual(code, 0)
        self.assertEqual(len(lines), 5)


if __name__ == "__main__":
    h.main()
