"""reachkit-cli's set-preference (the connect-setting dialog's rules) and proxy (both files)."""
import cli_test as h
from cli_test import big5

KEYS = ["ProxyType", "ProxyServerName", "ProxyPort", "UserName", "UserPassword",
        "SOCKSProxyServerName", "SOCKSProxyPort", "SOCKSUserName", "SOCKSUserPassword"]


class SettingsCliTest(h.CliCase):
    def test_set_preference_refusals_write_nothing_and_a_confirmed_one_prints_the_label(self):
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=Northeast,North,台北\n")
        for args, message in ((("north", "80", "81"), "沒有選擇連線位置"),  # only the exact name
                              (("North", "80", "8o"), "Port必須是正整數"),
                              (("North", "80", "70000"), "PS Port必須介於1到65535")):
            self.assertEqual(self.run_cli("--raw", "--root", self.root, "set-preference", *args),
                             (1, b"", big5(message + "\n")), args)
        self.assertIsNone(self.read("Sys/Reachkit.ini"))
        self.assertEqual(self.lines("--root", self.root, "set-preference", "台北", "080", "65535"),
                         (0, [big5("成功連線： - 　　優先連線：台北　80　65535")], b""))
        self.assertIn(big5("[Priority]\r\nCombo=台北,80,65535\r\n"), self.read("Sys/Reachkit.ini"))

    def test_proxy_prints_the_nine_keys_of_both_files_and_masks_passwords_unless_asked(self):
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=8000\nProxyType=1\n"
                   "ProxyServerName=192.0.2.8\nProxyPort=3128\nUserName=hu\nUserPassword=hp\n")
        self.write("Sys/Reachkit.ini", "[DC]\nProxyType=4\nSOCKSProxyServerName=198.51.100.1\n"
                   "SOCKSProxyPort=1080\nSOCKSUserName=su\nSOCKSUserPassword=sp\n")
        before = self.read("Sys/Reachkit.ini"), self.read("Bin/BaseConfig.ini")

        def block(title, relative, *values):
            return [("%s: %s" % (title, self.host_path(self.dir / relative))).encode()] + [
                (("%s=%s" % (k, v)) if v is not None else ("%s (missing)" % k)).encode()
                for k, v in zip(KEYS, values)]
        master = [("master copy (the dialog loads it): %s"
                   % self.host_path(self.dir / "Sys/Reachkit.ini")).encode()]
        for args, tool_password, base_password in (([], "********", "********"),
                                                   (["--show-passwords"], "sp", "hp")):
            self.assertEqual(self.lines("--root", self.root, "proxy", *args), (0, master + block(
                "tool settings", "Sys/Reachkit.ini",
                "4", None, None, None, None, "198.51.100.1", "1080", "su", tool_password) + block(
                "base configuration", "Bin/BaseConfig.ini",
                "1", "192.0.2.8", "3128", "hu", base_password, None, None, None, None), b""))
        # Only reads: the copy that opening the dialog makes is not made here.
        self.assertEqual((self.read("Sys/Reachkit.ini"), self.read("Bin/BaseConfig.ini")), before)


if __name__ == "__main__":
    h.main()
