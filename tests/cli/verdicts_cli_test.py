"""reachkit-cli check on loopback as a support desk reads it: the conclusion first, an empty host
as no-host, ports as typed; files that are there but cannot be read named so; a failed write
to stdout is a failure."""
import json
import os
import subprocess

import cli_test as h


class VerdictsCliTest(h.CliCase):
    def setUp(self):
        super().setUp()
        self.open, self.closed = self.loopback_ports()
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=Order1\n[Order1]\nNMIP=127.0.0.1\n")

    def check(self, *args):
        code, out, err = self.run_cli("--root", self.root, "--json", "check", "--timeout-ms", "2000", *args)
        return code, json.loads(out), err

    def test_conclusion_opens_the_check_and_places_each_break(self):
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d\n" % self.open)
        code, doc, _ = self.check()
        self.assertEqual((code, doc["conclusion"]["code"], list(doc)[0]), (0, "all_open", "conclusion"))
        self.assertFalse(doc["interrupted"])
        self.assertFalse(doc["network"]["gateway_echoed"], "loopback never sends to a gateway")

        # An empty host, a refused port and a port typed as no number, at once.
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d,8o8\n" % self.closed)
        self.write("Sys/VekTradedesk.ini", "[Local]\nCount=1\nIP_1=\nPort_1=%d\n" % self.open)
        code, doc, _ = self.check()
        self.assertEqual(code, 1)
        self.assertEqual((doc["conclusion"]["code"], doc["conclusion"]["places"]),
                         ("several", ["broker_host", "configuration"]))
        self.assertEqual([(e["verdict"], e["port_text"]) for e in doc["endpoints"]],
                         [("refused", None), ("error", "8o8"), ("no-host", None)])
        self.assertEqual(doc["summary"]["no-host"], 1)
        self.assertFalse(doc["network"]["gateway_echoed"])

        code, out, _ = self.run_cli("--root", self.root, "check", "--timeout-ms", "2000")
        text = out.decode("cp950" if self.windows else "utf-8")
        self.assertIn("\nconclusion: several breaks at once: the broker's host: 127.0.0.1 is reached", text)
        self.assertIn("127.0.0.1:8o8", text)
        self.assertRegex(text, r"\n1 +-:%d  the entry has no host to test\n" % self.open)

    def test_files_that_cannot_be_read_are_named_so_and_fail_the_commands_needing_them(self):
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d\n" % self.open)
        (self.dir / "Sys/VekTradedesk.ini").mkdir(parents=True)  # a folder in the file's place
        code, out, err = self.run_cli("--root", self.root, "hosts")
        self.assertEqual((code, out), (1, b""))
        self.assertIn(b"VekTradedesk.ini is unreadable: ", err)
        self.assertEqual(self.run_cli("--root", self.root, "check")[0], 1)
        code, out, _ = self.run_cli("--root", self.root, "--json", "report", "--no-diagnose")
        files = {f["name"]: f for f in json.loads(out)["files"]}
        self.assertEqual(code, 0)
        self.assertTrue(files["host_file"]["exists"])
        self.assertTrue(files["host_file"]["unreadable"])
        self.assertIsNone(files["base_configuration"]["unreadable"])

    def test_a_failed_write_to_stdout_exits_1(self):
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d\n" % self.open)
        # Under Wine straight, not through the launcher, which copies the output from a file.
        env = dict(os.environ, WINEDEBUG="-all", LC_ALL="zh_TW.UTF-8")
        with open("/dev/full", "wb") as full:
            proc = subprocess.run(["wine"] * self.windows + [h.CLI, "--root", self.root, "hosts"],
                                  stdout=full, stderr=subprocess.PIPE, timeout=120, env=env)
        self.assertEqual(proc.returncode, 1)
        self.assertIn(b"cannot write to standard output", proc.stderr)


if __name__ == "__main__":
    h.main()
