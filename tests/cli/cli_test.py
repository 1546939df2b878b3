"""reachkit-cli as support staff use it (the Windows build under Wine through --wine LAUNCHER):
host list, set-preference and proxy, in lines and as --json documents (UTF-8, the same findings
field by field), exit codes, its answers to bad input, to Ctrl+C, to files it cannot read or write,
and to folder names in code page 950. The tests' lines themselves are the runs' unit tests' and,
over a real path, the namespace tests'."""
import json
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

CLI, WINE = None, None
DEMO = pathlib.Path(__file__).resolve().parents[2] / "demo"
PROXY_KEYS = ["ProxyType", "ProxyServerName", "ProxyPort", "UserName", "UserPassword",
              "SOCKSProxyServerName", "SOCKSProxyPort", "SOCKSUserName", "SOCKSUserPassword"]
ENV = dict(os.environ, WINEDEBUG="-all", LC_ALL="zh_TW.UTF-8")


def big5(text):
    return text.encode("cp950")


class CliCase(unittest.TestCase):
    """A fresh client tree per test; texts are compared as code page 950 bytes."""
    def setUp(self):
        self.windows, self.dir = WINE is not None, pathlib.Path(tempfile.mkdtemp(prefix="rk-cli-"))
        self.addCleanup(shutil.rmtree, self.dir)
        self.root = self.host_path(self.dir)

    def loopback_ports(self):
        """A port that listens on 127.0.0.1 for the whole test, and one that refuses there."""
        listener = socket.create_server(("127.0.0.1", 0))
        self.addCleanup(listener.close)
        with socket.create_server(("127.0.0.1", 0)) as spare:
            return listener.getsockname()[1], spare.getsockname()[1]

    def host_path(self, path):
        return "Z:" + str(path).replace("/", "\\") if self.windows else str(path)

    def write(self, relative, text):  # text as Big5 with CRLF, bytes as they are
        (self.dir / relative).parent.mkdir(parents=True, exist_ok=True)
        (self.dir / relative).write_bytes(
            big5(text.replace("\n", "\r\n")) if isinstance(text, str) else text)

    def read(self, relative):
        return (self.dir / relative).read_bytes() if (self.dir / relative).exists() else None

    def run_cli(self, *args, program=None):
        command = [WINE] * self.windows + [program or CLI, *args]
        proc = subprocess.run(command, capture_output=True, timeout=120)
        return (proc.returncode, *(o.replace(b"\r\n", b"\n") for o in (proc.stdout, proc.stderr)))

    def start(self, *args):
        """The program left running, its output in a file (Wine's first process may hold a pipe
        open); under Wine straight, not through the launcher, which copies the output from a file."""
        out = tempfile.TemporaryFile(dir=self.dir)
        self.addCleanup(out.close)
        proc = subprocess.Popen(["wine"] * self.windows + [CLI, "--root", self.root, *args], stdout=out,
                                stderr=subprocess.DEVNULL, env=ENV)
        self.addCleanup(lambda: proc.poll() is None and (proc.kill(), proc.wait()))
        return proc, out

    def output(self, out):
        """The lines `start`'s program has written so far."""
        out.seek(0)
        return out.read().replace(b"\r\n", b"\n").splitlines()

    def until(self, found, seconds=30):
        """found()'s first true value, polled for at most `seconds`; else its last one."""
        deadline = time.monotonic() + seconds
        while not (value := found()) and time.monotonic() < deadline:
            time.sleep(0.05)
        return value

    def write_locals(self, *ports):
        """The host file's Local list: one 127.0.0.1 entry per port."""
        self.write("Sys/VekTradedesk.ini", "[Local]\nCount=%d\n" % len(ports) + "".join(
            "IP_%d=127.0.0.1\nPort_%d=%d\n" % (i, i, port) for i, port in enumerate(ports, 1)))

    def document(self, *args, code=0):
        """The --json document of a command on the client tree, which must exit with `code`."""
        rc, out, err = self.run_cli("--root", self.root, "--json", *args)
        self.assertEqual(rc, code, (args, err))
        return json.loads(out.decode("utf-8"))

    def lines(self, *args, **kwargs):
        """Exit code, stdout lines as code page 950 bytes (natively UTF-8 unless --raw), stderr."""
        code, out, err = self.run_cli(*args, **kwargs)
        if not self.windows and "--raw" not in args:
            out = out.decode("utf-8").encode("cp950", errors="replace")
        return code, out.splitlines(), err


