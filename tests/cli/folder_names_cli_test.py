"""reachkit-cli on the demo client copied into folders whose last character's second byte in code
page 950 is the separator "\\" (功 A5 5C, 許 B3 5C, 蓋 BB 5C): found with --root given with a
trailing separator, and from a copy of the program inside the tree without --root. Under Wine the
paths are code page 950 end to end; natively the same names are UTF-8."""
import os
import pathlib
import shutil

import cli_test as h
from cli_test import big5

DEMO = pathlib.Path(__file__).resolve().parents[2] / "demo"
# (client root below the temporary folder, folder of the program copied into it)
FOLDERS = (("台北 功/sub 許", "工具 蓋"), ("蓋", "功"))


class FolderNamesCliTest(h.CliCase):
    def test_the_tree_is_found_from_its_root_and_from_inside(self):
        sep = "\\" if self.windows else "/"
        for folder, tools in FOLDERS:
            for sub in ("Sys", "Bin"):
                shutil.copytree(DEMO / sub, self.dir / folder / sub)
            program = self.dir / folder / tools / os.path.basename(h.CLI)
            program.parent.mkdir()
            shutil.copy2(h.CLI, program)
            root = self.host_path(self.dir / folder)
            for args, runner in ((["--root", root + sep], None), ([], str(program))):
                with self.subTest(folder=folder, args=args):
                    code, lines, err = self.lines(*args, "hosts", program=runner)
                    self.assertEqual((code, lines[1:3]), (0, [big5("1\t交易主機-台北Order2 : localhost"),
                                                             big5("2\t報價主機-Quote1 : 127.0.0.2")]), err)


if __name__ == "__main__":
    h.main()
