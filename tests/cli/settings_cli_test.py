"""reachkit-cli's settings commands on generated client trees: set-preference
(the connect-setting dialog fed from the command line) and proxy (both copies
of the nine proxy keys): exit codes, printed lines and the files afterwards."""
import os
import unittest

import cli_harness as h
from cli_harness import big5

QUOTE = "[Tradedesk]\nName=Northeast,North,台北,South\n"
PROXY_KEYS = ["ProxyType", "ProxyServerName", "ProxyPort", "UserName", "UserPassword",
              "SOCKSProxyServerName", "SOCKSProxyPort", "SOCKSUserName", "SOCKSUserPassword"]
NO_LOCATION = big5("沒有選擇連線位置")
BAD_PORT = big5("Port必須是正整數")


def label(success, priority):
    return big5("成功連線：%s　　優先連線：%s" % (success, priority))


def ini_value(data, section, key):
    """key's value in [section] of INI bytes (Wine re-serialises the files it
    writes, so the Windows build is checked by values, ours by bytes)."""
    current = None
    for line in data.replace(b"\r\n", b"\n").split(b"\n"):
        stripped = line.strip()
        if stripped.startswith(b"["):
            current = stripped[1:stripped.find(b"]")]
        elif current == section.encode() and b"=" in line:
            name, value = line.split(b"=", 1)
            if name.strip() == key.encode():
                return value.strip()
    return None


