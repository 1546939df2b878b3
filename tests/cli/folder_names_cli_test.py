"""reachkit-cli on the demo client copied into folders a Windows user may have: Chinese names,
blanks, and a last character whose second byte in code page 950 is the separator "\\" (功 A5 5C,
許 B3 5C, 蓋 BB 5C). Each command is run with --root (also with a trailing separator) and from a
copy of the program inside the tree, without --root; the Windows build runs under Wine, natively
the same names are UTF-8."""
import json
import os
import pathlib
import shutil

import cli_test as h
from cli_test import big5

DEMO = pathlib.Path(__file__).resolve().parents[2] / "demo"
# (client root below the temporary folder, folder of the program copied into it)
FOLDERS = (("台北 功/sub 許", "工具 蓋"), ("蓋", "功"))


class FolderNamesCliTest(h.CliCase):
    def setUp(self):
        super().setUp()
        self.open, self.closed = self.loopback_ports()

    def client(self, folder):
        """The demo tree in `folder`, its ports those of this test; returns the root for --root."""
        for sub in ("Sys", "Bin"):
            shutil.copytree(DEMO / sub, self.dir / folder / sub)
            for file in (self.dir / folder / sub).iterdir():
                file.write_bytes(file.read_bytes().replace(b"47811", b"%d" % self.open)
                                 .replace(b"47812", b"%d" % self.closed))
        return self.host_path(self.dir / folder)

    def program_in(self, folder, tools):
        program = self.dir / folder / tools / os.path.basename(h.CLI)
        program.parent.mkdir()
        shutil.copy2(h.CLI, program)
        return str(program)

    def hosts(self):
        o, c = self.open, self.closed
        return [big5(line) for line in (
            "0\t交易主機-Order1 : 127.0.0.1", "1\t交易主機-台北Order2 : localhost",
            "2\t報價主機-Quote1 : 127.0.0.2", "3\t交易主機-1 : 127.0.0.1:%d" % o,
            "4\t交易主機-2 : 127.0.0.2:%d" % c, "5\t交易主機-3 : localhost:0",
            "6\t交易主機-4 : 127.0.0.1:47813")]

    def preference(self, location, nm, ps, success=True):
        """The line; a stored preference moves the last success aside (" - ")."""
        done = "Order1　%d　%d" % (self.open, self.closed) if success else " - "
        return [big5("成功連線：%s　　優先連線：%s　%d　%d" % (done, location, nm, ps))]

    def document(self, *args, program=None, code=0):
        rc, out, err = self.run_cli("--json", *args, program=program)
        self.assertEqual(rc, code, (args, err))
        return json.loads(out.decode("utf-8"))

    def lists_hosts_and_preference(self, root_args, program=None):
        self.assertEqual(self.lines(*root_args, "hosts", program=program)[:2], (0, self.hosts()))
        self.assertEqual(self.lines(*root_args, "preference", program=program)[:2],
                         (0, self.preference("台北Order2", self.open, self.closed)))

    def every_command(self, root, root_args, program=None):
        """The commands beyond the host list, on a tree whose root is `root`."""
        doc = self.document(*root_args, "hosts", program=program)
        self.assertEqual((doc["client_root"], [e["host"] for e in doc["hosts"]]),
                         (root, ["127.0.0.1", "localhost", "127.0.0.2", "127.0.0.1", "127.0.0.2",
                                 "localhost", "127.0.0.1"]))
        self.assertEqual(self.document(*root_args, "preference", program=program)["priority"],
                         {"location": "台北Order2", "nm_port": self.open, "ps_port": self.closed})
        code, lines, _ = self.lines(*root_args, "telnet", "0", program=program)
        self.assertEqual((code, lines[-1]), (0, big5("連線成功，127.0.0.1：%d" % self.open)))
        report = pathlib.Path(self.dir / "support 報告 功.txt")
        code, _, err = self.run_cli(*root_args, "report", "--timeout-ms", "2000", "--no-diagnose",
                                    "--out", self.host_path(report), program=program)
        self.assertEqual(code, 0, err)
        self.assertIn("交易主機-台北Order2 : localhost", report.read_bytes().decode("utf-8"))
        report.unlink()

        code, lines, err = self.lines(*root_args, "set-preference", "Order1", "81", "82",
                                      program=program)
        self.assertEqual((code, lines), (0, self.preference("Order1", 81, 82, False)), err)
        self.assertEqual(self.lines(*root_args, "preference", program=program)[:2],
                         (0, self.preference("Order1", 81, 82, False)))

    def test_every_command_with_root_given_with_or_without_a_trailing_separator(self):
        sep = "\\" if self.windows else "/"
        for i, (folder, _) in enumerate(FOLDERS):
            with self.subTest(folder=folder):
                root = self.client(folder)
                for root_args in (["--root", root], ["--root", root + sep]):
                    self.lists_hosts_and_preference(root_args)
                if i == 0:
                    self.every_command(root, ["--root", root + sep])

    def test_every_command_from_the_program_inside_the_tree(self):
        for i, (folder, tools) in enumerate(FOLDERS):
            with self.subTest(folder=folder):
                root = self.client(folder)
                program = self.program_in(folder, tools)
                self.lists_hosts_and_preference([], program)
                if i == 0:
                    self.every_command(root, [], program)


if __name__ == "__main__":
    h.main()