def main():  # arguments: --cli PROGRAM [--wine LAUNCHER]
    global CLI, WINE
    options = dict(zip(sys.argv[1::2], sys.argv[2::2]))
    CLI, WINE = options["--cli"], options.get("--wine")
    unittest.main(argv=sys.argv[:1])


class CliTest(CliCase):
    def setUp(self):
        super().setUp()
        self.open, self.closed = self.loopback_ports()
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=Order1,台北Quote,\n"
                   "[Order1]\nNMIP=127.0.0.1\n[台北Quote]\nNMIP=localhost\n")
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d,%d,%d\n"
                   % (self.closed, self.open, self.closed))
        self.write("Sys/VekTradedesk.ini",
                   "[Local]\nCount=2\nIP_1=127.0.0.2\nPort_1=%d\nIP_2=127.0.0.1\n" % self.open)

    def cli(self, *args):
        return self.lines("--root", self.root, *args)[:2]

    def test_hosts_lists_index_tab_label_in_combo_order_in_utf8_or_raw_bytes(self):
        labels = [big5(l) for l in ("0\t交易主機-Order1 : 127.0.0.1", "1\t報價主機-台北Quote : localhost",
                                    "2\t報價主機- : ", "3\t交易主機-1 : 127.0.0.2:%d" % self.open,
                                    "4\t交易主機-2 : 127.0.0.1:0")]
        self.assertEqual(self.cli("hosts"), (0, labels))
        self.assertEqual(self.cli("--raw", "hosts"), (0, labels))
        doc, ports = self.document("hosts"), [self.closed, self.open, self.closed]
        self.assertEqual((doc["client_root"], [(b"%d\t" % h["index"] + big5(h["label"]), h["host"], h["group"],
                                                h["ports"]) for h in doc["hosts"]]),
                         (self.root, list(zip(labels, ["127.0.0.1", "localhost", "", "127.0.0.2", "127.0.0.1"],
                                              ["server"] * 3 + ["local"] * 2, [ports] * 3 + [[self.open], []]))))

    def test_json_gives_the_probes_as_data_and_their_lines(self):
        ping = self.document("ping", "0")
        self.assertEqual({k: ping[k] for k in ("command", "index", "label", "host", "address", "answered",
                                               "interrupted")},
                         {"command": "ping", "index": 0, "label": "交易主機-Order1 : 127.0.0.1", "host": "127.0.0.1",
                          "address": "127.0.0.1", "answered": True, "interrupted": False})
        self.assertEqual([(e["seq"], e["answered"], e["address"], e["error_code"]) for e in ping["echoes"]],
                         [(i, True, "127.0.0.1", 0) for i in range(5)])
        self.assertEqual((len(ping["lines"]), ping["lines"][-1]), (7, "End "))
        telnet = self.document("telnet", "0")
        self.assertEqual((telnet["ports"], telnet["attempts"], telnet["answered"], telnet["lines"][1:]), (
            [self.closed, self.open, self.closed], [{"port": self.closed, "connected": False},
                                                    {"port": self.open, "connected": True}], True,
            ["連線失敗，127.0.0.1：%d" % self.closed, "連線成功，127.0.0.1：%d" % self.open]))

    def test_exit_code_says_whether_the_target_answered_or_there_are_no_hosts(self):
        # Entry 3 is 127.0.0.2 on the port that listens on 127.0.0.1 only: refused.
        self.assertEqual(self.cli("telnet", "3"), (1, [
            b"Telnet 127.0.0.2 [127.0.0.2]", big5("連線失敗，127.0.0.2：%d" % self.open)]))
        self.assertEqual(self.cli("telnet", "1")[0], 0)  # a name resolved, then a port connected
        self.assertEqual(self.cli("trace", "4"), (1, [b"Order Port Size Error!"]))  # a Local entry without a port
        empty = self.host_path(self.dir / "Bin")  # a folder with no client configuration
        for args, lines in ((["hosts"], []), (["ping", "0"], [b"Get Host From ComboBox Failed !"]),
                            (["telnet", "5"], [b"Get Host From ComboBox Failed !"])):
            code, out, err = self.lines("--root", empty, *args)
            self.assertEqual((code, out, err.count(b"\n"), b"no hosts" in err), (3, lines, 1, True), args)

    def test_usage_errors_exit_2_with_one_line_on_stderr(self):
        for args in ([], ["bogus"], ["ping"], ["ping", "x"], ["ping", "-1"], ["ping", "99"],
                     ["--nope", "hosts"], ["hosts", "extra"], ["set-preference", "Order1", "80"],
                     ["proxy", "x"], ["--root"], ["telnet", "--port", "1"], ["rank", "--rounds", "0"],
                     ["--json", "proxy", "--show-passwords"],
                     ["watch", "--openmetrics", "metrics.txt"], ["watch", "--interval-ms", "0"],
                     ["watch", "--echo-interval-ms", "0"], ["watch", "--duration", "0"], ["watch", "--duration", "soon"],
                     ["watch", "--timeout-ms", "0"], ["watch", "--log-samples"],
                     ["watch-summary", "w.jsonl", "--from", "yesterday"],
                     ["watch-summary", "w.jsonl", "--to", "2026-12-07T25:00"]):
            code, out, err = self.run_cli("--root", self.root, *args)
            self.assertEqual((code, out, err.count(b"\n"), err[-1:]), (2, b"", 1, b"\n"), args)

    def test_missing_root_exits_1_naming_it(self):  # the default root: the code page 950 folders' test
        code, _, err = self.run_cli("--root", self.host_path(self.dir / "nowhere"), "hosts")
        self.assertEqual((code, b"nowhere" in err), (1, True), err)


    def test_interrupted_ping_prints_its_end_line_at_once_and_exits_130(self):
        # Natively by SIGINT and SIGTERM, under Wine by SIGINT, which Wine turns into the
        # console's Ctrl+C event.
        for sig in [signal.SIGINT] + [signal.SIGTERM] * (not self.windows):
            proc, out = self.start("ping", "0")
            # The header and the first echo: now in the 1 s pause.
            self.assertTrue(self.until(lambda: len(self.output(out)) >= 2), "the run did not start")
            sent = time.monotonic()
            proc.send_signal(sig)
            code = proc.wait(timeout=10)
            lines = self.output(out)
            self.assertEqual((code, lines[0], lines[-1]), (130, b"Ping 127.0.0.1 [127.0.0.1]", b"End "), sig)
            self.assertLess(len(lines), 7, "the five echoes ran to their end")  # 1 + 5 + End
            self.assertLess(time.monotonic() - sent, 2.0, sig)

    def test_files_that_cannot_be_read_are_named_so_and_fail_the_commands_needing_them(self):
        (self.dir / "Sys/VekTradedesk.ini").unlink()
        (self.dir / "Sys/VekTradedesk.ini").mkdir()  # a folder in the file's place
        code, out, err = self.run_cli("--root", self.root, "hosts")
        self.assertEqual((code, out), (1, b""))
        self.assertIn(b"VekTradedesk.ini is unreadable: ", err)
        self.assertEqual(self.run_cli("--root", self.root, "check")[0], 1)
        files = {f["name"]: f for f in self.document("report", "--no-diagnose")["files"]}
        self.assertTrue(files["host_file"]["exists"] and files["host_file"]["unreadable"], files)
        self.assertIsNone(files["base_configuration"]["unreadable"])

    def test_a_failed_write_to_stdout_exits_1(self):
        # Under Wine straight, not through the launcher, which copies the output from a file.
        with open("/dev/full", "wb") as full:
            proc = subprocess.run(["wine"] * self.windows + [CLI, "--root", self.root, "hosts"],
                                  stdout=full, stderr=subprocess.PIPE, timeout=120, env=ENV)
        self.assertEqual(proc.returncode, 1)
        self.assertIn(b"cannot write to standard output", proc.stderr)

    def test_folders_whose_names_end_in_a_backslash_byte_are_found_from_their_root_and_inside(self):
        # The last character's second byte in code page 950 is the separator "\\" (功 A5 5C,
        # 許 B3 5C, 蓋 BB 5C): found with --root given with a trailing separator, and from a copy
        # of the program inside the tree without --root. Under Wine the paths are code page 950
        # end to end; natively the same names are UTF-8.
        sep = "\\" if self.windows else "/"
        for folder, tools in (("台北 功/sub 許", "工具 蓋"), ("蓋", "功")):
            for sub in ("Sys", "Bin"):
                shutil.copytree(DEMO / sub, self.dir / folder / sub)
            program = self.dir / folder / tools / os.path.basename(CLI)
            program.parent.mkdir()
            shutil.copy2(CLI, program)
            root = self.host_path(self.dir / folder)
            for args, runner in ((["--root", root + sep], None), ([], str(program))):
                with self.subTest(folder=folder, args=args):
                    code, lines, err = self.lines(*args, "hosts", program=runner)
                    self.assertEqual((code, lines[1:3]), (0, [big5("1\t交易主機-台北Order2 : localhost"),
                                                             big5("2\t報價主機-Quote1 : 127.0.0.2")]), err)


    def test_set_preference_refusals_write_nothing_and_a_confirmed_one_prints_the_label(self):
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=Northeast,North,台北\n")
        # The form's rules are its unit test: here a refusal's way out of the process.
        for args, message in ((("north", "80", "81"), "沒有選擇連線位置"),  # only the exact name
                              (("North", "80", "8o"), "Port必須是正整數")):
            self.assertEqual(self.run_cli("--raw", "--root", self.root, "set-preference", *args),
                             (1, b"", big5(message + "\n")), args)
        self.assertIsNone(self.read("Sys/Reachkit.ini"))
        self.assertEqual(self.lines("--root", self.root, "set-preference", "台北", "080", "65535"),
                         (0, [big5("成功連線： - 　　優先連線：台北　80　65535")], b""))
        self.assertIn(big5("[Priority]\r\nCombo=台北,80,65535\r\n"), self.read("Sys/Reachkit.ini"))
        self.assertEqual(self.document("preference"), {
            "line": "成功連線： - 　　優先連線：台北　80　65535", "success": None,
            "priority": {"location": "台北", "nm_port": 80, "ps_port": 65535}})

    def test_proxy_prints_the_nine_keys_of_both_files_and_masks_passwords_unless_asked(self):
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=8000\nProxyType=1\n"
                   "ProxyServerName=192.0.2.8\nProxyPort=3128\nUserName=hu\nUserPassword=Http-Pw-7\n")
        self.write("Sys/Reachkit.ini", "[DC]\nProxyType=4\nSOCKSProxyServerName=198.51.100.1\n"
                   "SOCKSProxyPort=1080\nSOCKSUserName=su\nSOCKSUserPassword=Socks-Pw-9\n")
        before = self.read("Sys/Reachkit.ini"), self.read("Bin/BaseConfig.ini")

        def block(title, relative, *values):
            return [("%s: %s" % (title, self.host_path(self.dir / relative))).encode()] + [
                (("%s=%s" % (k, v)) if v is not None else ("%s (missing)" % k)).encode()
                for k, v in zip(PROXY_KEYS, values)]
        master = [("master copy (the dialog loads it): %s"
                   % self.host_path(self.dir / "Sys/Reachkit.ini")).encode()]
        for args, tool_password, base_password in (([], "********", "********"),
                                                   (["--show-passwords"], "Socks-Pw-9", "Http-Pw-7")):
            self.assertEqual(self.lines("--root", self.root, "proxy", *args), (0, master + block(
                "tool settings", "Sys/Reachkit.ini",
                "4", None, None, None, None, "198.51.100.1", "1080", "su", tool_password) + block(
                "base configuration", "Bin/BaseConfig.ini",
                "1", "192.0.2.8", "3128", "hu", base_password, None, None, None, None), b""))
        # As data: which of the nine keys each file holds, and never a password.
        doc = self.document("proxy")
        self.assertEqual((doc["master_copy"], [[k for k, held in f["stored"].items() if held] for f in doc["files"]]),
                         (self.host_path(self.dir / "Sys/Reachkit.ini"), [PROXY_KEYS[:1] + PROXY_KEYS[5:], PROXY_KEYS[:5]]))
        self.assertNotIn("-Pw-", json.dumps(doc))
        # Only reads: the copy that opening the dialog makes is not made here.
        self.assertEqual((self.read("Sys/Reachkit.ini"), self.read("Bin/BaseConfig.ini")), before)


if __name__ == "__main__":
    main()
