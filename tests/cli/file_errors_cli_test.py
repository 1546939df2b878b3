"""reachkit-cli's answers when its files or its output fail: files that are there but cannot be
read named so, a failed write to stdout a failure. The check's verdicts, causes and conclusion
end to end are the namespace test's (tests/net/check_test.sh), field by field."""
import json
import subprocess

import cli_test as h


class FileErrorsCliTest(h.CliCase):
    def setUp(self):
        super().setUp()
        self.open, self.closed = self.loopback_ports()
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=Order1\n[Order1]\nNMIP=127.0.0.1\n")

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
        with open("/dev/full", "wb") as full:
            proc = subprocess.run(["wine"] * self.windows + [h.CLI, "--root", self.root, "hosts"],
                                  stdout=full, stderr=subprocess.PIPE, timeout=120, env=h.ENV)
        self.assertEqual(proc.returncode, 1)
        self.assertIn(b"cannot write to standard output", proc.stderr)


if __name__ == "__main__":
    h.main()