class SettingsCliTest(unittest.TestCase):
    def setUp(self):
        self.cli = h.cli()
        self.tree = h.ClientTree()
        self.tree.write("Sys/ZentickConSet.ini", QUOTE)
        os.makedirs(os.path.join(self.tree.root, "Bin"), exist_ok=True)
        self.root = self.cli.host_path(self.tree.root)

    def tearDown(self):
        self.tree.cleanup()

    def tool_file(self):
        path = os.path.join(self.tree.root, "Sys", "Reachkit.ini")
        return self.tree.read("Sys/Reachkit.ini") if os.path.exists(path) else None

    def set_preference(self, *args):
        code, out, err = self.cli.run("--raw", "--root", self.root, "set-preference", *args)
        return code, out.replace(b"\r\n", b"\n"), err.replace(b"\r\n", b"\n")

    def preference_args(self, location, nm, ps):
        # --raw takes arguments as code page 950 bytes; under Wine the UTF-8
        # command line reaches the program already in code page 950.
        if self.cli.windows:
            return location, nm, ps
        return os.fsdecode(big5(location)), nm, ps

    def test_confirmed_preference_moves_a_valid_success_aside(self):
        self.tree.write("Sys/Reachkit.ini",
                        "; kept\n[Success]\nCombo=South,1,2\n\n[Priority]\nCombo= - \n")
        code, out, err = self.set_preference(*self.preference_args("台北", "080", "70000"))
        self.assertEqual((code, err), (0, b""))
        self.assertEqual(out, label(" - ", "台北　80　70000") + b"\n")
        data = self.tool_file()
        if self.cli.windows:
            self.assertEqual(ini_value(data, "Priority", "Combo"), big5("台北,80,70000"))
            self.assertEqual(ini_value(data, "LastSuccess", "Combo"), b"South,1,2")
            self.assertEqual(ini_value(data, "Success", "Combo"), b"-")
        else:
            self.assertEqual(data, big5(
                "; kept\r\n[Success]\r\nCombo= - \r\n\r\n[Priority]\r\nCombo=台北,80,70000\r\n"
                "[LastSuccess]\r\nCombo=South,1,2\r\n"))

    def test_first_preference_creates_the_file_with_priority_only(self):
        code, out, _ = self.set_preference("North", "8000", "8001")
        self.assertEqual(code, 0)
        self.assertEqual(out, label(" - ", "North　8000　8001") + b"\n")
        data = self.tool_file()
        if self.cli.windows:
            self.assertEqual(ini_value(data, "Priority", "Combo"), b"North,8000,8001")
            self.assertIsNone(ini_value(data, "Success", "Combo"))
        else:
            self.assertEqual(data, b"[Priority]\r\nCombo=North,8000,8001\r\n")

    def test_utf8_arguments_are_taken_as_big5_names(self):
        if self.cli.windows:
            self.skipTest("the Windows build takes the command line in the ANSI code page")
        code, out, _ = self.cli.run("--root", self.root, "set-preference", "台北", "1", "2")
        self.assertEqual(code, 0)
        self.assertEqual(out.decode("utf-8").strip(), "成功連線： - 　　優先連線：台北　1　2")
        self.assertEqual(ini_value(self.tool_file(), "Priority", "Combo"), big5("台北,1,2"))

    def test_refusals_print_one_message_and_write_nothing(self):
        before = "[Success]\nCombo=South,1,2\n"
        self.tree.write("Sys/Reachkit.ini", before)
        rows = [
            (("West", "80", "81"), NO_LOCATION, "not listed"),
            (("north", "80", "81"), NO_LOCATION, "other case: only the exact name is taken"),
            (("Nort", "80", "81"), NO_LOCATION, "a prefix of a listed name"),
            (("South ", "80", "81"), NO_LOCATION, "trailing blank"),
            (("West", "0", "x"), NO_LOCATION, "the location is checked before the ports"),
            (("North", "0", "81"), BAD_PORT, "zero"),
            (("North", "000", "81"), BAD_PORT, "zeros"),
            (("North", "+80", "81"), BAD_PORT, "sign"),
            (("North", "8o", "81"), BAD_PORT, "letter o"),
            (("North", " 80", "81"), BAD_PORT, "leading blank"),
            (("North", "80", ""), BAD_PORT, "empty"),
            (("North", "80", "2147483648"), BAD_PORT, "beyond 32 bits"),
            (("North", "80", "-1"), BAD_PORT, "negative"),
        ]
        for args, message, why in rows:
            with self.subTest(why):
                code, out, err = self.set_preference(*args)
                self.assertEqual(code, 1)
                self.assertEqual(err, message + b"\n")
                self.assertEqual(out, b"")
        self.assertEqual(self.tool_file(), big5(before.replace("\n", "\r\n")))

    def test_empty_location_list_refuses_every_location(self):
        os.remove(os.path.join(self.tree.root, "Sys", "ZentickConSet.ini"))
        code, _, err = self.set_preference("North", "80", "81")
        self.assertEqual((code, err), (1, NO_LOCATION + b"\n"))
        self.assertIsNone(self.tool_file())

    def test_wrong_argument_count_is_a_usage_error(self):
        for args in (["North", "80"], ["North", "80", "81", "82"], []):
            with self.subTest(args=args):
                code, out, err = self.set_preference(*args)
                self.assertEqual(code, 2)
                self.assertEqual(err, b"usage: reachkit-cli set-preference LOCATION NMPORT PSPORT\n")
                self.assertEqual(out, b"")
        self.assertIsNone(self.tool_file())

    def proxy(self, *args):
        code, out, err = self.cli.run("--raw", "--root", self.root, "proxy", *args)
        return code, out.replace(b"\r\n", b"\n").decode("cp950"), err.replace(b"\r\n", b"\n")

    def block(self, title, relative, values):
        path = self.cli.host_path(os.path.join(self.tree.root, *relative.split("/")))
        return ["%s: %s" % (title, path)] + ["%s=%s" % kv for kv in zip(PROXY_KEYS, values)]

    def test_proxy_shows_both_files_with_passwords_hidden_unless_asked(self):
        base = self.tree.write("Bin/BaseConfig.ini",
                               "[DC]\nClientToNMPortTry=8000\nProxyType=1\nProxyServerName=192.0.2.8\n"
                               "ProxyPort=3128\nUserName=hu\nUserPassword=hp\n")
        tool = self.tree.write("Sys/Reachkit.ini",
                               "[DC]\nProxyType=4\nSOCKSProxyServerName=198.51.100.1\n"
                               "SOCKSProxyPort=1080\nSOCKSUserName=su\nSOCKSUserPassword=sp\n")
        before = (self.tree.read("Sys/Reachkit.ini"), self.tree.read("Bin/BaseConfig.ini"))
        for args, tool_pw, base_pw in (([], "********", "********"),
                                       (["--show-passwords"], "sp", "hp")):
            with self.subTest(args=args):
                code, out, err = self.proxy(*args)
                self.assertEqual((code, err), (0, b""))
                self.assertEqual(out.splitlines(),
                                 self.block("tool settings", "Sys/Reachkit.ini",
                                            ["4", "", "", "", "", "198.51.100.1", "1080", "su", tool_pw])
                                 + self.block("base configuration", "Bin/BaseConfig.ini",
                                              ["1", "192.0.2.8", "3128", "hu", base_pw, "", "", "", ""]))
        # Only reads: the copy that opening the dialog makes is not made here.
        self.assertEqual((self.tree.read("Sys/Reachkit.ini"), self.tree.read("Bin/BaseConfig.ini")),
                         before)
        self.assertTrue(os.path.exists(tool) and os.path.exists(base))

    def test_proxy_on_a_bare_tree_reads_defaults_and_creates_nothing(self):
        code, out, _ = self.proxy()
        self.assertEqual(code, 0)
        self.assertEqual([l for l in out.splitlines() if l.startswith("ProxyType=")],
                         ["ProxyType=0", "ProxyType=0"])
        self.assertIsNone(self.tool_file())

    def test_proxy_names_a_utf8_root_as_it_was_given(self):
        if self.cli.windows:
            self.skipTest("Windows paths are in the ANSI code page already")
        root = os.path.join(self.tree.root, "根目錄")
        os.makedirs(os.path.join(root, "Sys"))
        code, out, _ = self.cli.run("--root", root, "proxy")
        self.assertEqual(code, 0)
        self.assertEqual(out.splitlines()[0],
                         ("tool settings: " + os.path.join(root, "Sys", "Reachkit.ini")).encode("utf-8"))

    def test_proxy_refuses_other_arguments(self):
        for args in (["--bogus"], ["x"], ["--show-passwords", "--show-passwords"]):
            with self.subTest(args=args):
                code, _, err = self.proxy(*args)
                self.assertEqual(code, 2)
                self.assertEqual(err, b"usage: reachkit-cli proxy [--show-passwords]\n")


if __name__ == "__main__":
    h.main()
